// Logos where people look, over the real main window playing a local Icecast stream: the
// picture element, the desktop's media controls (read with playerctl on a private session bus),
// the picture's menu, and the Find Stations results.

#include "../tuner/TunerFixture.h"
#include "DesktopSession.h"
#include "DirectoryStub.h"
#include "LogoSamples.h"
#include "StreamServers.h"

#include "app/CommonDialog.h"
#include "data/Database.h"
#include "desktop/Mpris.h"
#include "directory/frmFindStations.h"
#include "pictures/LogoFetcher.h"
#include "pictures/StationLogos.h"
#include "pictures/StationPictures.h"

#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace LogoSamples;

class TestStationPictures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { MsgBox::takeShown(); }

    void theStationPlayingShowsItsLogo();
    void findStationsFetchesLogosForRowsInView();

private:
    QString playerctl(const QStringList &args);
    // Answers the Set Logo dialog with a text (or by browsing to a file) once it opens.
    void answerSetLogo(const QString &text, bool browse = false);

    QTemporaryDir m_cache;
    QProcess m_daemon;
    QString m_address;
    std::unique_ptr<IcecastServer> m_icecast;
    LocalHttpServer m_http;
    DirectoryStub m_directory;
};

void TestStationPictures::initTestCase()
{
    startTests();
    qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
    qputenv("HALCYRIX_DIRECTORY", m_directory.base().toUtf8());
    if (QStandardPaths::findExecutable(QStringLiteral("playerctl")).isEmpty())
        QFAIL("playerctl is needed (scripts/deps.sh installs it)");
    m_address = DesktopSession::startSessionBus(m_daemon);
    QVERIFY2(!m_address.isEmpty(), "the private session bus did not start");
    QVERIFY2(IcecastServer::available(), "icecast2 and ffmpeg are needed");
    m_icecast = std::make_unique<IcecastServer>();
    QVERIFY2(m_icecast->start(), qPrintable(m_icecast->errorText()));
}

void TestStationPictures::cleanupTestCase()
{
    m_icecast.reset();
    m_daemon.terminate();
    m_daemon.waitForFinished();
}

