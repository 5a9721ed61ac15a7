#include "desktop/Notifications.h"

#include "app/AppInfo.h"
#include "listening/NowPlaying.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUrl>

namespace {

QDBusMessage call(const char *method)
{
    return QDBusMessage::createMethodCall(QLatin1String(Notifications::Service), QLatin1String(Notifications::Path),
                                          QLatin1String(Notifications::Service), QLatin1String(method));
}

} // namespace

Notifications::Notifications(frmMain &window, const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_window(window), m_bus(bus), m_now(new NowPlaying(window, this))
{
    connect(m_now, &NowPlaying::newTitle, this, [this](const QString &station, const QString &title) {
        if (m_window.mnuPlayNotifications->isChecked() && !m_window.isActiveWindow())
            show(station, title);
    });
    if (!m_bus.isConnected())
        return;
    // Whether the server reads markup in the body decides how the title is written there.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call("GetCapabilities"), 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isValid())
            m_markup = reply.value().contains(QLatin1String("body-markup"));
        w->deleteLater();
    });
}

Notifications::~Notifications() = default;

QString Notifications::escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

void Notifications::setImage(const QString &stationName, const QString &file)
{
    m_imageStation = stationName;
    m_imageFile = file;
}

void Notifications::show(const QString &station, const QString &title)
{
    if (!m_bus.isConnected())
        return;
    QDBusMessage message = call("Notify");
    QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("halcyrix")},
                      {QStringLiteral("category"), QStringLiteral("x-halcyrix.title")}};
    if (!m_imageFile.isEmpty() && station == m_imageStation)
        hints.insert(QStringLiteral("image-path"), QUrl::fromLocalFile(m_imageFile).toString(QUrl::FullyEncoded));
    message << App::title() << m_id << QStringLiteral("halcyrix") << station << (m_markup ? escaped(title) : title)
            << QStringList() << hints << -1;
    // Asynchronous: a server that hangs never holds up the window.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isValid())
            m_id = reply.value();
        w->deleteLater();
    });
}
