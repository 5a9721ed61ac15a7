#include "TestAppDir.h"
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "exchange/StationFormats.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QtTest>

namespace {

const QString kStationFields = "SName, Location, CallLetters, Frequency, Type, RAMFile, Category";

// Every station, all eight fields, in stored order.
QList<QVariantList> stations(const TestAppDir &dir)
{
    return dir.query("select SName, Location, CallLetters, Frequency, Type, RAMFile, Category, WebPage "
                     "from Station order by rowid");
}

QStringList names(const TestAppDir &dir)
{
    QStringList out;
    for (const QVariantList &row : dir.query("select SName from Station order by rowid"))
        out << row.at(0).toString();
    return out;
}

// Runs an export through the dialog: the file picked with the browse button, then OK.
void exportWith(const QString &fileName, bool liveLink = false)
{
    frmExport dlg;
    dlg.show();
    CommonDialog::presetNextFileName(fileName);
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    if (liveLink)
        dlg.Check1->setChecked(true);
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QCOMPARE(dlg.StatusBar1->currentMessage(), QString("Done."));
    QVERIFY(!dlg.isVisible());
}

// Runs an import of a typed file name; returns the dialog's counts.
frmImport::Counts importWith(const QString &fileName, bool replace = false, bool prompt = false, bool corvane = false)
{
    frmImport dlg;
    dlg.show();
    dlg.txtFile->setText(fileName);
    if (corvane)
        dlg.optFileType[1]->setChecked(true);
    if (replace)
        QTest::mouseClick(dlg.optAction[1], Qt::LeftButton);
    if (prompt)
        QTest::mouseClick(dlg.chkPrompt, Qt::LeftButton);
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    return dlg.lastCounts();
}

} // namespace

class TestExchangeDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MsgBox::setRecording(true);
        CommonDialog::clearPresets();
    }
    void cleanup() { QVERIFY2(!CommonDialog::hasPreset(), "a preset file name was not used"); }

    void exportDialogControls();
    void importDialogControls();
    void exportThenImportGivesBackEveryFieldButWebPage();
    void exportWebPageAndEmptyTable();
    void exportFailureKeepsTheEarlierFile();
    void importPassesOverRefusedStations();
    void importOfAnUnreadableFileAddsNothing();
    void importCorvaneList();
    void replaceModeReplacesFieldsOfKnownNames();
    void replaceModeAsksForEachStation();
    void cancelWhileRunningClosesTheDialog();
    void reopenedDialogStartsAfresh();
};

