// The real program, started on its own X server over a temporary application directory and
// used as a user would: menus and access keys, the file dialog typed into, mouse clicks on the
// station list, the window closed by its close box. What it did is checked in the files it
// leaves (database, settings, exported page) and at the local stream server it listens to.

#include "CloseBox.h"
#include "StreamServers.h"
#include "TestAppDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// Everything runs slowly under the sanitizers, so every wait is generous.
constexpr int kWindowWaitMs = 90000;
const QString kMainTitle = QStringLiteral("^Halcyrix v3\\.0\\.17");
// The banner is off, written as a number: the close box writes it back as a word.
const QByteArray kStartIni = "DataBase=Halcyrix.db\r\nShowBanner=0\r\nCategories=Local\r\n";

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyWindowOpensFromItsMenu();
    void importAStationFile();
    void tuneTheLocalStreamAndUseAPreset();
    void doubleClickOnTheLowestRowInView();
    void televisionFullScreen();
    void exportAWebPage();
    void closeBoxSavesBothSettings();
    void exitSavesNothing();

private:
    // Runs a helper program on the test's display; returns its standard output.
    QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr);
    QByteArray xdotool(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }
    QList<quint32> windows(const QString &titlePattern);
    // Waits until exactly `count` visible windows carry a matching title; returns them.
    QList<quint32> waitForWindows(const QString &titlePattern, int count = 1);
    quint32 waitForWindow(const QString &titlePattern) { return waitForWindows(titlePattern).value(0); }
    void keys(quint32 window, const QStringList &sequence);
    void type(quint32 window, const QString &text);

    void startProgram();
    bool waitForProgramEnd(int timeoutMs = kWindowWaitMs);
    quint32 mainWindow() { return waitForWindow(kMainTitle); }
    // Opens a window through a menu of the main window and waits for it.
    quint32 openFromMenu(const QStringList &sequence, const QString &titlePattern);
    // Chooses a file through the dialog's "..." button and Qt's own file dialog.
    void chooseFile(quint32 dialog, const QString &titlePattern, const QString &fileName);
    void doubleClickFirstStation() { doubleClickInList(false); }
    void doubleClickInList(bool lowestRow);
    int listeners();
    QRect geometry(quint32 window);
    // The full-screen picture's window, when one is shown.
    quint32 fullScreenWindow();
    QVariant queryValue(const QString &sql);
    void screenshot(quint32 window, const QString &fileName);

    QString m_programLog;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_program;
    QByteArray m_display;
    std::unique_ptr<TestAppDir> m_dir;
    std::unique_ptr<IcecastServer> m_icecast;
    std::unique_ptr<QProcess> m_webServer;
};

void TestEndToEnd::initTestCase()
{
    for (const char *tool : {"Xvfb", "xdotool", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    QVERIFY2(QFileInfo(QStringLiteral(HALCYRIX_PROGRAM)).isExecutable(), HALCYRIX_PROGRAM);

    // An X server of our own; it writes the display number it chose to its standard output.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY2(m_xvfb->waitForStarted(10000), "Xvfb did not start");
    QDeadlineTimer deadline(30000);
    while (!m_xvfb->canReadLine() && !deadline.hasExpired() && m_xvfb->state() == QProcess::Running)
        m_xvfb->waitForReadyRead(200);
    const QByteArray number = m_xvfb->readLine().trimmed();
    QVERIFY2(!number.isEmpty(), "Xvfb named no display");
    m_display = ":" + number;

    // The application directory: the shipped stations and presets, one local category shown.
    m_dir = std::make_unique<TestAppDir>(TestAppDir::SeedStations, kStartIni);
    QVERIFY(QFile::copy(QDir(TestAppDir::sourceDir()).filePath(QStringLiteral("data/Halcyrix.html")),
                        m_dir->filePath(QStringLiteral("Halcyrix.html"))));
    m_dir->exec(QStringLiteral("INSERT INTO Category (Name, Description) VALUES ('Local', 'Streams of this machine')"));
    QString stream = QStringLiteral("http://127.0.0.1:9/silent.mp3");
    if (IcecastServer::available()) {
        m_icecast = std::make_unique<IcecastServer>();
        if (m_icecast->start(60000))
            stream = m_icecast->streamUrl();
        else
            qWarning("icecast2 did not start: %s", qPrintable(m_icecast->errorText()));
    }
    // Stations enough to fill the list, behind the local one.
    for (const char *name : {"Row 3", "Row 4", "Row 5"})
        m_dir->addStation(QLatin1String(name), QStringLiteral("Local"), QStringLiteral("http://127.0.0.1:9/row.mp3"));
    m_dir->addStation(QStringLiteral("Aaa Local Tone"), QStringLiteral("Local"), stream, QStringLiteral("FM"),
                      QStringLiteral("88.8"), QStringLiteral("This Machine"), QStringLiteral("http://127.0.0.1:9/"));
    m_programLog = QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("halcyrix-output.txt"));
    startProgram();
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->terminate();
        if (!m_program->waitForFinished(20000))
            m_program->kill();
    }
    if (m_webServer) {
        m_webServer->kill();
        m_webServer->waitForFinished(10000);
    }
    if (m_xvfb) {
        m_xvfb->terminate();
        m_xvfb->waitForFinished(10000);
    }
}

