#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;
class Timers;

// The "Timers" window: the wake-up and record timers, each with its on/off tick, and Add, Edit
// and Delete. Enter or a double click edits the timer.
class frmTimers : public QWidget
{
    Q_OBJECT
public:
    explicit frmTimers(Timers &timers, QWidget *parent = nullptr);

    // Fills the list again from the timers kept.
    void refill();

    QTreeWidget *lstTimers;
    QPushButton *cmdAdd;
    QPushButton *cmdEdit;
    QPushButton *cmdDelete;
    QPushButton *cmdClose;

private:
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdDelete_Click();
    int currentId() const;
    void showButtons();

    Timers &m_timers;
    bool m_filling = false;
};
