#pragma once

#include <QElapsedTimer>
#include <QString>

class QProgressBar;
class QStatusBar;

// Progress of a long export or import in a dialog's status bar: the text on the left, a
// progress bar beside it. The work calls step() for every record; the text, the bar and the
// window are brought up to date, and pending events (a repaint, a press of Cancel) handled,
// only when some milliseconds have passed, so a fast loop is not slowed by painting.
class ExchangeProgress
{
public:
    // The window is brought up to date at least this often while the work goes on.
    static constexpr int IntervalMs = 30;

    ExchangeProgress(QStatusBar *statusBar, QProgressBar *bar);

    void start(qint64 total);
    // Record `done` (0-based) is being worked on; the text would be prefix + name.
    void step(qint64 done, const QString &prefix, const QString &name)
    {
        if (m_clock.elapsed() >= IntervalMs)
            show(done, prefix + name);
    }
    // Shows the text at once (the final "Done.") and hides the bar.
    void finish(const QString &text);

    // How often the window was brought up to date (the benchmarks report it).
    int updates() const { return m_updates; }

private:
    void show(qint64 done, const QString &text);

    QStatusBar *m_statusBar;
    QProgressBar *m_bar;
    QElapsedTimer m_clock;
    qint64 m_total = 0;
    int m_updates = 0;
};
