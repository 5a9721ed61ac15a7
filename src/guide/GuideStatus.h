#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class RealAudio;

// Now and next of the tuned TV station on the player's status line and over its full-screen
// picture, moving on when a programme ends and when a guide has been loaded again.
class GuideStatus : public QObject
{
    Q_OBJECT
public:
    GuideStatus(RealAudio *statusLine, RealAudio *picture, QObject *parent = nullptr);

    // The station now tuned (by name); a station without a guide shows nothing.
    void tuned(const QString &stationName);
    QString text() const { return m_text; }

private:
    void findChannel();
    void show();

    RealAudio *m_statusLine;
    RealAudio *m_picture;
    QString m_station;
    QString m_channel;
    QString m_text;
    QTimer m_timer; // the end of the programme on
};
