#include "TunerFixture.h"

#include "app/Application.h"
#include "app/Screen.h"

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
    void missingDatabaseIsReportedOnce();
};

void TestTuner::startUpShowsTheChosenCategoriesAndTheFirstStation()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText());
    addStations(dir);
    addPresets(dir);
    auto w = std::make_unique<frmMain>();
    Module1::RadioMode = true;
    w->Form_Load();
    QCOMPARE(Screen::mousePointer(), Screen::Hourglass);   // until the first activation ends
    w->show();
    QCOMPARE(Screen::mousePointer(), Screen::Default);

    QCOMPARE(listed(*w), QStringList({"Blue Note", "No Stream", "Pop One", "WJZZ", "Zed Pop"}));
    QCOMPARE(w->DBList1->Text(), QString("Blue Note"));
    QCOMPARE(w->lblFrequency->text(), QString("1010"));
    QCOMPARE(w->lblLocation->text(), QString("New York"));
    QCOMPARE(w->StatusBar1->text(), QString("Jazz"));
    QCOMPARE(litBand(*w), 1);
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17"));
    QVERIFY(!w->mnuViewWebPage->isEnabled());
    QVERIFY(radio()->source().isEmpty() || radio()->source() != stream("bluenote"));   // nothing tuned
    QCOMPARE(Module1::FilterField, QString("Category"));
    QCOMPARE(Module1::DatabasePath, dir.dbPath());
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestTuner::windowLayoutMenusAndBanner()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz", "True"));
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();

    // Banner shown: the taller window, the strip just above the status bar.
    QCOMPARE(w->Height(), 4155);
    QVERIFY(w->picBanner->isVisible());
    QVERIFY(w->mnuViewBanner->isChecked());
    QCOMPARE(w->picBanner->mapTo(w.get(), QPoint(0, w->picBanner->height())).y(), w->StatusBar1->y());
    QCOMPARE(w->picBanner->width(), w->width());
    QVERIFY(!w->picBanner->pixmap().isNull());
    QCOMPARE(w->minimumSize(), w->maximumSize());   // fixed border
    QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!w->windowIcon().isNull());

    // Controls at their places.
    QCOMPARE(w->Preset[1]->geometry(), Screen::twipsRect(150, 1335, 400, 255));
    QCOMPARE(w->Preset[0]->geometry(), Screen::twipsRect(1770, 1635, 400, 255));
    QCOMPARE(w->Preset[6]->geometry(), Screen::twipsRect(150, 1635, 400, 255));
    QCOMPARE(w->lblType[3]->geometry(), Screen::twipsRect(2295, 120, 360, 255));
    QCOMPARE(w->DBList1->geometry(), Screen::twipsRect(2730, 75, 1650, 840));
    QCOMPARE(w->lblFrequency->font().pointSizeF(), 24.0);
    QCOMPARE(w->lblFrequency->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    QCOMPARE(w->lblFrequency->palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(w->picBanner->palette().color(QPalette::Window), QColor(192, 192, 192));
    QCOMPARE(w->StatusBar1->PanelCount(), 3);
    QVERIFY(!w->StatusBar1->Panels(2)->text().isEmpty());   // date
    QVERIFY(!w->StatusBar1->Panels(3)->text().isEmpty());   // time
    QCOMPARE(w->RealAudio1[8]->toolTip(), QString("Volume"));
    QCOMPARE(w->UpDown1->toolTip(), QString("Channel"));

    // What the menus show: hidden items exist but are not visible.
    auto visibleItems = [](QMenu *menu) {
        QStringList names;
        for (QAction *a : menu->actions())
            if (a->isVisible())
                names << a->objectName();
        return names;
    };
    QCOMPARE(visibleItems(w->mnuFile), QStringList({"mnuFileImport", "mnuFileExport", "mnuFileVoid", "mnuFileExit"}));
    QCOMPARE(visibleItems(w->mnuEdit), QStringList({"mnuEditRadioStations", "mnuEditCategories"}));
    QCOMPARE(visibleItems(w->mnuView), QStringList({"mnuViewCategories", "mnuvoid1", "mnuViewWebPage"}));
    QCOMPARE(visibleItems(w->mnuHelp), QStringList({"mnuHelpAbout", "mnuHelpHelp", "mnuHelpOnlineHelp"}));
    for (const char *hidden : {"mnuFileNew", "mnuFileOpen", "mnuFileVoid1", "mnuViewPing", "mnuViewChannels",
                               "mnuViewBanner", "mnuViewOptions"})
        QVERIFY2(w->findChild<QAction *>(hidden) && !w->findChild<QAction *>(hidden)->isVisible(), hidden);
    QCOMPARE(w->mnuHelpHelp->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(w->mnuViewCategories->text(), QString("C&ategories"));
}

void TestTuner::closingSavesBothSettings()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz", "True"));
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();
    Module1::ViewCategories = "Pop, Talk";
    w->mnuViewBanner->setChecked(false);
    QVERIFY(w->close());
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Pop, Talk\r\n"));
}

void TestTuner::startUpWithoutBannerLineAddsNothing()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz", QByteArray()));
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();
    QCOMPARE(w->Height(), 3225);
    QVERIFY(!w->picBanner->isVisible());
    QVERIFY(!w->mnuViewBanner->isChecked());
    QCOMPARE(w->StatusBar1->geometry().bottom(), w->height() - 1);
    QVERIFY(w->close());
    QCOMPARE(dir.readFile("Tuner.ini"), QByteArray("DataBase=Halcyrix.db\r\nCategories=Jazz\r\n"));
}

