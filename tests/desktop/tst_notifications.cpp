// New titles as desktop notifications, against a stand-in notification server on a private
// session bus that the test starts.

#include "DesktopSession.h"
#include "TunerFixture.h"

#include "app/Preferences.h"
#include "desktop/Notifications.h"

#include <QDBusConnection>

// What a notification server offers, keeping what it was asked to show.
class NotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Shown
    {
        uint replaces;
        QString summary;
        QString body;
        uint id;
        QVariantMap hints;
    };
    QList<Shown> shown;
    uint lastId = 40;

public slots:
    QStringList GetCapabilities() { return {"body", "body-markup"}; }
    uint Notify(const QString &, uint replaces, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        const uint id = replaces ? replaces : ++lastId;
        shown << Shown{replaces, summary, body, id, hints};
        return id;
    }
    void CloseNotification(uint) {}
};

class TestNotifications : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void newTitlesReplaceTheLastNotification();

private:
    QDBusConnection bus(const QString &name) { return QDBusConnection::connectToBus(m_address, name); }
    QProcess m_daemon;
    QString m_address;
};

void TestNotifications::initTestCase()
{
    startTests();
    m_address = DesktopSession::startSessionBus(m_daemon);
    QVERIFY2(!m_address.isEmpty(), "the private session bus did not start");
}

void TestNotifications::cleanupTestCase()
{
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

void TestNotifications::newTitlesReplaceTheLastNotification()
{
    NotificationServer server;
    QDBusConnection serverBus = bus("server");
    QVERIFY(serverBus.registerObject(Notifications::Path, &server, QDBusConnection::ExportAllSlots));
    QVERIFY(serverBus.registerService(Notifications::Service));

    Radio radio;
    frmMain &w = *radio.window;
    Notifications notifications(w, bus("tuner"));
    w.vbTuneIn(); // the list's first station, "Blue Note"
    // The title as the stream announces it; the window is hidden, so it is not the active one.
    auto announce = [](const QString &title) { emit player()->icyChanged(QString(), title); };
    w.hide();

    announce("Quiet Song");
    QTest::qWait(300);
    QVERIFY(server.shown.isEmpty()); // notifications are off by default

    w.mnuPlayNotifications->trigger();
    QVERIFY(Preferences::value("Notifications/Show").toBool());
    announce("<b>Loud</b> & <a href='x'>Clear</a>");
    QTRY_COMPARE(server.shown.size(), 1);
    QCOMPARE(server.shown[0].summary, QString("Blue Note"));
    QCOMPARE(server.shown[0].body, QString("&lt;b&gt;Loud&lt;/b&gt; &amp; &lt;a href='x'&gt;Clear&lt;/a&gt;"));
    QCOMPARE(server.shown[0].replaces, 0u);
    QTRY_COMPARE(notifications.lastId(), server.shown[0].id);

    // The station's logo, once known, is the notification's image; another station's is not.
    QVERIFY(!server.shown[0].hints.contains("image-path"));
    notifications.setImage("Another", "/tmp/another.png");
    announce("Next Song");
    QTRY_COMPARE(server.shown.size(), 2);
    QCOMPARE(server.shown[1].replaces, server.shown[0].id);
    QCOMPARE(server.shown[1].body, QString("Next Song"));
    QVERIFY(!server.shown[1].hints.contains("image-path"));
    notifications.setImage("Blue Note", "/tmp/blue note.png");
    announce("With Logo");
    QTRY_COMPARE(server.shown.size(), 3);
    QCOMPARE(server.shown[2].hints.value("image-path").toString(), QString("file:///tmp/blue%20note.png"));

    // None while the window is the active one.
    w.show();
    QApplication::setActiveWindow(&w);
    QTRY_VERIFY(w.isActiveWindow());
    announce("Seen Anyway");
    QTest::qWait(300);
    QCOMPARE(server.shown.size(), 3);
    player()->stop();
}

QTEST_MAIN(TestNotifications)
#include "tst_notifications.moc"
