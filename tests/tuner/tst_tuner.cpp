#include "TunerFixture.h"

#include "app/Application.h"
#include "app/PlainText.h"
#include "app/Screen.h"

#include <QFile>
#include <QMenuBar>

class TestTuner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { startTests(); }
    void init() { MsgBox::takeShown(); }

    void startUpShowsTheChosenCategoriesAndTheFirstStation();
    void windowLayoutMenusAndBanner();
    void closingSavesBothSettings();
    void startUpWithoutBannerLineAddsNothing();
    void filterOutcomes_data();
    void filterOutcomes();
    void clickShowsDoubleClickTunes();
    void bandLightsAndMissingCategory();
    void activationRebuildsTheList();
    void bandListsFollowEveryChange();
    void missingDatabaseIsReportedOnce();
    void outsideTextShowsAsItIs();
    void namesOfEveryAlphabetSortAndSelectApart();
};

namespace {
qint64 residentKb()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLongLong() * 4;
}
} // namespace

void TestTuner::startUpShowsTheChosenCategoriesAndTheFirstStation()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText());
    addStations(dir);
    addPresets(dir);
    auto window = std::make_unique<frmMain>();
    frmMain &w = *window;
    Module1::RadioMode = true;
    w.Form_Load();
    QCOMPARE(Screen::mousePointer(), Screen::Hourglass); // until the first activation ends
    w.show();
    QCOMPARE(Screen::mousePointer(), Screen::Default);

    QCOMPARE(listed(w), QStringList({"Blue Note", "No Stream", "Pop One", "WJZZ", "Zed Pop"}));
    QCOMPARE(w.DBList1->Text(), QString("Blue Note"));
    QCOMPARE(w.lblFrequency->text(), QString("1010"));
    QCOMPARE(w.lblLocation->text(), QString("New York"));
    QCOMPARE(w.StatusBar1->text(), QString("Jazz"));
    QCOMPARE(litBand(w), 1);
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17"));
    QVERIFY(!w.mnuViewWebPage->isEnabled());
    QVERIFY(player()->source() != stream("bluenote")); // nothing tuned
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestTuner::windowLayoutMenusAndBanner()
{
    Radio radio(iniText("Jazz", "True"));
    frmMain &w = *radio.window;

    // Banner shown: the taller window, the strip just above the status bar.
    QCOMPARE(w.Height(), 4155);
    QVERIFY(w.picBanner->isVisible());
    QVERIFY(w.mnuViewBanner->isChecked());
    QCOMPARE(w.picBanner->mapTo(&w, QPoint(0, w.picBanner->height())).y(), w.StatusBar1->y());
    QCOMPARE(w.picBanner->width(), w.width());
    QVERIFY(!w.picBanner->pixmap().isNull());
    QCOMPARE(w.minimumSize(), w.maximumSize()); // fixed border
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w.windowIcon().isNull());

    // The keypad: 1 to 5 over 6 to 9 and 0; the clock panels are filled.
    QCOMPARE(w.Preset[1]->geometry(), Screen::twipsRect(150, 1335, 400, 255));
    QCOMPARE(w.Preset[0]->geometry(), Screen::twipsRect(1770, 1635, 400, 255));
    QVERIFY(!w.StatusBar1->Panels(2)->text().isEmpty() && !w.StatusBar1->Panels(3)->text().isEmpty());

    // What the menus show: hidden items exist but are not visible.
    auto visibleItems = [](QMenu *menu) {
        QStringList names;
        for (QAction *a : menu->actions())
            if (a->isVisible())
                names << a->objectName();
        return names;
    };
    QCOMPARE(visibleItems(w.mnuFile),
             QStringList({"mnuFileImport", "mnuFileExport", "mnuFileFindStations", "mnuFileVoid", "mnuFileExit"}));
    QCOMPARE(visibleItems(w.mnuEdit),
             QStringList({"mnuEditRadioStations", "mnuEditCategories", "mnuEditCheckStations"}));
    QCOMPARE(visibleItems(w.mnuView),
             QStringList({"mnuViewCategories", "mnuvoid1", "mnuViewWebPage", "mnuViewFullScreen", "mnuViewGuide"}));
    QCOMPARE(visibleItems(w.mnuHelp), QStringList({"mnuHelpAbout", "mnuHelpHelp", "mnuHelpOnlineHelp"}));
    for (const char *hidden : {"mnuFileNew", "mnuFileOpen", "mnuFileVoid1", "mnuViewPing", "mnuViewChannels",
                               "mnuViewBanner", "mnuViewOptions"})
        QVERIFY2(w.findChild<QAction *>(hidden) && !w.findChild<QAction *>(hidden)->isVisible(), hidden);
}