void TestEndToEnd::everyWindowOpensFromItsMenu()
{
    struct Window
    {
        QStringList keys;
        QString title;
    };
    const QList<Window> windowsToOpen = {
        {{"alt+f", "i"}, "^Import File$"},
        {{"alt+f", "e"}, "^Export To File$"},
        {{"alt+e", "s"}, "^Edit Stations$"},
        {{"alt+e", "c"}, "^Category$"},
        {{"alt+v", "a"}, "^Select Categories to view"},
        {{"alt+p", "p"}, "^Recently Played$"},
        {{"alt+p", "s"}, "^Sleep Timer$"},
        {{"alt+h", "a"}, "^About Halcyrix$"},
        {{"alt+h", "h"}, "^Halcyrix Help$"},
        {{"F1"}, "^Halcyrix Help$"},
    };
    for (const Window &w : windowsToOpen) {
        const quint32 id = openFromMenu(w.keys, w.title);
        QVERIFY2(id, qPrintable(w.title));
        keys(id, {"Escape"});
        waitForWindows(w.title, 0);
    }
    // The program is still there and usable.
    QVERIFY(mainWindow());
    QCOMPARE(m_program->state(), QProcess::Running);
}

void TestEndToEnd::importAStationFile()
{
    const QString file = m_dir->filePath(QStringLiteral("new stations.hcs"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("Imported Station\tHometown\tWIMP\t101.1\tFM\thttp://127.0.0.1:9/imported.mp3\tLocal\r\n");
    out.close();

    const quint32 dialog = openFromMenu({"alt+f", "i"}, QStringLiteral("^Import File$"));
    QVERIFY(dialog);
    chooseFile(dialog, QStringLiteral("^Import File$"), file);
    keys(dialog, {"alt+o"});
    waitForWindows(QStringLiteral("^Import File$"), 0);

    QCOMPARE(queryValue(QStringLiteral("SELECT Location || '|' || CallLetters || '|' || RAMFile FROM Station "
                                       "WHERE SName = 'Imported Station' AND Category = 'Local'"))
                 .toString(),
             QString("Hometown|WIMP|http://127.0.0.1:9/imported.mp3"));
}

void TestEndToEnd::tuneTheLocalStreamAndUseAPreset()
{
    // scripts/test installs icecast2: a stream server that cannot start fails the run.
    QVERIFY2(m_icecast && !m_icecast->streamUrl().isEmpty() && m_icecast->mountLive(),
             "icecast2 and ffmpeg are needed to tune a stream");

    // Double-click on the first station of the list tunes it: the server gains a listener.
    QCOMPARE(listeners(), 0);
    doubleClickFirstStation();
    QTRY_VERIFY_WITH_TIMEOUT(!windows(QStringLiteral("\\[Aaa Local Tone\\]$")).isEmpty(), kWindowWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(listeners(), 1, kWindowWaitMs);

    // Set, then key 7 on the keypad stores the list's station in preset 7 (the eighth row).
    QCOMPARE(queryValue(QStringLiteral("SELECT count(*) FROM Preset WHERE SName = 'Aaa Local Tone'")).toInt(), 0);
    const quint32 main = mainWindow();
    // From the list, the keyboard goes through the keypad 1 to 9 and 0, then Set.
    QStringList toSet(11, QStringLiteral("Tab"));
    keys(main, toSet);
    keys(main, {"space"});
    keys(main, {"alt+7"});
    QTRY_COMPARE_WITH_TIMEOUT(
        queryValue(QStringLiteral("SELECT SName FROM Preset ORDER BY rowid LIMIT 1 OFFSET 7")).toString(),
        QString("Aaa Local Tone"), kWindowWaitMs);
    QCOMPARE(queryValue(QStringLiteral("SELECT RAMFile FROM Preset ORDER BY rowid LIMIT 1 OFFSET 7")).toString(),
             m_icecast->streamUrl());

    // Another preset plays another stream (the server loses its listener); key 7 plays ours again.
    keys(main, {"alt+1"});
    QTRY_COMPARE_WITH_TIMEOUT(listeners(), 0, kWindowWaitMs);
    keys(main, {"alt+7"});
    QTRY_COMPARE_WITH_TIMEOUT(listeners(), 1, kWindowWaitMs);
    QTest::qWait(3000); // only for the picture: the status line has time to say it plays
    screenshot(main, QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("main-window.png")));
}

void TestEndToEnd::televisionFullScreen()
{
    const quint32 main = mainWindow();
    const QRect before = geometry(main);
    QVERIFY(before.isValid());

    // The radio stream of the test before has no picture: F11 and the menu item do nothing.
    keys(main, {"F11"});
    keys(main, {"alt+v", "f"});
    QTest::qWait(1500);
    QCOMPARE(fullScreenWindow(), quint32(0));
    keys(main, {"Escape"});

    // A television station: a local HLS stream made by ffmpeg, served by a web server of its own.
    QDir hls(m_dir->filePath(QStringLiteral("hls")));
    QVERIFY(hls.mkpath(QStringLiteral(".")));
    QVERIFY2(QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel",
                                                          "error",
                                                          "-y",
                                                          "-f",
                                                          "lavfi",
                                                          "-i",
                                                          "testsrc2=size=320x180:rate=25",
                                                          "-t",
                                                          "300",
                                                          "-c:v",
                                                          "libx264",
                                                          "-preset",
                                                          "ultrafast",
                                                          "-g",
                                                          "50",
                                                          "-pix_fmt",
                                                          "yuv420p",
                                                          "-f",
                                                          "hls",
                                                          "-hls_time",
                                                          "2",
                                                          "-hls_list_size",
                                                          "0",
                                                          hls.filePath("tv.m3u8")}) == 0,
             "ffmpeg made no stream");
    m_webServer = std::make_unique<QProcess>();
    m_webServer->start(QStringLiteral("python3"),
                       {"-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", hls.path()});
    QVERIFY(m_webServer->waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(m_webServer->canReadLine(), 20000);
    const QRegularExpressionMatch port =
        QRegularExpression(QStringLiteral(" port (\\d+)")).match(QString::fromLatin1(m_webServer->readLine()));
    QVERIFY(port.hasMatch());
    m_dir->addStation(QStringLiteral("Aaa Local TV"), QStringLiteral("Television"),
                      QStringLiteral("http://127.0.0.1:%1/tv.m3u8").arg(port.captured(1)), QStringLiteral("TV"),
                      QString(), QStringLiteral("This Machine"), QString());

    // The TV band lists it first; a double click tunes it. F11 works once the picture is there.
    keys(main, {"alt+t"});
    doubleClickFirstStation();
    QTRY_VERIFY_WITH_TIMEOUT(!windows(QStringLiteral("\\[Aaa Local TV\\]$")).isEmpty(), kWindowWaitMs);
    QDeadlineTimer deadline(kWindowWaitMs);
    while (!fullScreenWindow() && !deadline.hasExpired()) {
        keys(main, {"F11"});
        QTest::qWait(1000);
    }
    const QRect screen(0, 0, 1280, 1024);
    QVERIFY2(fullScreenWindow(), "F11 showed no full-screen picture");
    QTRY_COMPARE_WITH_TIMEOUT(geometry(fullScreenWindow()), screen, 10000);
    screenshot(fullScreenWindow(), QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("full-screen.png")));

    // Escape, a double click and F11 each bring the window back where and as large as it was.
    keys(fullScreenWindow(), {"Escape"});
    QTRY_COMPARE_WITH_TIMEOUT(fullScreenWindow(), quint32(0), 10000);
    QCOMPARE(geometry(main), before);

    // The picture stands at 4410 twips from the left, 75 below the menu bar (see the list's click).
    const double pixelsPerTwip = before.width() / 7065.0;
    const int pictureX = qRound(4410 * pixelsPerTwip) + 60;
    const int pictureY = before.height() - qRound((3225 - 720) * pixelsPerTwip) + qRound(75 * pixelsPerTwip) + 60;
    xdotool({"mousemove", "--window", QString::number(main), QString::number(pictureX), QString::number(pictureY),
             "click", "--repeat", "2", "--delay", "120", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(fullScreenWindow(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(geometry(fullScreenWindow()), screen, 10000);
    xdotool({"mousemove", "--window", QString::number(fullScreenWindow()), "640", "500", "click", "--repeat", "2",
             "--delay", "120", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(fullScreenWindow(), quint32(0), 10000);
    QCOMPARE(geometry(main), before);

    keys(main, {"F11"});
    QTRY_VERIFY_WITH_TIMEOUT(fullScreenWindow(), 10000);
    keys(fullScreenWindow(), {"F11"});
    QTRY_COMPARE_WITH_TIMEOUT(fullScreenWindow(), quint32(0), 10000);
    QCOMPARE(geometry(main), before);

    // Back to the radio band and its preset, as the tests after this one expect.
    keys(main, {"alt+r", "alt+7"});
}

void TestEndToEnd::doubleClickOnTheLowestRowInView()
{
    // The list shows Aaa Local Tone, Imported Station, Row 3 and, cut by the frame, Row 4: a
    // double click there tunes Row 4 where it stands.
    doubleClickInList(true);
    QCOMPARE(waitForWindows(QStringLiteral("\\[Row 4\\]$"), 1).size(), 1);
}

void TestEndToEnd::exportAWebPage()
{
    const QString file = m_dir->filePath(QStringLiteral("stations.html"));
    const quint32 dialog = openFromMenu({"alt+f", "e"}, QStringLiteral("^Export To File$"));
    QVERIFY(dialog);
    chooseFile(dialog, QStringLiteral("^Export To File$"), file);
    keys(dialog, {"alt+o"});
    waitForWindows(QStringLiteral("^Export To File$"), 0);

    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(file), kWindowWaitMs);
    QFile page(file);
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    QVERIFY(html.startsWith("<HTML><TITLE>Station List</TITLE>"));
    QVERIFY(html.contains("<TR><TD><A HREF='http://127.0.0.1:9/'>Aaa Local Tone</A></TD><TD>This Machine</TD>"));
    QVERIFY(html.contains("<TR><TD>Imported Station</TD><TD>Hometown</TD><TD>WIMP</TD><TD>101.1</TD><TD>FM"));
    // One row per station of the database, the shipped ones included.
    QCOMPARE(html.count("<TR>"), queryValue(QStringLiteral("SELECT count(*) FROM Station")).toLongLong());
    QVERIFY(html.trimmed().endsWith("</BODY></HTML>"));
}

void TestEndToEnd::closeBoxSavesBothSettings()
{
    QCOMPARE(m_dir->readFile(QStringLiteral("Tuner.ini")), kStartIni);

    // View, Categories: ">>" takes every category, Ok shows them all.
    const quint32 dialog = openFromMenu({"alt+v", "a"}, QStringLiteral("^Select Categories to view"));
    QVERIFY(dialog);
    keys(dialog, {"Tab", "space"});
    keys(dialog, {"alt+o"});
    waitForWindows(QStringLiteral("^Select Categories to view"), 0);

    // The window refuses a close while the dialog is still winding down, so the click on the
    // close box is repeated until the program ends, as a user would.
    const quint32 main = mainWindow();
    QDeadlineTimer deadline(kWindowWaitMs);
    do
        QVERIFY(sendCloseBox(m_display, main));
    while (!waitForProgramEnd(2000) && !deadline.hasExpired());
    QVERIFY2(m_program->state() == QProcess::NotRunning, "the program did not end after its window was closed");

    const QString ini = QString::fromLatin1(m_dir->readFile(QStringLiteral("Tuner.ini")));
    QVERIFY2(ini.contains(QStringLiteral("ShowBanner=False\r\n")), qPrintable(ini));
    const QRegularExpressionMatch categories = QRegularExpression(QStringLiteral("Categories=([^\r\n]*)")).match(ini);
    QVERIFY2(categories.hasMatch(), qPrintable(ini));
    for (const char *name : {"Local", "Jazz", "Television", "Classical"})
        QVERIFY2(categories.captured(1).contains(QLatin1String(name)), qPrintable(ini));
}

void TestEndToEnd::exitSavesNothing()
{
    const QByteArray ini = "DataBase=Halcyrix.db\r\nCategories=Local\r\nShowBanner=True\r\n";
    m_dir->writeFile(QStringLiteral("Tuner.ini"), ini);
    startProgram();
    const quint32 dialog = openFromMenu({"alt+v", "a"}, QStringLiteral("^Select Categories to view"));
    QVERIFY(dialog);
    keys(dialog, {"Tab", "space"});
    keys(dialog, {"alt+o"});
    waitForWindows(QStringLiteral("^Select Categories to view"), 0);

    keys(mainWindow(), {"alt+f", "x"});
    QVERIFY2(waitForProgramEnd(), "File, Exit did not end the program");
    QCOMPARE(m_dir->readFile(QStringLiteral("Tuner.ini")), ini);
}

// ---- Helpers ---------------------------------------------------------------------------------

QByteArray TestEndToEnd::run(const QString &program, const QStringList &args, int *exitCode)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    process.setProcessEnvironment(env);
    process.start(program, args);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitCode();
    return process.readAllStandardOutput();
}

QList<quint32> TestEndToEnd::windows(const QString &titlePattern)
{
    QList<quint32> found;
    const QByteArray out =
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), titlePattern});
    for (const QByteArray &line : out.split('\n'))
        if (const quint32 id = line.trimmed().toUInt())
            found << id;
    return found;
}

QList<quint32> TestEndToEnd::waitForWindows(const QString &titlePattern, int count)
{
    QDeadlineTimer deadline(kWindowWaitMs);
    QList<quint32> found = windows(titlePattern);
    while (found.size() != count && !deadline.hasExpired()) {
        QThread::msleep(100);
        found = windows(titlePattern);
    }
    if (found.size() != count)
        qWarning("expected %d window(s) titled %s, found %d", count, qPrintable(titlePattern), int(found.size()));
    return found;
}

void TestEndToEnd::keys(quint32 window, const QStringList &sequence)
{
    // The key goes where the keyboard focus is, as a user's would; first bring the window forward.
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)});
    xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("150")} + sequence);
}

