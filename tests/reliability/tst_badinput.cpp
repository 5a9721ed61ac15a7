#include "TestAppDir.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "exchange/StationExport.h"
#include "exchange/StationImport.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QtTest>
#include <unistd.h>

// Bad files handed to the import and export while the real main window is open, and bad
// settings files at start-up: each is refused with a clear message or has its documented quiet
// outcome, and nothing already stored changes.
class TestBadInput : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void importOfBadFilesChangesNothingStored_data();
    void importOfBadFilesChangesNothingStored();
    void exportIntoAMissingFolderIsRefused();
    void settingsFileThatCannotBeReadStopsStartUp_data();
    void settingsFileThatCannotBeReadStopsStartUp();

private:
    QList<QVariantList> stored() const;

    std::unique_ptr<TestAppDir> m_dir;
    std::unique_ptr<frmMain> m_window;
};

namespace {

const QByteArray kIni = "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Jazz, News\r\n";

QByteArray garbage(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator random(1234);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

} // namespace

void TestBadInput::initTestCase()
{
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
    MsgBox::setRecording(true);
}

void TestBadInput::init()
{
    m_dir = std::make_unique<TestAppDir>(TestAppDir::EmptyTables, kIni);
    m_dir->addStation(QStringLiteral("WJZZ"), QStringLiteral("Jazz"), QStringLiteral("http://127.0.0.1:9/a.mp3"),
                      QStringLiteral("FM"), QStringLiteral("88.1"), QStringLiteral("Atlanta"),
                      QStringLiteral("http://wjzz.example/"));
    m_dir->addStation(QStringLiteral("News One"), QStringLiteral("News"), QString(), QStringLiteral("AM"),
                      QStringLiteral("1030"));
    Module1::RadioMode = true;
    m_window = std::make_unique<frmMain>();
    m_window->Form_Load();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    MsgBox::takeShown();
}

void TestBadInput::cleanup()
{
    m_window.reset();
    m_dir.reset();
}

QList<QVariantList> TestBadInput::stored() const
{
    return m_dir->query(QStringLiteral("SELECT rowid, * FROM Station ORDER BY rowid"));
}

void TestBadInput::importOfBadFilesChangesNothingStored_data()
{
    QTest::addColumn<QByteArray>("content"); // empty with isDirectory: a folder
    QTest::addColumn<bool>("corvane");
    QTest::addColumn<bool>("isDirectory");
    QTest::addColumn<QString>("message");  // a part of the message, empty for none
    QTest::addColumn<int>("added");        // -1: any number of new stations
    QTest::addColumn<QString>("imported"); // a station that must come in, if any

    // Garbage lines become stations where the database takes them; refused ones are passed over.
    QTest::newRow("binary garbage") << garbage(256 * 1024) << false << false << QString() << -1 << QString();
    // A whole line is one category (a category has no length limit); the line after it comes in.
    QTest::newRow("10 MB line") << QByteArray(10 * 1024 * 1024, 'x') + "\r\nAfter\t\t\t\t\t\tJazz\r\n"
                                << false << false << QString() << 2 << QStringLiteral("After");
    QTest::newRow("10 MB of TABs") << QByteArray(10 * 1024 * 1024, '\t') + "\nAfter\tJazz" << false << false
                                   << QString() << 2 << QStringLiteral("After");
    QTest::newRow("Corvane, 0 bytes") << QByteArray() << true << false << QStringLiteral("holds no stations") << 0
                                      << QString();
    QTest::newRow("Corvane, 131 bytes") << QByteArray(131, ' ') << true << false << QStringLiteral("holds no stations")
                                        << 0 << QString();
    QTest::newRow("Corvane garbage") << garbage(132 * 500 + 7) << true << false << QString() << -1 << QString();
    QTest::newRow("a folder") << QByteArray() << false << true << QStringLiteral("is a folder") << 0 << QString();
    QTest::newRow("missing file") << QByteArray() << false << false << QStringLiteral("Could not read") << 0
                                  << QString();
}

void TestBadInput::importOfBadFilesChangesNothingStored()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, corvane);
    QFETCH(bool, isDirectory);
    QFETCH(QString, message);
    QFETCH(int, added);
    QFETCH(QString, imported);

    const QList<QVariantList> before = stored();
    const QString name = m_dir->filePath(corvane ? QStringLiteral("bad.lst") : QStringLiteral("bad.hcs"));
    if (isDirectory)
        QVERIFY(QDir().mkpath(name));
    else if (!content.isEmpty() || corvane)
        m_dir->writeFile(corvane ? QStringLiteral("bad.lst") : QStringLiteral("bad.hcs"), content);

    StationImport::Choices choices;
    choices.fileName = name;
    choices.format = corvane ? StationImport::Format::Corvane : StationImport::Format::StationFile;
    StationImport import(choices);
    const bool done = import.store(Database::open(m_dir->dbPath()));
    if (message.isEmpty()) {
        QVERIFY2(done, qPrintable(import.error()));
    } else {
        QVERIFY(!done);
        QVERIFY2(import.error().contains(message), qPrintable(import.error()));
        QVERIFY2(import.error().contains(name), qPrintable(import.error()));
    }
    const QList<QVariantList> after = stored();
    QCOMPARE(after.mid(0, before.size()), before);
    if (added >= 0)
        QCOMPARE(after.size() - before.size(), added);
    if (!imported.isEmpty())
        QCOMPARE(m_dir->query(QStringLiteral("SELECT Category FROM Station WHERE SName = '%1'").arg(imported)),
                 QList<QVariantList>({{QStringLiteral("Jazz")}}));
    QCOMPARE(m_dir->query(QStringLiteral("PRAGMA integrity_check")).first().first().toString(), QStringLiteral("ok"));
    // The main window is still there and lists the stations of its categories.
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->DBList1->ListCount() >= 2);
}

