#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Stops the playing after a number of minutes. The volume fades out over the last FadeMs: while
// it fades, fading() tells the share of the volume left (1 down to 0), then expired() comes
// once. Time is read from a clock the caller may give (milliseconds that only go forward); the
// default is the system's monotonic clock. The timer looks at the clock a few times a second.
class SleepTimer : public QObject
{
    Q_OBJECT
public:
    using Clock = std::function<qint64()>;

    static constexpr int MinMinutes = 1;
    static constexpr int MaxMinutes = 720;
    static constexpr qint64 FadeMs = 30000;

    explicit SleepTimer(Clock clock = {}, QObject *parent = nullptr);

    // Another clock from now on (tests), as for the constructor.
    void setClock(Clock clock);

    void start(int minutes);
    // Stops counting; a fade under way ends with fading(1.0), the volume as it was.
    void cancel();
    bool isActive() const { return m_active; }
    qint64 remainingMs() const;
    // Whole minutes left, counted up (59.5 s left is 1 minute); 0 when not active.
    int remainingMinutes() const;

    // Looks at the clock and signals what changed. Called by the timer; tests call it after
    // moving their clock.
    void tick();

signals:
    void remainingChanged(int minutes);
    void fading(double share);
    void expired();

private:
    Clock m_clock;
    QTimer m_timer;
    bool m_active = false;
    bool m_faded = false; // the fade has begun
    qint64 m_end = 0;
    int m_lastMinutes = -1;
};