void TestExchangeDialogs::exportDialogControls()
{
    TestAppDir dir(TestAppDir::SeedStations);
    Module1::DatabasePath = dir.dbPath();
    frmExport dlg;
    dlg.show();
    // A fresh dialog: the station file, no live link, no name.
    QVERIFY(dlg.findChild<QRadioButton *>("optFileType(0)")->isChecked());
    QVERIFY(dlg.txtFile->text().isEmpty());
    QVERIFY(!dlg.Check1->isChecked());

    // The live link is offered only with the web page.
    QVERIFY(!dlg.Check1->isEnabled());
    dlg.optFileType[1]->setChecked(true);
    QVERIFY(dlg.Check1->isEnabled());

    // The browse button: ".html" picks the web page, ".htm" the station file; Cancel keeps all.
    CommonDialog::presetNextFileName("/tmp/LIST.HTML");
    CommonDialog::presetNextFileName("/tmp/stations.htm");
    CommonDialog::presetNextFileName("");
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QCOMPARE(CommonDialog::lastFilter(),
             QString("Halcyrix Station Files (*.hcs)|*.hcs|HTML Files (*.htm;*.html)|*.htm;*.html"));
    QVERIFY(dlg.optFileType[1]->isChecked());
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QVERIFY(dlg.optFileType[0]->isChecked());
    QCOMPARE(dlg.txtFile->text(), QString("/tmp/stations.htm"));
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QCOMPARE(dlg.txtFile->text(), QString("/tmp/stations.htm"));

    // A blank name writes nothing and closes the dialog.
    dlg.txtFile->setText("  ");
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

void TestExchangeDialogs::importDialogControls()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    frmImport dlg;
    dlg.show();
    QVERIFY(dlg.optFileType[0]->isChecked());
    QVERIFY(dlg.optAction[0]->isChecked());

    // The question per station belongs to replace mode only.
    QVERIFY(!dlg.chkPrompt->isEnabled());
    QTest::mouseClick(dlg.optAction[1], Qt::LeftButton);
    QVERIFY(dlg.chkPrompt->isEnabled());
    QTest::mouseClick(dlg.optAction[0], Qt::LeftButton);
    QVERIFY(!dlg.chkPrompt->isEnabled());

    // Browsing to a ".lst" file picks the Corvane list; another name leaves the choice alone.
    CommonDialog::presetNextFileName("/tmp/stations.LsT");
    CommonDialog::presetNextFileName("/tmp/other.hcs");
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QCOMPARE(CommonDialog::lastFilter(), QString("Halcyrix Station Files (*.hcs)|*.hcs|Corvane Files (*.lst)|*.lst"));
    QVERIFY(dlg.optFileType[1]->isChecked());
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QVERIFY(dlg.optFileType[1]->isChecked());
    QCOMPARE(dlg.txtFile->text(), QString("/tmp/other.hcs"));

    QTest::mouseClick(dlg.Command2, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
}

void TestExchangeDialogs::exportThenImportGivesBackEveryFieldButWebPage()
{
    TestAppDir source(TestAppDir::SeedStations);
    source.addStation(QString::fromUtf8("Ràdio Ünïcode"), "Pop", "", "NET", "", "", "https://u.example/");
    source.addStation("Bare", "Talk"); // only a name and a category
    Module1::DatabasePath = source.dbPath();
    const QString file = source.filePath("out.hcs");
    exportWith(file);
    const QList<QVariantList> exported = stations(source);
    QCOMPARE(source.readFile("out.hcs").count("\r\n"), exported.size());

    TestAppDir target;
    Module1::DatabasePath = target.dbPath();
    const frmImport::Counts counts = importWith(file);
    QCOMPARE(counts.added, int(exported.size()));
    QCOMPARE(MsgBox::takeShown(), QStringList());
    const QList<QVariantList> imported = stations(target);
    QCOMPARE(imported.size(), exported.size());
    for (int i = 0; i < imported.size(); ++i) {
        QVariantList expected = exported[i].mid(0, 7);
        expected << QVariant(); // no web page comes back
        QCOMPARE(imported[i], expected);
    }
}

void TestExchangeDialogs::exportWebPageAndEmptyTable()
{
    TestAppDir dir;
    dir.addStation("Linked", "Pop", "http://l.example/a.ram", "FM", "", "", "http://l.example/");
    dir.addStation("Plain & <Simple>", "Pop", "http://p.example/b.ram");
    Module1::DatabasePath = dir.dbPath();
    exportWith(dir.filePath("page.html"), true);
    const QList<QByteArray> lines = dir.readFile("page.html").split('\n');
    QCOMPARE(lines.size(), 5); // header, two rows, footer, and nothing after the last CR LF
    QVERIFY(lines[0].startsWith("<HTML><TITLE>Station List</TITLE>"));
    QVERIFY(lines[1].startsWith("<TR><TD><A HREF='http://l.example/'>Linked</A>"));
    QVERIFY(lines[1].contains("<A HREF='http://l.example/a.ram'>*LIVE*</a>"));
    QVERIFY(lines[2].startsWith("<TR><TD>Plain &amp; &lt;Simple&gt;</TD>"));
    QVERIFY(lines[3].contains(">Halcyrix 3.0</a></FONT></BODY></HTML>\r"));

    TestAppDir empty;
    Module1::DatabasePath = empty.dbPath();
    exportWith(empty.filePath("empty.hcs"));
    QCOMPARE(empty.readFile("empty.hcs"), QByteArray());
    exportWith(empty.filePath("empty.html"));
    QCOMPARE(empty.readFile("empty.html").count("\r\n"), 2);
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

void TestExchangeDialogs::exportFailureKeepsTheEarlierFile()
{
    TestAppDir dir(TestAppDir::SeedStations);
    Module1::DatabasePath = dir.dbPath();

    // A folder that is a file: the message names the path and the system's reason, and the
    // dialog stays open for another name.
    dir.writeFile("plain.txt", "x");
    const QString badPath = dir.filePath("plain.txt/out.hcs");
    frmExport dlg;
    dlg.show();
    dlg.txtFile->setText(badPath);
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(badPath), qPrintable(shown[0]));
    QVERIFY2(shown[0].contains("directory", Qt::CaseInsensitive), qPrintable(shown[0]));
    QVERIFY(dlg.isVisible());

    // An earlier file whose replacement cannot be made beside it (the name leaves no room for
    // a scratch name) stays whole.
    const QString longName = QString(250, 'n') + ".hcs";
    dir.writeFile(longName, "earlier\r\n");
    dlg.txtFile->setText(dir.filePath(longName));
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown[0].contains(longName));
    QCOMPARE(dir.readFile(longName), QByteArray("earlier\r\n"));
    QCOMPARE(QDir(dir.path()).entryList({QString(250, 'n') + "*"}, QDir::AllEntries), QStringList(longName));

    // A good name then works from the same dialog.
    dlg.txtFile->setText(dir.filePath("good.hcs"));
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dir.readFile("good.hcs").count("\r\n"), stations(dir).size());
}

