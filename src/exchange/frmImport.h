#pragma once

#include "app/CommonDialog.h"

#include <QDialog>
#include <array>

class BoundTextBox;
class Data;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStatusBar;

// "Import File": adds the stations of a station file or of a Corvane list file to the database.
class frmImport : public QDialog
{
    Q_OBJECT
public:
    explicit frmImport(QWidget *parent = nullptr);
    ~frmImport() override;

    QLabel *Label1;
    QLineEdit *txtFile;
    QPushButton *Command1;
    QGroupBox *Frame1;
    std::array<QRadioButton *, 2> optFileType;
    QGroupBox *Frame2;
    std::array<QRadioButton *, 2> optAction;
    QCheckBox *chkPrompt;
    QPushButton *Command3;
    QPushButton *Command2;
    QStatusBar *StatusBar1;
    QProgressBar *ProgressBar1;
    CommonDialog CommonDialog1;
    Data *Data1;
    // Bound to SName, Location, CallLetters, Frequency, Type, RAMFile, Category.
    BoundTextBox *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7;

    void Form_Load();
    bool running() const { return m_running; }

    // What the last import did (shown nowhere; the tests and benchmarks read it).
    struct Counts
    {
        int added = 0;
        int replaced = 0;
        int passedOver = 0;   // refused by the database, or declined at the question
        bool cancelled = false;
    };
    Counts lastCounts() const { return m_counts; }

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void optAction_Click(int Index);

protected:
    void reject() override;

private:
    bool importFile(const QString &fileName, bool corvane, bool replace, bool prompt);

    bool m_running = false;
    bool m_cancel = false;
    Counts m_counts;
};
