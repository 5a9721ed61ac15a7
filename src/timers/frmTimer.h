#pragma once

#include "timers/TimerRules.h"

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimeEdit;

// One timer, added or changed: its kind, name, station, start (a date, or days of the week),
// length, and a wake-up's volume or how a recording is split. OK keeps it only when the check
// given finds nothing wrong; what is wrong is said and the dialog stays open.
class frmTimer : public QDialog
{
    Q_OBJECT
public:
    using Check = std::function<QString(const Timer &)>;

    frmTimer(const Timer &timer, const QStringList &stations, Check check, QWidget *parent = nullptr);

    // The timer as the controls show it.
    Timer timer() const;

    QComboBox *cboKind;
    QLineEdit *txtName;
    QComboBox *cboStation;
    QRadioButton *optOnce;
    QDateEdit *dtpDate;
    QRadioButton *optRepeat;
    std::array<QCheckBox *, 7> chkDay{}; // Monday first
    QTimeEdit *tmeTime;
    QSpinBox *txtMinutes;
    QSpinBox *txtVolume;
    QCheckBox *chkSplit;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;

private:
    void cmdOK_Click();
    void showKind();

    Timer m_timer;
    Check m_check;
};