void TestExchangeDialogs::importPassesOverRefusedStations()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    // Refused: an empty line, no category, a too long call sign, a name already read (in other
    // letters). A line of three fields fills name, location and category.
    dir.writeFile("list.hcs", "First\t\t\t\t\t\tJazz\r\n"
                              "\r\n"
                              "NoCategory\t\t\t\t\t\t\r\n"
                              "LongCall\t\tTOOLONG\t\t\t\tJazz\r\n"
                              "first\tElsewhere\t\t\t\t\tPop\r\n"
                              "Short\tSomewhere\tTalk\r\n");
    frmImport dlg;
    dlg.show();
    dlg.txtFile->setText(dir.filePath("list.hcs"));
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QCOMPARE(dlg.StatusBar1->currentMessage(), QString("Done."));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.lastCounts().added, 2);
    QCOMPARE(dlg.lastCounts().passedOver, 4);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    const QList<QVariantList> before = stations(dir);
    QCOMPARE(names(dir), (QStringList{"First", "Short"}));
    QCOMPARE(before.at(1),
             (QVariantList{"Short", "Somewhere", QVariant(), QVariant(), QVariant(), QVariant(), "Talk", QVariant()}));

    // The same file again adds nothing, the names being taken.
    QCOMPARE(importWith(dir.filePath("list.hcs")).added, 0);
    QCOMPARE(stations(dir), before);
}

void TestExchangeDialogs::importOfAnUnreadableFileAddsNothing()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.writeFile("empty.hcs", "");
    dir.writeFile("short.lst", QByteArray(100, ' '));
    QDir(dir.path()).mkdir("folder.hcs");
    const struct
    {
        QString name;
        bool corvane;
        QString message;
    } cases[] = {{"", false, "Choose the file to import first."},
                 {dir.filePath("missing.hcs"), false, "No such file"},
                 {dir.filePath("folder.hcs"), false, "is a folder"},
                 {dir.filePath("empty.hcs"), false, "holds no stations"},
                 {dir.filePath("short.lst"), true, "holds no stations"}};
    for (const auto &c : cases) {
        frmImport dlg;
        dlg.show();
        dlg.txtFile->setText(c.name);
        if (c.corvane)
            dlg.optFileType[1]->setChecked(true);
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        const QStringList shown = MsgBox::takeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(c.message), qPrintable(shown[0]));
        QVERIFY2(shown[0].contains(c.name), qPrintable(shown[0]));
        QVERIFY(dlg.isVisible()); // open for another name
    }
    QCOMPARE(stations(dir).size(), 0);
}