QString TestStationPictures::playerctl(const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=halcyrix")} + args);
    if (!p.waitForStarted())
        return QStringLiteral("<not started>");
    QDeadlineTimer deadline(30000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void TestStationPictures::answerSetLogo(const QString &text, bool browse)
{
    QTimer::singleShot(0, [text, browse] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->objectName() != QLatin1String("frmSetLogo")) {
            QFAIL("Set Logo did not open");
            return;
        }
        auto *box = dialog->findChild<QLineEdit *>("txtLogo");
        if (browse) {
            CommonDialog::presetNextFileName(text);
            dialog->findChild<QPushButton *>("cmdBrowse")->click();
        } else {
            box->setText(text);
        }
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

void TestStationPictures::theStationPlayingShowsItsLogo()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz"));
    const QString live = m_icecast->streamUrl();
    dir.addStation("Alpha", "Jazz", live);
    dir.addStation("Bravo", "Jazz", live + "?b");
    m_http.serve("/alpha.png", encoded(filled(120, 60, Qt::red), "png"), "image/png");
    m_http.serve("/page.png", "<html><body>a page</body></html>", "image/png");
    QVERIFY(StationLogos::setAddress(*Database::open(dir.dbPath()), "Alpha", m_http.url("/alpha.png")));
    auto window = openWindow();
    frmMain &w = *window;
    RealAudio *picture = w.RealAudio1[frmMain::Picture];
    StationPictures pictures(w);
    MprisService service(w, QDBusConnection::connectToBus(m_address, "tuner"));
    connect(&pictures, &StationPictures::logoChanged, &service, &MprisService::setArt);

    // A station without a logo plays as ever: no fetcher, no request.
    w.tuneStation("Bravo", QString());
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);
    QVERIFY(!LogoFetcher::started());
    QVERIFY(picture->logo().isNull());

    // The station's logo, centred on the black panel, and in the media controls as a file.
    w.tuneStation("Alpha", QString());
    QTRY_VERIFY_WITH_TIMEOUT(!picture->logo().isNull(), 20000);
    const QImage shown = picture->grab().toImage();
    QCOMPARE(shown.pixelColor(shown.rect().center()), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(1, 1), QColor(Qt::black));
    QCOMPARE(shown.pixelColor(shown.width() / 2, 1), QColor(Qt::black)); // wider than tall: bands above
    QVERIFY(pictures.logoFile().startsWith(m_cache.path() + "/halcyrix/logos/"));
    QTRY_COMPARE_WITH_TIMEOUT(playerctl({"metadata", "mpris:artUrl"}),
                              QUrl::fromLocalFile(pictures.logoFile()).toString(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(player()->state(), Player::State::Playing, 30000);

    // The user's logo from the menu: a page that is no picture is refused, the station plays on.
    answerSetLogo(m_http.url("/page.png"));
    pictures.setLogo();
    QTRY_VERIFY_WITH_TIMEOUT(!MsgBox::shown().isEmpty(), 20000);
    QVERIFY2(MsgBox::shown().last().contains("The logo of \"Alpha\" cannot be shown: it is not a picture"),
             qPrintable(MsgBox::shown().last()));
    QVERIFY(picture->logo().isNull());
    QCOMPARE(player()->state(), Player::State::Playing);
    QVERIFY(!playerctl({"metadata", "mpris:artUrl"}).contains("/halcyrix/logos/"));

    // A picture file chosen by browsing.
    QTemporaryDir files;
    QVERIFY(filled(40, 40, Qt::yellow).save(files.filePath("mine.png")));
    answerSetLogo(files.filePath("mine.png"), true);
    pictures.setLogo();
    QTRY_VERIFY_WITH_TIMEOUT(!picture->logo().isNull(), 20000);
    QCOMPARE(picture->grab().toImage().pixelColor(picture->rect().center()), QColor(Qt::yellow));
    QCOMPARE(dir.query("select Address from StationLogo").value(0).value(0).toString(), files.filePath("mine.png"));

    // Cleared: the plain panel, the program's name on it.
    pictures.clearLogo();
    QVERIFY(picture->logo().isNull());
    QCOMPARE(dir.query("select count(*) from StationLogo").value(0).value(0).toInt(), 0);
    QCOMPARE(player()->state(), Player::State::Playing);
    QCOMPARE(MsgBox::shown().size(), 1);
}

void TestStationPictures::findStationsFetchesLogosForRowsInView()
{
    QJsonArray rows;
    for (int i = 1; i <= 100; ++i) {
        const QString path = QStringLiteral("/logo/%1.png").arg(i);
        m_http.serve(path, encoded(filled(48, 48, QColor::fromHsv(i * 3, 200, 200)), "png"), "image/png");
        rows.append(QJsonObject{{"stationuuid", QStringLiteral("id-%1").arg(i)},
                                {"name", QStringLiteral("Logo %1").arg(i)},
                                {"url", m_icecast->streamUrl()},
                                {"favicon", m_http.url(path)},
                                {"lastcheckok", 1}});
    }
    m_directory.serve("/json/stations/search", QJsonDocument(rows).toJson(), 0);
    m_directory.serve("/json/stations/search", "[]", 100);
    Radio radio;
    QTimer::singleShot(0, radio.window.get(), [&] {
        auto *f = qobject_cast<frmFindStations *>(QApplication::activeModalWidget());
        if (!f) {
            QFAIL("Find Stations did not open");
            return;
        }
        f->txtSearch->setText("logo");
        f->cmdSearch_Click();
        QTRY_COMPARE(f->grdResults->rowCount(), 100);
        QTRY_VERIFY_WITH_TIMEOUT(!f->grdResults->item(0, frmFindStations::ColName)->icon().isNull(), 20000);
        // Only the rows in view were asked for.
        const int inView = f->grdResults->rowAt(f->grdResults->viewport()->height() - 1) + 1;
        QVERIFY(inView > 0 && inView < 50);
        QTRY_VERIFY(!f->grdResults->item(inView - 1, frmFindStations::ColName)->icon().isNull());
        QCOMPARE(m_http.hits("/logo/100.png"), 0);
        QVERIFY(f->grdResults->item(99, frmFindStations::ColName)->icon().isNull());
        // Scrolled to the end, the last rows get theirs.
        f->grdResults->scrollToBottom();
        QTRY_VERIFY_WITH_TIMEOUT(!f->grdResults->item(99, frmFindStations::ColName)->icon().isNull(), 20000);
        QCOMPARE(m_http.hits("/logo/50.png"), 0); // passed over, never in view
        QTest::keyClick(f, Qt::Key_Escape);
    });
    radio.window->mnuFileFindStations->trigger();
    QVERIFY(!QTest::currentTestFailed());
}

QTEST_MAIN(TestStationPictures)
#include "tst_stationpictures.moc"