void TestTuner::closingSavesBothSettings()
{
    Radio radio(iniText("Jazz", "True"));
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    Module1::ViewCategories = "Pop, Talk";
    w.mnuViewBanner->setChecked(false);
    QVERIFY(w.close());
    QCOMPARE(dir.readFile("Tuner.ini"),
             QByteArray("DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Pop, Talk\r\n"));
}

void TestTuner::startUpWithoutBannerLineAddsNothing()
{
    Radio radio(iniText("Jazz", QByteArray()));
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    QCOMPARE(w.Height(), 3225);
    QVERIFY(!w.picBanner->isVisible());
    QVERIFY(!w.mnuViewBanner->isChecked());
    QCOMPARE(w.StatusBar1->geometry().bottom(), w.height() - 1);
    QVERIFY(w.close());
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("DataBase=Halcyrix.db\r\nCategories=Jazz\r\n"));
}

void TestTuner::filterOutcomes_data()
{
    const QStringList all = {"Blue Note", "Channel 2", "Channel 5", "Joe's Place", "No Stream",
                             "Pop One",   "Talk Time", "WJZZ",      "Zed Pop"};
    QTest::addColumn<QString>("categories");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("one name") << "Talk" << QStringList({"Talk Time"});
    QTest::newRow("blanks around names") << "  Jazz ,Talk  " << QStringList({"Blue Note", "Talk Time", "WJZZ"});
    QTest::newRow("letter case of the engine") << "jazz" << QStringList({"Blue Note", "WJZZ"});
    QTest::newRow("double comma") << "Jazz,,Talk" << QStringList({"Blue Note", "Talk Time", "WJZZ"});
    QTest::newRow("trailing comma shows all") << "Jazz, Talk," << all;
    QTest::newRow("television") << "Television" << QStringList({"Channel 2", "Channel 5"});
    QTest::newRow("empty list") << "" << QStringList();
    QTest::newRow("quote in a name") << "Rock 'n' Roll, Talk" << QStringList({"Joe's Place", "Talk Time"});
}

void TestTuner::filterOutcomes()
{
    QFETCH(QString, categories);
    QFETCH(QStringList, expected);
    Radio radio;
    frmMain &w = *radio.window;
    clickEntry(w, "Zed Pop");
    QString argument = categories;
    w.vbFilter(argument);
    QVERIFY(argument.isEmpty()); // the argument is consumed
    QCOMPARE(listed(w), expected);
    if (expected.isEmpty()) {
        QCOMPARE(w.lblLocation->text(), QString("Leeds")); // the display keeps its last station
    } else {
        QCOMPARE(w.DBList1->Text(), expected.first()); // the first station is current
        QCOMPARE(w.Data1->Recordset()->Fields(0).toString(), expected.first());
    }
    QCOMPARE(Module1::ViewCategories, QString("Jazz, Pop"));
    QVERIFY(player()->source() != stream("zed")); // filtering never tunes
}

