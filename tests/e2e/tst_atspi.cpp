// The real program read through the accessibility bus, as the Orca screen reader reads it: a
// desktop of the test's own (X server, session bus, AT-SPI bus), the program started in it,
// the station list clicked and used by keys, and the display read back after each step.

#include "DesktopSession.h"
#include "TestAppDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

constexpr int kWaitMs = 90000; // everything runs slowly under the sanitizers

} // namespace

class TestScreenReader : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void clickAndKeysAreReadAsShown();
    void placeInTheListAndSelection();
    void orcaSaysWhereTheUserIsAndWhatFollows();

private:
    QJsonObject read();
    // Reads the display until `done` holds for what was read; returns the last reading.
    template <typename Done> QJsonObject readUntil(Done done);
    QJsonObject station(const QJsonObject &reading, const QString &name);
    void xdotool(const QStringList &args) { m_desktop->run(QStringLiteral("xdotool"), args); }

    std::unique_ptr<DesktopSession> m_desktop;
    std::unique_ptr<TestAppDir> m_dir;
    std::unique_ptr<QProcess> m_program;
};

void TestScreenReader::initTestCase()
{
    const QString missing = DesktopSession::missingTool();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing + QStringLiteral(" is not installed")));
    QVERIFY2(QFileInfo(QStringLiteral(HALCYRIX_PROGRAM)).isExecutable(), HALCYRIX_PROGRAM);
    m_desktop = std::make_unique<DesktopSession>();
    QVERIFY2(m_desktop->start(), qPrintable(m_desktop->errorText()));

    m_dir = std::make_unique<TestAppDir>(TestAppDir::EmptyTables,
                                         "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Local\r\n");
    m_dir->addStation(QStringLiteral("Aaa First"), QStringLiteral("Local"), QStringLiteral("http://127.0.0.1:9/1.mp3"),
                      QStringLiteral("FM"), QStringLiteral("88.8"), QStringLiteral("First Town"));
    m_dir->addStation(QStringLiteral("Bbb Second"), QStringLiteral("Local"), QStringLiteral("http://127.0.0.1:9/2.mp3"),
                      QStringLiteral("AM"), QStringLiteral("1010"), QStringLiteral("Second Town"));
    m_dir->addStation(QStringLiteral("Ccc Third"), QStringLiteral("Local"), QStringLiteral("http://127.0.0.1:9/3.mp3"),
                      QStringLiteral("NET"), QString(), QStringLiteral("Third Town"));
    for (int i = 4; i <= 50; ++i)
        m_dir->addStation(QStringLiteral("Station %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("Local"),
                          QStringLiteral("http://127.0.0.1:9/%1.mp3").arg(i), QStringLiteral("NET"), QString(),
                          QStringLiteral("Town %1").arg(i));
    m_dir->exec(QStringLiteral("INSERT INTO Preset (SName) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL "
                               "SELECT i + 1 FROM n WHERE i < 9) SELECT '[Empty]' FROM n"));

    m_program =
        m_desktop->launch(QStringLiteral(HALCYRIX_PROGRAM), {},
                          QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("atspi-program-output.txt")));
    QCOMPARE(m_program->state(), QProcess::Running);
    int found = -1;
    m_desktop->readAccessible({QStringLiteral("wait"), QStringLiteral("Halcyrix v"), QString::number(kWaitMs / 1000)},
                              &found, kWaitMs + 10000);
    QVERIFY2(found == 0, "the main window was not offered on the accessibility bus");
}

void TestScreenReader::cleanupTestCase()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->terminate();
        if (!m_program->waitForFinished(20000))
            m_program->kill();
    }
}

QJsonObject TestScreenReader::read()
{
    return QJsonDocument::fromJson(m_desktop->readAccessible({QStringLiteral("display")})).object();
}

template <typename Done> QJsonObject TestScreenReader::readUntil(Done done)
{
    QDeadlineTimer deadline(kWaitMs);
    QJsonObject reading = read();
    while (!done(reading) && !deadline.hasExpired()) {
        QThread::msleep(300);
        reading = read();
    }
    return reading;
}

QJsonObject TestScreenReader::station(const QJsonObject &reading, const QString &name)
{
    for (const QJsonValue &entry : reading.value(QStringLiteral("stations")).toArray())
        if (entry.toObject().value(QStringLiteral("name")).toString() == name)
            return entry.toObject();
    return {};
}

