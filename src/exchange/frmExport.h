#pragma once

#include "app/CommonDialog.h"

#include <QDialog>
#include <array>

class BoundTextBox;
class Data;
class ExchangeProgress;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

// "Export To File": writes every station of the database to a station file or a web page table.
class frmExport : public QDialog
{
    Q_OBJECT
public:
    explicit frmExport(QWidget *parent = nullptr);
    ~frmExport() override;

    QLabel *Label1;
    QLineEdit *txtFile;
    QPushButton *Command1;
    QGroupBox *Frame1;
    std::array<QRadioButton *, 2> optFileType;
    QCheckBox *Check1;
    QPushButton *Command3;
    QPushButton *Command2;
    QStatusBar *StatusBar1;
    QProgressBar *ProgressBar1;
    CommonDialog CommonDialog1;
    Data *Data1;
    // Bound to SName, Location, CallLetters, Frequency, Type, RAMFile, Category, WebPage.
    BoundTextBox *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7, *Text8;

    void Form_Load();
    bool running() const { return m_running; }

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

protected:
    void reject() override;

private:
    // Writes the file; false when it failed (already reported) or was cancelled.
    bool exportTo(const QString &fileName, bool webPage);

    bool m_running = false;
    bool m_cancel = false;
};
