#pragma once

#include <QDialog>
#include <QLabel>
#include <cstdint>

class QPushButton;

// A label that shows an address and opens it when clicked (or activated by Enter or Space).
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

// The About box: title, version, the home page and support mail links, and a button that
// starts the system information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    static QString homePage();       // "https://halcyrix.org/"
    static QString supportAddress(); // "support@halcyrix.org"

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void Label2_Click();
    void Label3_Click();

    // Starts the system information tool, or says it is unavailable.
    void StartSysInfo();
    // Reads one value of the system look-up into KeyVal; true when it was read.
    static bool GetKeyValue(std::uint32_t KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal);

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    LinkLabel *Label2 = nullptr;
    LinkLabel *Label3 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
};
