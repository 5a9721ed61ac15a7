#pragma once

#include <QWidget>

class QToolButton;

// An up-down control: two arrow buttons side by side (horizontal: left arrow = down, right
// arrow = up) or one above the other (vertical: up arrow on top). Every click on an arrow is
// one step, reported as UpClick or DownClick; there is no counter and no auto-repeat.
class UpDown : public QWidget
{
    Q_OBJECT
public:
    explicit UpDown(Qt::Orientation orientation, QWidget *parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

    // The arrows' accessible names and hints start with this text ("Channel up").
    void setDescription(const QString &text);

signals:
    void UpClick();
    void DownClick();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    Qt::Orientation m_orientation;
    QToolButton *m_up;
    QToolButton *m_down;
};