void TestScreenReader::clickAndKeysAreReadAsShown()
{
    auto label = [](const QJsonObject &reading, const char *what) {
        return reading.value(QStringLiteral("labels")).toObject().value(QLatin1String(what)).toString();
    };
    auto lit = [](const QJsonObject &reading) {
        return reading.value(QStringLiteral("lit")).toArray().toVariantList();
    };

    // At start the first station is shown, and the list offers its entries.
    QJsonObject reading = readUntil([&](const QJsonObject &r) { return label(r, "Frequency") == "88.8"; });
    QCOMPARE(label(reading, "Frequency"), QString("88.8"));
    QCOMPARE(label(reading, "Location"), QString("First Town"));
    QCOMPARE(label(reading, "Category"), QString("Local"));
    QCOMPARE(lit(reading), QVariantList({"FM, lit"}));
    QCOMPARE(reading.value("caption").toString(), QString("Halcyrix v3.0.17"));
    const QJsonArray centre = station(reading, "Bbb Second").value("centre").toArray();
    QCOMPARE(centre.size(), 2);

    // A click on the second station, where the screen reader says it is.
    xdotool({QStringLiteral("mousemove"), QString::number(centre[0].toInt()), QString::number(centre[1].toInt()),
             QStringLiteral("click"), QStringLiteral("1")});
    reading = readUntil([&](const QJsonObject &r) { return label(r, "Location") == "Second Town"; });
    QCOMPARE(label(reading, "Frequency"), QString("1010"));
    QCOMPARE(label(reading, "Location"), QString("Second Town"));
    QCOMPARE(lit(reading), QVariantList({"AM, lit"}));
    QVERIFY(station(reading, "Bbb Second").value("selected").toBool());
    QCOMPARE(reading.value("caption").toString(), QString("Halcyrix v3.0.17")); // nothing tuned

    // Down, then Enter: the third station is shown, focused and tuned.
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("200"), QStringLiteral("Down"),
             QStringLiteral("Return")});
    reading = readUntil([&](const QJsonObject &r) { return r.value("caption").toString().endsWith("[Ccc Third]"); });
    QCOMPARE(reading.value("caption").toString(), QString("Halcyrix v3.0.17 [Ccc Third]"));
    QCOMPARE(label(reading, "Frequency"), QString(""));
    QCOMPARE(label(reading, "Location"), QString("Third Town"));
    QCOMPARE(lit(reading), QVariantList({"NET, lit"}));
    const QJsonObject third = station(reading, "Ccc Third");
    QVERIFY(third.value("selected").toBool());
    QVERIFY(third.value("focused").toBool());
    QVERIFY(!label(reading, "Player status").isEmpty());
}

void TestScreenReader::placeInTheListAndSelection()
{
    auto list = [this] {
        return QJsonDocument::fromJson(m_desktop->readAccessible({QStringLiteral("list")})).object();
    };
    // Five stations down from the first: the sixth of fifty, wherever the list is scrolled.
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("200"), QStringLiteral("Home"),
             QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
             QStringLiteral("Down")});
    QDeadlineTimer deadline(kWaitMs);
    QJsonObject place = list();
    while (place.value("name").toString() != "Station 06" && !deadline.hasExpired()) {
        QThread::msleep(300);
        place = list();
    }
    QCOMPARE(place.value("name").toString(), QString("Station 06"));
    QCOMPARE(place.value("index").toInt(), 5);
    QCOMPARE(place.value("children").toInt(), 50);
    QCOMPARE(place.value("rows").toInt(), 50);
    QVERIFY(place.value("manages").toBool()); // walkers leave its entries alone
    QCOMPARE(place.value("selected").toArray(), QJsonArray({5}));

    // Selecting a station through the list's table shows it, as a click does.
    int selected = -1;
    m_desktop->readAccessible({QStringLiteral("select"), QStringLiteral("20")}, &selected);
    QCOMPARE(selected, 0);
    const QJsonObject reading = readUntil(
        [](const QJsonObject &r) { return r.value("labels").toObject().value("Location").toString() == "Town 21"; });
    QCOMPARE(reading.value("labels").toObject().value("Location").toString(), QString("Town 21"));
    QCOMPARE(list().value("selected").toArray(), QJsonArray({20}));
}

void TestScreenReader::orcaSaysWhereTheUserIsAndWhatFollows()
{
    const QString orca = QStandardPaths::findExecutable(QStringLiteral("orca"));
    if (orca.isEmpty())
        QFAIL("orca is needed (scripts/deps.sh installs it)");
    // Orca on this desktop, silent: every phrase it would say goes to its debug log.
    QTemporaryDir home;
    const QString log = QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("orca-debug.txt"));
    QFile::remove(log);
    QProcessEnvironment env = m_desktop->environment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    QProcess reader;
    reader.setProcessEnvironment(env);
    reader.setStandardOutputFile(QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("orca-output.txt")));
    reader.setStandardErrorFile(QDir(QStringLiteral(E2E_ARTIFACT_DIR)).filePath(QStringLiteral("orca-output.txt")),
                                QIODevice::Append);
    reader.start(orca,
                 {QStringLiteral("-d"), QStringLiteral("speech"), QStringLiteral("-d"), QStringLiteral("braille"),
                  QStringLiteral("-u"), home.filePath(QStringLiteral("prefs")), QStringLiteral("--debug-file"), log});
    QVERIFY(reader.waitForStarted(20000));
    int found = -1;
    m_desktop->readAccessible({QStringLiteral("reader"), QString::number(kWaitMs / 1000)}, &found, kWaitMs + 10000);
    QVERIFY2(found == 0, "Orca did not come onto the accessibility bus");
    QThread::msleep(2000); // it listens once its first script is active

    // Away from the list and back: Orca says where the user lands. Then Enter tunes the
    // station, whose server refuses, while the focus stays on the list.
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("500"), QStringLiteral("Tab"),
             QStringLiteral("shift+Tab")});
    QThread::msleep(2000);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QThread::msleep(5000); // the refusal comes at once; Orca says it as it comes

    // Orca writes its log out when it ends.
    reader.terminate();
    if (!reader.waitForFinished(20000))
        reader.kill();
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList said;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.contains("SPEECH OUTPUT:"))
            said << QString::fromUtf8(line);
    const QString speech = said.join(QLatin1Char('\n'));
    QVERIFY2(speech.contains(QStringLiteral("50 items")), qPrintable(speech));
    QVERIFY2(speech.contains(QStringLiteral("Cannot connect to http://127.0.0.1:9/")), qPrintable(speech));
}

QTEST_GUILESS_MAIN(TestScreenReader)
#include "tst_atspi.moc"