void TestEndToEnd::type(quint32 window, const QString &text)
{
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

void TestEndToEnd::startProgram()
{
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    env.insert(QStringLiteral("HALCYRIX_HOME"), m_dir->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No desktop: Qt's own file dialog, never one of a desktop's.
    for (const char *name : {"QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    // Xvfb's OpenGL is drawn by the processor, where the program draws pictures in software of its
    // own choice; the OpenGL path is taken here so that it is tried through the real window.
    env.insert(QStringLiteral("HALCYRIX_PICTURE"), QStringLiteral("opengl"));
    m_program->setProcessEnvironment(env);
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->setStandardOutputFile(m_programLog, QIODevice::Append);
    m_program->start(QStringLiteral(HALCYRIX_PROGRAM), {});
    QVERIFY2(m_program->waitForStarted(20000), "the program did not start");
    if (!mainWindow()) {
        // Which of the two is gone: the window, or the X server it was to show on.
        const QByteArray server = m_xvfb->state() == QProcess::Running
                                      ? QByteArray("running")
                                      : "ended with " + QByteArray::number(m_xvfb->exitCode()) + ": " +
                                            m_xvfb->readAllStandardError().right(2000);
        QFAIL(qPrintable(
            QStringLiteral("the main window did not show (the X server %1)").arg(QString::fromLocal8Bit(server))));
    }
}

bool TestEndToEnd::waitForProgramEnd(int timeoutMs)
{
    return m_program->state() == QProcess::NotRunning || m_program->waitForFinished(timeoutMs);
}

quint32 TestEndToEnd::openFromMenu(const QStringList &sequence, const QString &titlePattern)
{
    keys(mainWindow(), sequence);
    return waitForWindow(titlePattern);
}

void TestEndToEnd::chooseFile(quint32 dialog, const QString &titlePattern, const QString &fileName)
{
    // The file box has the keyboard first; the "..." button follows it.
    keys(dialog, {"Tab", "space"});
    const QList<quint32> both = waitForWindows(titlePattern, 2);
    QCOMPARE(both.size(), 2);
    const quint32 fileDialog = both.first() == dialog ? both.last() : both.first();
    // The name box of the file dialog has the keyboard: replace what it proposes.
    keys(fileDialog, {"ctrl+a", "BackSpace"});
    type(fileDialog, fileName);
    keys(fileDialog, {"Return"});
    waitForWindows(titlePattern, 1);
}

void TestEndToEnd::doubleClickInList(bool lowestRow)
{
    const quint32 main = mainWindow();
    // The window's size gives the menu bar's height and the screen's scale; the list stands
    // 75 twips below the menu bar at 2730 twips from the left.
    int width = 0, height = 0;
    const QByteArray geometry =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(main)});
    for (const QByteArray &line : geometry.split('\n')) {
        if (line.startsWith("WIDTH="))
            width = line.mid(6).toInt();
        if (line.startsWith("HEIGHT="))
            height = line.mid(7).toInt();
    }
    QVERIFY(width > 0 && height > 0);
    const double pixelsPerTwip = width / 7065.0;
    const int clientHeight = qRound((3225 - 720) * pixelsPerTwip);
    const int listTop = (height - clientHeight) + qRound(75 * pixelsPerTwip);
    const int x = qRound(2730 * pixelsPerTwip) + 40;
    // The list is 840 twips high; its lowest row in view is cut by the frame.
    const int y = lowestRow ? listTop + qRound(840 * pixelsPerTwip) - 5 : listTop + 10;
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(main), QString::number(x),
             QString::number(y), QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
             QStringLiteral("--delay"), QStringLiteral("120"), QStringLiteral("1")});
}