void TestTuner::clickShowsDoubleClickTunes()
{
    Radio radio(iniText("Jazz, Pop, Rock 'n' Roll"));
    frmMain &w = *radio.window;
    QSignalSpy plays(player(), &Player::playRequested);

    clickEntry(w, "Zed Pop");
    QCOMPARE(w.lblLocation->text(), QString("Leeds"));
    QCOMPARE(w.lblFrequency->text(), QString("99.9"));
    QCOMPARE(w.StatusBar1->text(), QString("Pop"));
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17"));
    QCOMPARE(plays.count(), 0);

    doubleClickEntry(w, "WJZZ");
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [WJZZ]"));
    QVERIFY(w.mnuViewWebPage->isEnabled());
    QCOMPARE(player()->source(), stream("wjzz"));
    QCOMPARE(plays.count(), 1);

    // A click on another station changes the display, not the caption or the stream.
    clickEntry(w, "Blue Note");
    QCOMPARE(w.lblLocation->text(), QString("New York"));
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [WJZZ]"));
    QCOMPARE(player()->source(), stream("wjzz"));

    // No web page: Web Page goes grey; the stream still tunes.
    doubleClickEntry(w, "Blue Note");
    QVERIFY(!w.mnuViewWebPage->isEnabled());
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Blue Note]"));
    QCOMPARE(plays.count(), 2);

    // A web page but no stream: only Web Page follows.
    doubleClickEntry(w, "No Stream");
    QVERIFY(w.mnuViewWebPage->isEnabled());
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Blue Note]"));
    QCOMPARE(player()->source(), stream("bluenote"));
    QCOMPARE(plays.count(), 2);

    // A quote in the name is found and tuned like any other name.
    doubleClickEntry(w, "Joe's Place");
    QCOMPARE(w.lblLocation->text(), QString("Memphis"));
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Joe's Place]"));
    QCOMPARE(player()->source(), stream("joe"));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestTuner::bandLightsAndMissingCategory()
{
    Radio radio(iniText("Jazz, Pop, Talk, Television"), 10, "UPDATE Preset SET Type = ' FM' WHERE SName = 'P4'");
    frmMain &w = *radio.window;
    const QList<QPair<QString, int>> cases = {{"WJZZ", 0},    {"Blue Note", 1}, {"Channel 5", 2},
                                              {"Pop One", 3}, {"Zed Pop", -1},  {"Talk Time", -1}};
    for (const auto &[name, band] : cases) {
        clickEntry(w, name);
        QVERIFY2(litBand(w) == band, qPrintable(name));
    }
    // A preset row without category; a type with a blank lights nothing.
    w.Preset[4]->click();
    QCOMPARE(w.StatusBar1->text(), QString("No Category"));
    QCOMPARE(w.lblLocation->text(), QString("Slot 4"));
    QCOMPARE(litBand(w), -1);
    w.Preset[3]->click();
    QCOMPARE(litBand(w), 1);
}

void TestTuner::activationRebuildsTheList()
{
    Radio radio;
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    doubleClickEntry(w, "Zed Pop");
    dir.addStation("Acid Jazz", "Jazz", stream("acid"), "FM", "90", "Bristol");

    openAndCloseDialog(w);
    QCOMPARE(listed(w).first(), QString("Acid Jazz"));
    QCOMPARE(listed(w).size(), 6);
    QCOMPARE(w.DBList1->Text(), QString("Acid Jazz"));
    QCOMPARE(w.lblLocation->text(), QString("Bristol"));
    QCOMPARE(w.Preset[2]->toolTip(), QString("P2"));
    // Activation does not tune: the caption and the stream stay.
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Zed Pop]"));
    QCOMPARE(player()->source(), stream("zed"));
}

void TestTuner::bandListsFollowEveryChange()
{
    Radio radio;
    frmMain &w = *radio.window;
    const QStringList radioList = listed(w);
    w.optTV->click();
    QCOMPARE(listed(w), QStringList({"Channel 2", "Channel 5"}));
    w.optTuner->click();
    QCOMPARE(listed(w), radioList);

    // Each return to a band starts at its first station, wherever the set was left.
    RecordsetPtr rs = w.Data1->Recordset();
    rs->MoveLast();
    w.optTV->click();
    w.optTuner->click();
    QCOMPARE(w.Data1->Recordset()->Fields("SName").toString(), radioList.first());

    // A station renamed through the shown set, and one added by another program.
    rs = w.Data1->Recordset();
    rs->FindFirst("SName = 'Zed Pop'");
    rs->Edit();
    rs->setField("SName", "Alpha Pop");
    rs->Update();
    radio.dir.addStation("Channel 1", "Television", stream("ch1"), "TV", "1", "Rome");
    w.optTV->click();
    QCOMPARE(listed(w), QStringList({"Channel 1", "Channel 2", "Channel 5"}));
    w.optTuner->click();
    QCOMPARE(listed(w).first(), QString("Alpha Pop"));
    QVERIFY(!listed(w).contains("Zed Pop"));
    QCOMPARE(listed(w).size(), radioList.size());
}

