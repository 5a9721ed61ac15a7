#pragma once

#include <QDialog>
#include <QSpinBox>

class QPushButton;

// The "Minutes" box of the sleep timer: its arrows step through the usual lengths (15, 30, 45,
// 60, 90 minutes, then half hours), and any number from 1 to 720 can be typed in.
class MinutesBox : public QSpinBox
{
    Q_OBJECT
public:
    explicit MinutesBox(QWidget *parent = nullptr);
    void stepBy(int steps) override;
};

// The "Sleep Timer" window: how many minutes until the playing stops. OK sets the timer, Off
// switches it off, Cancel leaves it as it was. result() is Accepted for OK, Off for Off.
class frmSleepTimer : public QDialog
{
    Q_OBJECT
public:
    enum { Off = 2 };

    explicit frmSleepTimer(QWidget *parent = nullptr);

    MinutesBox *txtMinutes;
    QPushButton *cmdOK;
    QPushButton *cmdOff;
    QPushButton *cmdCancel;
};