int TestEndToEnd::listeners()
{
    return m_icecast->listeners();
}

QRect TestEndToEnd::geometry(quint32 window)
{
    QHash<QByteArray, int> v;
    const QByteArray out =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    for (const QByteArray &line : out.split('\n'))
        if (const int eq = line.indexOf('='); eq > 0)
            v.insert(line.left(eq), line.mid(eq + 1).toInt());
    return QRect(v.value("X"), v.value("Y"), v.value("WIDTH"), v.value("HEIGHT"));
}

quint32 TestEndToEnd::fullScreenWindow()
{
    return windows(QStringLiteral("^Halcyrix$")).value(0);
}

QVariant TestEndToEnd::queryValue(const QString &sql)
{
    const QList<QVariantList> rows = m_dir->query(sql);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

void TestEndToEnd::screenshot(quint32 window, const QString &fileName)
{
    int code = -1;
    run(QStringLiteral("import"),
        {QStringLiteral("-display"), QString::fromLatin1(m_display), QStringLiteral("-window"), QString::number(window),
         fileName},
        &code);
    if (code != 0 || !QFileInfo::exists(fileName))
        qWarning("no screenshot taken");
    else
        qInfo("screenshot of the main window: %s", qPrintable(fileName));
}

QTEST_GUILESS_MAIN(TestEndToEnd)

#include "tst_e2e.moc"
