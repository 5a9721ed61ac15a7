// The real program's tray icon, on a desktop of the test's own (Xvfb and a private session bus)
// whose tray is a stand-in StatusNotifierWatcher: the item's registration, its tool tip and its
// menu as a tray host reads them, the close box hiding the window while playing goes on, and
// the menu's Quit ending the program.

#include "CloseBox.h"
#include "DesktopSession.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QtTest>

// The desktop's tray as Qt looks for it: a watcher that tray items register with.
class TrayWatcher : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ yes)
    Q_PROPERTY(int ProtocolVersion READ version)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems MEMBER items)
public:
    QStringList items;
    bool yes() const { return true; }
    int version() const { return 0; }
public slots:
    void RegisterStatusNotifierItem(const QString &service, const QDBusMessage &message)
    {
        items << (service.startsWith('/') ? message.service() : service);
    }
    void RegisterStatusNotifierHost(const QString &) {}
signals:
    void StatusNotifierItemRegistered(const QString &service);
    void StatusNotifierHostRegistered();
};

namespace {

struct MenuItem
{
    int id;
    QString label;
};

// The items of a com.canonical.dbusmenu layout, depth first.
void readLayout(const QDBusArgument &arg, QList<MenuItem> &items)
{
    int id = 0;
    QVariantMap properties;
    arg.beginStructure();
    arg >> id >> properties;
    items << MenuItem{id, properties.value("label").toString()};
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        readLayout(qvariant_cast<QDBusArgument>(child.variant()), items);
    }
    arg.endArray();
    arg.endStructure();
}

} // namespace

class TestTray : public QObject
{
    Q_OBJECT
private slots:
    void trayItemFollowsThePlayerAndKeepsItPlaying();

private:
    QDBusMessage call(const QDBusMessage &message);
    QVariant property(const QString &service, const QString &path, const QString &interface, const QString &name);
    QDBusConnection m_bus{QString()};
};

QDBusMessage TestTray::call(const QDBusMessage &message)
{
    // Not QDBusConnection::call(): its wait in an event loop of its own at times never returned
    // here, although the reply had come. This wait goes on serving the test's tray watcher.
    const QDBusPendingCall pending = m_bus.asyncCall(message, 10000);
    QDeadlineTimer deadline(15000);
    while (!pending.isFinished() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return pending.isFinished() ? pending.reply() : QDBusMessage();
}

QVariant TestTray::property(const QString &service, const QString &path, const QString &interface, const QString &name)
{
    const QDBusMessage reply = call(
        QDBusMessage::createMethodCall(service, path, "org.freedesktop.DBus.Properties", "Get") << interface << name);
    return reply.arguments().isEmpty() ? QVariant() : qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
}

void TestTray::trayItemFollowsThePlayerAndKeepsItPlaying()
{
    if (const QString missing = DesktopSession::missingTool(); !missing.isEmpty())
        QSKIP(qPrintable(missing + " is not installed"));
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed");
    IcecastServer icecast;
    QVERIFY2(icecast.start(), qPrintable(icecast.errorText()));
    DesktopSession desktop;
    QVERIFY2(desktop.start(), qPrintable(desktop.errorText()));
    m_bus = QDBusConnection::connectToBus(desktop.environment().value("DBUS_SESSION_BUS_ADDRESS"), "test");
    TrayWatcher watcher;
    QVERIFY(m_bus.registerObject("/StatusNotifierWatcher", &watcher,
                                 QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties));
    QVERIFY(m_bus.registerService("org.kde.StatusNotifierWatcher"));

    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Local\r\n");
    dir.addStation("Local Tone", "Local", icecast.streamUrl());
    dir.exec(QString("INSERT INTO Preset (SName, RAMFile) VALUES ('Preset Tone', '%1')").arg(icecast.streamUrl()));
    dir.writeFile("Preferences.ini", "[Tray]\nKeepPlaying=true\n");
    auto program = desktop.launch(HALCYRIX_PROGRAM);

    // The item registers, and plays what MPRIS tells it to; its tool tip follows.
    QTRY_VERIFY_WITH_TIMEOUT(!watcher.items.isEmpty(), 60000);
    const QString item = watcher.items.first();
    QCOMPARE(property(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Title").toString(),
             QString("Halcyrix"));
    QVERIFY(icecast.setTitle("Tray Song"));
    call(QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.halcyrix", "/org/mpris/MediaPlayer2",
                                        "org.mpris.MediaPlayer2.Player", "Play"));
    auto toolTip = [&] {
        const QDBusArgument arg = qvariant_cast<QDBusArgument>(
            property(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "ToolTip"));
        QString icon, title, text;
        arg.beginStructure();
        arg >> icon;
        arg.beginArray();
        while (!arg.atEnd()) {
            int w = 0, h = 0;
            QByteArray pixels;
            arg.beginStructure();
            arg >> w >> h >> pixels;
            arg.endStructure();
        }
        arg.endArray();
        arg >> title >> text;
        arg.endStructure();
        return title;
    };
    QTRY_COMPARE_WITH_TIMEOUT(toolTip(), QString("Local Tone\nTray Song"), 60000);

    // The menu: pause (it plays), the presets in the keypad's order by their names, mute, hide, quit.
    const QString menuPath =
        qvariant_cast<QDBusObjectPath>(property(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Menu"))
            .path();
    QDBusMessage layout = call(QDBusMessage::createMethodCall(item, menuPath, "com.canonical.dbusmenu", "GetLayout")
                               << 0 << -1 << QStringList());
    QCOMPARE(layout.arguments().size(), 2);
    QList<MenuItem> items;
    readLayout(qvariant_cast<QDBusArgument>(layout.arguments().at(1)), items);
    QStringList labels;
    for (const MenuItem &i : items)
        if (!i.label.isEmpty())
            labels << i.label;
    QCOMPARE(labels, QStringList({"_Pause", "_1  [None]", "_2  [None]", "_3  [None]", "_4  [None]", "_5  [None]",
                                  "_6  [None]", "_7  [None]", "_8  [None]", "_9  [None]", "_0  Preset Tone", "_Mute",
                                  "_Hide Window", "_Quit"}));

    // The close box hides the window; the stream plays on.
    const QString caption = "^Halcyrix v3\\.0\\.17 \\[Local Tone\\]$"; // the main window, tuned
    const QByteArray found = desktop.run("xdotool", {"search", "--onlyvisible", "--name", caption}).trimmed();
    QVERIFY2(!found.isEmpty() && !found.contains('\n'), found.constData());
    const QByteArray windowId = found;
    QVERIFY(sendCloseBox(desktop.environment().value("DISPLAY").toLatin1(), windowId.toUInt()));
    // Generous: on a machine busy with other tests each look at the screen can take seconds.
    QTRY_VERIFY_WITH_TIMEOUT(desktop.run("xdotool", {"search", "--onlyvisible", "--name", caption}).isEmpty(), 90000);
    QTest::qWait(2000);
    QCOMPARE(program->state(), QProcess::Running);
    QCOMPARE(icecast.listeners(), 1);

    // Quit on the menu ends the program as the close box would without the tray: settings saved.
    const auto quit = std::find_if(items.begin(), items.end(), [](const MenuItem &i) { return i.label == "_Quit"; });
    call(QDBusMessage::createMethodCall(item, menuPath, "com.canonical.dbusmenu", "Event")
         << quit->id << QString("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u);
    QVERIFY(program->waitForFinished(30000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 0);
    QVERIFY(dir.readFile("Tuner.ini").contains("ShowBanner=False"));
}

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