void TestBadInput::exportIntoAMissingFolderIsRefused()
{
    const QString name = m_dir->filePath(QStringLiteral("no such folder/stations.hcs"));
    StationExport::Choices choices;
    choices.fileName = name;
    const StationExport::Result result =
        StationExport::run(choices, Recordset::open(Database::open(m_dir->dbPath()), QStringLiteral("Station"), true));
    QVERIFY(!result.written);
    QVERIFY2(result.error.contains(QStringLiteral("Could not write")) && result.error.contains(name),
             qPrintable(result.error));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("no such folder"))));
    QCOMPARE(stored().size(), 2);
}

void TestBadInput::settingsFileThatCannotBeReadStopsStartUp_data()
{
    QTest::addColumn<bool>("directory");
    QTest::newRow("a folder") << true;
    QTest::newRow("unreadable") << false;
}

void TestBadInput::settingsFileThatCannotBeReadStopsStartUp()
{
    QFETCH(bool, directory);
    m_window.reset();
    const QString ini = m_dir->filePath(QStringLiteral("Tuner.ini"));
    const QList<QVariantList> before = stored();
    if (directory) {
        QVERIFY(QFile::remove(ini));
        QVERIFY(QDir().mkpath(ini));
    } else {
        if (geteuid() == 0)
            QSKIP("the superuser can read any file");
        QVERIFY(QFile::setPermissions(ini, QFileDevice::WriteOwner));
    }

    std::unique_ptr<frmMain> window;
    const int status = Application::startUp([&] {
        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->show();
    });
    QVERIFY(status != 0);
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().contains(QStringLiteral("Run-time error '75'")) && shown.first().contains(ini),
             qPrintable(shown.first()));
    window.reset();
    // Nothing was written over the settings or the stations on the way out.
    QCOMPARE(QFileInfo(ini).isDir(), directory);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("Tuner.tmp"))));
    QFile::setPermissions(ini, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(stored(), before);
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestBadInput test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_badinput.moc"