void TestExchangeDialogs::importCorvaneList()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    QByteArray list;
    auto record = [&list](const QByteArray &name, const QByteArray &category, qint16 band) {
        QByteArray r = name.leftJustified(30) + QByteArray("http://c.example/x.ram").leftJustified(40) +
                       QByteArray("Caf\xe9 town").leftJustified(30) + category.leftJustified(20) + "WABC" +
                       QByteArray("770").leftJustified(5);
        r += char(band & 0xFF);
        r += char((band >> 8) & 0xFF);
        r += ' ';
        list += r;
    };
    record("Old One", "News", 0);
    record("Old Two", "Pop", 5);
    record("", "", 0); // refused: no category
    list += "tail";
    dir.writeFile("old.lst", list);

    frmImport dlg;
    dlg.show();
    CommonDialog::presetNextFileName(dir.filePath("old.lst"));
    QTest::mouseClick(dlg.Command1, Qt::LeftButton);
    QTest::mouseClick(dlg.Command3, Qt::LeftButton);
    QCOMPARE(dlg.lastCounts().added, 2);
    const QList<QVariantList> rows = stations(dir);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], (QVariantList{"Old One", QString::fromUtf8("Café town"), "WABC", "770", "FM",
                                    "http://c.example/x.ram", "News", QVariant()}));
    QCOMPARE(rows[1].at(4), QVariant("AM"));
}

void TestExchangeDialogs::replaceModeReplacesFieldsOfKnownNames()
{
    TestAppDir dir;
    dir.addStation("KEXP", "Eclectic", "http://old.example/", "FM", "90.3", "Seattle", "https://kexp.example/", "KEXP");
    dir.addStation("Other", "Jazz");
    Module1::DatabasePath = dir.dbPath();
    dir.writeFile("new.hcs", "kexp\tSeattle, WA\tKEXP\t90.3\tFM\thttp://new.example/\tMusic\r\n"
                             "Other\tNew Place\tTalk\r\n" // a short line replaces only its fields
                             "Fresh\t\t\t\t\t\tPop\r\n");

    // Keep mode leaves both as they were.
    const QList<QVariantList> before = stations(dir);
    QCOMPARE(importWith(dir.filePath("new.hcs")).added, 1);
    QCOMPARE(stations(dir).mid(0, 2), before);

    const frmImport::Counts counts = importWith(dir.filePath("new.hcs"), true);
    QCOMPARE(counts.replaced, 3);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    const QList<QVariantList> rows = stations(dir);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], (QVariantList{"kexp", "Seattle, WA", "KEXP", "90.3", "FM", "http://new.example/", "Music",
                                    "https://kexp.example/"})); // the web page stays
    QCOMPARE(rows[1],
             (QVariantList{"Other", "New Place", QVariant(), QVariant(), "FM", QVariant(), "Talk", QVariant()}));
}

void TestExchangeDialogs::replaceModeAsksForEachStation()
{
    TestAppDir dir;
    for (const char *name : {"A", "B", "C", "D", "E"})
        dir.addStation(name, "Old");
    Module1::DatabasePath = dir.dbPath();
    dir.writeFile("new.hcs", "A\t\t\t\t\t\tNew\r\nB\t\t\t\t\t\tNew\r\nNew1\t\t\t\t\t\tNew\r\n"
                             "C\t\t\t\t\t\tNew\r\nD\t\t\t\t\t\tNew\r\nE\t\t\t\t\t\tNew\r\nNew2\t\t\t\t\t\tNew\r\n");
    auto categories = [&dir] {
        QStringList out;
        for (const QVariantList &row : dir.query("select SName || '=' || Category from Station order by rowid"))
            out << row.at(0).toString();
        return out;
    };

    // Yes, No, then Cancel: the import stops there and keeps what it did.
    MsgBox::presetAnswer(MsgBox::Answer::Yes);
    MsgBox::presetAnswer(MsgBox::Answer::No);
    MsgBox::presetAnswer(MsgBox::Answer::Cancel);
    frmImport::Counts counts = importWith(dir.filePath("new.hcs"), true, true);
    QStringList asked = MsgBox::takeShown();
    QCOMPARE(asked.size(), 3);
    QVERIFY2(asked[0].contains("\"A\""), qPrintable(asked[0]));
    QVERIFY(counts.cancelled);
    QCOMPARE(categories(), (QStringList{"A=New", "B=Old", "C=Old", "D=Old", "E=Old", "New1=New"}));

    // No, then Yes to all: no more questions.
    MsgBox::presetAnswer(MsgBox::Answer::No);
    MsgBox::presetAnswer(MsgBox::Answer::YesToAll);
    counts = importWith(dir.filePath("new.hcs"), true, true);
    QCOMPARE(MsgBox::takeShown().size(), 2);
    QVERIFY(!counts.cancelled);
    QCOMPARE(counts.replaced, 5);
    QCOMPARE(categories(), (QStringList{"A=New", "B=New", "C=New", "D=New", "E=New", "New1=New", "New2=New"}));
}

