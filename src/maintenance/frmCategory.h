#pragma once

#include <QDialog>
#include <array>

class BoundTextBox;
class Data;
class QLabel;
class QPushButton;
class QWidget;

// "Category": browses, adds, renames, describes and deletes categories, in name order.
// A category chosen for viewing in the radio band cannot be deleted.
class frmCategory : public QDialog
{
    Q_OBJECT
public:
    explicit frmCategory(QWidget *parent = nullptr);

    std::array<BoundTextBox *, 2> txtFields{}; // (0) name, (1) description
    std::array<QLabel *, 2> lblLabels{};
    QWidget *picButtons;
    QPushButton *cmdAdd;
    QPushButton *cmdDelete;
    QPushButton *cmdRefresh;
    QPushButton *cmdUpdate;
    QPushButton *cmdClose;
    Data *datPrimaryRS;

    // Set when a new row is begun, never cleared while this object lives.
    bool AddingRecord = false;

    void setVisible(bool visible) override;
    void done(int result) override;

public slots:
    void Form_Initialize();
    void Form_Load();
    void Form_Unload(int &Cancel);
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdUpdate_Click();
    void cmdClose_Click();
    void datPrimaryRS_Validate(int Action, int &Save);
    void datPrimaryRS_Reposition();
    void datPrimaryRS_Error(int DataErr, int &Response);

private:
    bool m_loaded = false;
};
