#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class NowPlaying;
class frmMain;

// Desktop notifications of new titles (org.freedesktop.Notifications on the session bus), while
// Play, Show Notifications is ticked and the main window is not the active one. Each notification
// replaces the one before, so they never pile up. The station is the summary and the title the
// body; a server that reads markup in the body gets the title escaped. Without a notification
// server nothing is shown and nothing waits for one.
class Notifications : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *Service = "org.freedesktop.Notifications";
    static constexpr const char *Path = "/org/freedesktop/Notifications";

    explicit Notifications(frmMain &window, const QDBusConnection &bus = QDBusConnection::sessionBus(),
                           QObject *parent = nullptr);
    ~Notifications() override;

    // Shows (or replaces) the notification.
    void show(const QString &station, const QString &title);
    // The logo of a station as a picture file, shown as the image of its notifications (an empty
    // file: none).
    void setImage(const QString &stationName, const QString &file);

    // The id of the notification shown last, 0 before the first.
    uint lastId() const { return m_id; }

    // Text made safe for a body that is read as markup.
    static QString escaped(const QString &text);

private:
    frmMain &m_window;
    QDBusConnection m_bus;
    NowPlaying *m_now;
    uint m_id = 0;
    bool m_markup = true; // until the server says otherwise, markup is assumed
    QString m_imageStation;
    QString m_imageFile;
};