void TestTuner::missingDatabaseIsReportedOnce()
{
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Missing.db\r\nShowBanner=False\r\nCategories=Jazz\r\n");
    auto window = openWindow();
    frmMain &w = *window;
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QDir::toNativeSeparators(dir.filePath("Missing.db"))));
    QVERIFY(w.isVisible());
    QCOMPARE(w.DBList1->ListCount(), 0);

    // Nothing later fails for want of the record sets.
    w.cmdSet->click();
    w.Preset[1]->click();
    w.optTV->click();
    w.UpDown1->downButton()->click();
    w.optTuner->click();
    w.UpDown2->upButton()->click();
    w.vbTuneIn();
    openAndCloseDialog(w);
    QVERIFY(MsgBox::takeShown().isEmpty());
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    QVERIFY(w.close());
}

void TestTuner::outsideTextShowsAsItIs()
{
    // A station list from someone else: markup that must show as typed, among it an image
    // "read" from a device that never ends.
    Radio radio(iniText("Jazz, <b>x</b>"), 10,
                "INSERT INTO Station (SName, Frequency, Type, Location, Category) VALUES "
                "('<b>x</b>', '&amp;', 'FM', '<img src=/dev/zero>', '<b>x</b>');"
                "UPDATE Preset SET SName = '<img src=/dev/zero>' WHERE SName = 'P1'");
    frmMain &w = *radio.window;
    const qint64 before = residentKb();
    clickEntry(w, "<b>x</b>");
    w.grab(); // laid out and painted
    QTest::qWait(100);
    w.grab();
    QCOMPARE(w.lblLocation->text(), QString("<img src=/dev/zero>"));
    QCOMPARE(w.lblFrequency->text(), QString("&amp;"));
    QCOMPARE(w.StatusBar1->text(), QString("<b>x</b>"));
    QCOMPARE(w.lblLocation->textFormat(), Qt::PlainText);
    QCOMPARE(PlainText::fromToolTip(w.Preset[1]->toolTip()), QString("<img src=/dev/zero>"));
    QVERIFY2(residentKb() - before < 64 * 1024, qPrintable(QString::number(residentKb() - before)));
    clickEntry(w, "Blue Note"); // the window still answers
    QCOMPARE(w.lblLocation->text(), QString("New York"));
}

void TestTuner::namesOfEveryAlphabetSortAndSelectApart()
{
    // A pair of names that differ in letter case outside A to Z, stored by another tool.
    Radio radio(
        iniText("Jazz"), 10,
        "INSERT INTO Station (SName, Frequency, Category, RAMFile) VALUES "
        "('Über', '4', 'Jazz', 'http://127.0.0.1:9/uber.mp3'), ('Öko FM', '1', 'Jazz', 'http://127.0.0.1:9/oko1.mp3'),"
        "('öko FM', '2', 'Jazz', 'http://127.0.0.1:9/oko2.mp3'), ('Émile', '3', 'Jazz', '')");
    frmMain &w = *radio.window;
    QCOMPARE(listed(w), QStringList({"Blue Note", "Émile", "Öko FM", "öko FM", "Über", "WJZZ"}));
    clickEntry(w, "öko FM");
    QCOMPARE(w.lblFrequency->text(), QString("2"));
    QCOMPARE(w.DBList1->Text(), QString("öko FM"));
    doubleClickEntry(w, "öko FM");
    QCOMPARE(player()->source(), QString("http://127.0.0.1:9/oko2.mp3"));
    // The Down key walks past the pair.
    clickEntry(w, "Öko FM");
    QCOMPARE(w.lblFrequency->text(), QString("1"));
    QTest::keyClick(w.DBList1, Qt::Key_Down);
    QCOMPARE(w.DBList1->Text(), QString("öko FM"));
    QCOMPARE(w.lblFrequency->text(), QString("2"));
    QTest::keyClick(w.DBList1, Qt::Key_Down);
    QCOMPARE(w.DBList1->Text(), QString("Über"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestTuner test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tuner.moc"