void TestExchangeDialogs::cancelWhileRunningClosesTheDialog()
{
    // Cancel is pressed as soon as the work lets the window handle its events.
    TestAppDir dir(TestAppDir::SeedStations);
    Module1::DatabasePath = dir.dbPath();
    dir.writeFile("earlier.hcs", "earlier\r\n");
    {
        frmExport dlg;
        dlg.show();
        dlg.txtFile->setText(dir.filePath("earlier.hcs"));
        QTimer::singleShot(0, dlg.Command2, &QPushButton::click);
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dir.readFile("earlier.hcs"), QByteArray("earlier\r\n")); // nothing half-written
        // The next run starts without the Cancel: a file that cannot be written is reported
        // and the dialog stays open for another name.
        dlg.show();
        dlg.txtFile->setText(dir.filePath("no-such-folder/list.hcs"));
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(MsgBox::takeShown().size(), 1);
        dlg.close();
    }
    {
        const int before = stations(dir).size();
        dir.writeFile("new.hcs", "New1\t\t\t\t\t\tPop\r\nNew2\t\t\t\t\t\tPop\r\n");
        frmImport dlg;
        dlg.show();
        dlg.txtFile->setText(dir.filePath("new.hcs"));
        QTimer::singleShot(0, dlg.Command2, &QPushButton::click);
        QTest::mouseClick(dlg.Command3, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(dlg.lastCounts().cancelled);
        QCOMPARE(stations(dir).size(), before + dlg.lastCounts().added);
        QVERIFY(dlg.lastCounts().added < 2);
    }
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

void TestExchangeDialogs::reopenedDialogStartsAfresh()
{
    // The main window keeps one dialog object and shows it again each time.
    TestAppDir dir;
    dir.addStation("One", "Pop");
    Module1::DatabasePath = dir.dbPath();
    frmExport exporter;
    exporter.show();
    CommonDialog::presetNextFileName(dir.filePath("a.html"));
    QTest::mouseClick(exporter.Command1, Qt::LeftButton);
    exporter.Check1->setChecked(true);
    QTest::mouseClick(exporter.Command3, Qt::LeftButton);
    QVERIFY(!exporter.isVisible());

    dir.addStation("Two", "Pop");
    exporter.show();
    QVERIFY(exporter.txtFile->text().isEmpty());
    QVERIFY(exporter.optFileType[0]->isChecked());
    QVERIFY(!exporter.Check1->isChecked());
    QVERIFY(!exporter.Check1->isEnabled());
    exporter.txtFile->setText(dir.filePath("b.hcs"));
    QTest::mouseClick(exporter.Command3, Qt::LeftButton);
    QCOMPARE(dir.readFile("b.hcs"), QByteArray("One\t\t\t\tFM\t\tPop\r\nTwo\t\t\t\tFM\t\tPop\r\n"));

    frmImport importer;
    importer.show();
    QTest::mouseClick(importer.optAction[1], Qt::LeftButton);
    QTest::mouseClick(importer.chkPrompt, Qt::LeftButton);
    importer.optFileType[1]->setChecked(true);
    QTest::mouseClick(importer.Command2, Qt::LeftButton);
    importer.show();
    QVERIFY(importer.optFileType[0]->isChecked());
    QVERIFY(importer.optAction[0]->isChecked());
    QVERIFY(!importer.chkPrompt->isChecked());
    QVERIFY(!importer.chkPrompt->isEnabled());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestExchangeDialogs test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_exchangedialogs.moc"
