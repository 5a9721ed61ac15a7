#pragma once

#include <QDialog>
#include <array>

class QCheckBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QPushButton;
class QRadioButton;
class QTabBar;

// The tabbed Options window. It shows its choices and lets the user change them, but it
// loads no values and stores none: OK and Apply answer with a fixed message.
class frmOptions : public QDialog
{
    Q_OBJECT
public:
    explicit frmOptions(QWidget *parent = nullptr);

    static constexpr int TabCount = 4;

    // Handlers, named after their control and event.
    void Form_Load();
    void tbsOptions_Click();
    // KeyCode and Shift as the keyboard reports them: Tab is 9; Shift 1, Ctrl 2, Alt 4.
    // Returns true when the key was taken (Ctrl+Tab).
    bool Form_KeyDown(int KeyCode, int Shift);
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdApply_Click();

    // Controls, as named members (each also carries its name as object name).
    QTabBar *tbsOptions = nullptr;
    std::array<QWidget *, TabCount> picOptions{};
    std::array<QRadioButton *, 6> Option1{};
    std::array<QRadioButton *, 2> Option2{};
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QGroupBox *fraSample1 = nullptr;
    QGroupBox *fraSample2 = nullptr;
    QGroupBox *fraSample3 = nullptr;
    QGroupBox *fraSample4 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdApply = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void done(int result) override;

public:
    void setVisible(bool visible) override;

private:
    void buildControls();
    void setDesignValues();
    void watchKeys(QWidget *widget);
    bool previewKey(QKeyEvent *event);

    QFrame *m_stripBody = nullptr;
    bool m_unloaded = false;
};
