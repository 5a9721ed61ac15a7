#pragma once

#include <QDialog>
#include <QListWidget>

class Data;
class QLabel;
class QPushButton;

// "Select Categories to view...": the user moves category names between Available and
// Selected; OK stores the Selected names as the view list of the radio band.
class frmViewCategory : public QDialog
{
    Q_OBJECT
public:
    explicit frmViewCategory(QWidget *parent = nullptr);

    QLabel *Label1;
    QListWidget *List1;    // Available
    QPushButton *Command1; // ">>"
    QPushButton *Command2; // ">"
    QPushButton *Command3; // "<<"
    QPushButton *Command4; // "<"
    QLabel *Label2;
    QListWidget *List2;    // Selected
    QPushButton *Command5; // "&Cancel"
    QPushButton *Command6; // "&Ok"
    Data *Data1;           // hidden, the Category table

    // The entries of a list in list order.
    static QStringList entries(const QListWidget *list);

    void setVisible(bool visible) override;

public slots:
    void Form_Load();
    void Form_Activate();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void List1_DblClick();
    void List2_DblClick();

private:
    static void addEntry(QListWidget *list, const QString &text);
    static void moveAll(QListWidget *from, QListWidget *to);
    static void moveSelected(QListWidget *from, QListWidget *to);
    static void moveCurrent(QListWidget *from, QListWidget *to);

    bool m_loaded = false;
};