void TestTuner::filterOutcomes_data()
{
    const QStringList all = {"Blue Note", "Channel 2", "Channel 5", "Joe's Place", "No Stream",
                             "Pop One", "Talk Time", "WJZZ", "Zed Pop"};
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
    TestAppDir dir(TestAppDir::EmptyTables, iniText());
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();
    clickEntry(*w, "Zed Pop");
    QString argument = categories;
    w->vbFilter(argument);
    QVERIFY(argument.isEmpty());                // the argument is consumed
    QCOMPARE(listed(*w), expected);
    if (expected.isEmpty()) {
        QCOMPARE(w->lblLocation->text(), QString("Leeds"));   // the display keeps its last station
    } else {
        QCOMPARE(w->DBList1->Text(), expected.first());        // the first station is current
        QCOMPARE(w->Data1->Recordset()->Fields(0).toString(), expected.first());
    }
    QCOMPARE(Module1::ViewCategories, QString("Jazz, Pop"));
    QVERIFY(radio()->source() != stream("zed"));             // filtering never tunes
}

void TestTuner::clickShowsDoubleClickTunes()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz, Pop, Rock 'n' Roll"));
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();
    QSignalSpy plays(radio(), &Player::playRequested);

    clickEntry(*w, "Zed Pop");
    QCOMPARE(w->lblLocation->text(), QString("Leeds"));
    QCOMPARE(w->lblFrequency->text(), QString("99.9"));
    QCOMPARE(w->StatusBar1->text(), QString("Pop"));
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17"));
    QCOMPARE(plays.count(), 0);

    doubleClickEntry(*w, "WJZZ");
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [WJZZ]"));
    QVERIFY(w->mnuViewWebPage->isEnabled());
    QCOMPARE(radio()->source(), stream("wjzz"));
    QCOMPARE(plays.count(), 1);

    // A click on another station changes the display, not the caption or the stream.
    clickEntry(*w, "Blue Note");
    QCOMPARE(w->lblLocation->text(), QString("New York"));
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [WJZZ]"));
    QCOMPARE(radio()->source(), stream("wjzz"));

    // No web page: Web Page goes grey; the stream still tunes.
    doubleClickEntry(*w, "Blue Note");
    QVERIFY(!w->mnuViewWebPage->isEnabled());
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [Blue Note]"));
    QCOMPARE(plays.count(), 2);

    // A web page but no stream: only Web Page follows.
    doubleClickEntry(*w, "No Stream");
    QVERIFY(w->mnuViewWebPage->isEnabled());
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [Blue Note]"));
    QCOMPARE(radio()->source(), stream("bluenote"));
    QCOMPARE(plays.count(), 2);

    // A quote in the name is found and tuned like any other name.
    doubleClickEntry(*w, "Joe's Place");
    QCOMPARE(w->lblLocation->text(), QString("Memphis"));
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [Joe's Place]"));
    QCOMPARE(radio()->source(), stream("joe"));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestTuner::bandLightsAndMissingCategory()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText("Jazz, Pop, Talk, Television"));
    addStations(dir);
    addPresets(dir);
    dir.exec("UPDATE Preset SET Type = ' FM' WHERE SName = 'P4'");
    auto w = openWindow();
    const QList<QPair<QString, int>> cases = {{"WJZZ", 0}, {"Blue Note", 1}, {"Channel 5", 2}, {"Pop One", 3},
                                              {"Zed Pop", -1}, {"Talk Time", -1}};
    for (const auto &[name, band] : cases) {
        clickEntry(*w, name);
        QVERIFY2(litBand(*w) == band, qPrintable(name));
    }
    // A preset row without category; a type with a blank lights nothing.
    w->Preset[4]->click();
    QCOMPARE(w->StatusBar1->text(), QString("No Category"));
    QCOMPARE(w->lblLocation->text(), QString("Slot 4"));
    QCOMPARE(litBand(*w), -1);
    w->Preset[3]->click();
    QCOMPARE(litBand(*w), 1);
}

void TestTuner::activationRebuildsTheList()
{
    TestAppDir dir(TestAppDir::EmptyTables, iniText());
    addStations(dir);
    addPresets(dir);
    auto w = openWindow();
    doubleClickEntry(*w, "Zed Pop");
    dir.addStation("Acid Jazz", "Jazz", stream("acid"), "FM", "90", "Bristol");

    openAndCloseDialog(*w);
    QCOMPARE(listed(*w).first(), QString("Acid Jazz"));
    QCOMPARE(listed(*w).size(), 6);
    QCOMPARE(w->DBList1->Text(), QString("Acid Jazz"));
    QCOMPARE(w->lblLocation->text(), QString("Bristol"));
    QCOMPARE(w->Preset[2]->toolTip(), QString("P2"));
    // Activation does not tune: the caption and the stream stay.
    QCOMPARE(w->windowTitle(), QString("Halcyrix v3.0.17 [Zed Pop]"));
    QCOMPARE(radio()->source(), stream("zed"));
}

void TestTuner::missingDatabaseIsReportedOnce()
{
    TestAppDir dir(TestAppDir::EmptyTables, "DataBase=Missing.db\r\nShowBanner=False\r\nCategories=Jazz\r\n");
    auto w = openWindow();
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first().contains(QDir::toNativeSeparators(dir.filePath("Missing.db"))));
    QVERIFY(w->isVisible());
    QCOMPARE(w->DBList1->ListCount(), 0);

    // Nothing later fails for want of the record sets.
    w->cmdSet->click();
    w->Preset[1]->click();
    w->optTV->click();
    w->UpDown1->downButton()->click();
    w->optTuner->click();
    w->UpDown2->upButton()->click();
    w->vbTuneIn();
    openAndCloseDialog(*w);
    QVERIFY(MsgBox::takeShown().isEmpty());
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    QVERIFY(w->close());
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestTuner test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tuner.moc"
