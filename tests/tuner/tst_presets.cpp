#include "TunerFixture.h"

#include "app/Application.h"

class TestPresets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { startTests(); }
    void init() { MsgBox::takeShown(); }

    void storingFillsTheFirstAndTenthRows();
    void setTwiceStoresNothing();
    void presetKeepsItsCopyOfTheStation();
    void pressingAPresetLeavesListCaptionAndWebPage();
    void armedStateSurvivesABandSwitch();
    void altDigitPressesTheButton();
    void televisionBand();
    void steppingStopsAtTheEnds();
    void fewerThanTenPresetRows();
    void storingWithoutAStationStoresNothing();
};

namespace {
QVariantList presetRow(const TestAppDir &dir, int slot)
{
    const auto rows = dir.query("SELECT SName, Frequency, Type, CallLetters, Location, RAMFile, Category, WebPage "
                                "FROM Preset ORDER BY rowid");
    return rows.value(slot);
}
} // namespace

void TestPresets::storingFillsTheFirstAndTenthRows()
{
    Radio radio;
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;

    clickEntry(w, "WJZZ");
    w.cmdSet->click();
    QCOMPARE(w.StatusBar1->text(), QString("Select Number To Preset..."));
    QVERIFY(Module1::PresetArmed);
    w.Preset[0]->click();
    QCOMPARE(presetRow(dir, 0), QVariantList({"WJZZ", "88.1", "FM", QVariant(), "Atlanta", stream("wjzz"), "Jazz",
                                              "http://wjzz.example/"}));
    QCOMPARE(w.Preset[0]->toolTip(), QString("WJZZ"));
    QCOMPARE(w.StatusBar1->text(), QString("Jazz"));
    QVERIFY(!Module1::PresetArmed);

    clickEntry(w, "Pop One");
    w.cmdSet->click();
    w.Preset[9]->click();
    QCOMPARE(presetRow(dir, 9).value(0).toString(), QString("Pop One"));
    QCOMPARE(presetRow(dir, 9).value(1), QVariant()); // an empty frequency is stored empty
    QCOMPARE(w.Preset[9]->toolTip(), QString("Pop One"));
    // Only the pressed button's hint changed; the other rows are untouched.
    QCOMPARE(w.Preset[1]->toolTip(), QString("P1"));
    QCOMPARE(presetRow(dir, 1).value(0).toString(), QString("P1"));
    QCOMPARE(presetRow(dir, 8).value(0).toString(), QString("P8"));
}

void TestPresets::setTwiceStoresNothing()
{
    Radio radio;
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    clickEntry(w, "Zed Pop");
    w.cmdSet->click();
    w.cmdSet->click();
    QVERIFY(!Module1::PresetArmed);
    QCOMPARE(w.StatusBar1->text(), QString("Pop"));
    w.Preset[5]->click(); // tunes, does not store
    QCOMPARE(presetRow(dir, 5).value(0).toString(), QString("P5"));
    QCOMPARE(player()->source(), stream("p5"));
}

void TestPresets::presetKeepsItsCopyOfTheStation()
{
    Radio radio;
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    clickEntry(w, "Blue Note");
    w.cmdSet->click();
    w.Preset[1]->click();
    clickEntry(w, "Zed Pop");
    w.cmdSet->click();
    w.Preset[2]->click();

    // The stations are renamed and deleted elsewhere; the presets keep their copies.
    dir.exec(
        "UPDATE Station SET SName = 'Green Note', RAMFile = 'http://127.0.0.1:9/new.mp3' WHERE SName = 'Blue Note'");
    dir.exec("DELETE FROM Station WHERE SName = 'Zed Pop'");
    openAndCloseDialog(w);
    QVERIFY(!listed(w).contains("Zed Pop"));
    QCOMPARE(w.Preset[1]->toolTip(), QString("Blue Note"));

    w.Preset[1]->click();
    QCOMPARE(player()->source(), stream("bluenote"));
    QCOMPARE(w.lblLocation->text(), QString("New York"));
    w.Preset[2]->click();
    QCOMPARE(player()->source(), stream("zed"));
    QCOMPARE(w.lblFrequency->text(), QString("99.9"));
}

void TestPresets::pressingAPresetLeavesListCaptionAndWebPage()
{
    Radio radio(iniText(), 10,
                "UPDATE Preset SET RAMFile = NULL, Location = 'Silent', Category = 'Quiet' WHERE SName = 'P7'");
    frmMain &w = *radio.window;
    QSignalSpy plays(player(), &Player::playRequested);
    doubleClickEntry(w, "Pop One");
    QCOMPARE(plays.count(), 1);

    w.Preset[6]->click();
    QCOMPARE(player()->source(), stream("p6"));
    QCOMPARE(plays.count(), 1); // a preset sets the source only
    QCOMPARE(w.lblLocation->text(), QString("Slot 6"));
    QCOMPARE(w.DBList1->Text(), QString("Pop One"));
    QCOMPARE(w.Data1->Recordset()->Fields(0).toString(), QString("Pop One"));
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Pop One]"));
    QVERIFY(w.mnuViewWebPage->isEnabled());

    // No stream address: the details show, the stream stays.
    w.Preset[7]->click();
    QCOMPARE(w.lblLocation->text(), QString("Silent"));
    QCOMPARE(w.StatusBar1->text(), QString("Quiet"));
    QCOMPARE(player()->source(), stream("p6"));
}

void TestPresets::armedStateSurvivesABandSwitch()
{
    Radio radio;
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    w.cmdSet->click();
    w.optTV->click();
    QVERIFY(!w.Preset[4]->isEnabled());
    w.optTuner->click();
    QVERIFY(Module1::PresetArmed);
    QCOMPARE(w.DBList1->Text(), QString("Blue Note"));
    w.Preset[4]->click();
    QCOMPARE(presetRow(dir, 4).value(0).toString(), QString("Blue Note"));
    QVERIFY(!Module1::PresetArmed);
}

void TestPresets::altDigitPressesTheButton()
{
    Radio radio;
    frmMain &w = *radio.window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // An access key presses its button after the button's short press animation.
    QTest::keyClick(&w, Qt::Key_3, Qt::AltModifier);
    QTRY_COMPARE(player()->source(), stream("p3"));
    QCOMPARE(w.lblLocation->text(), QString("Slot 3"));
    // Alt+T selects television, Alt+R the radio band again.
    QTest::keyClick(&w, Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY(!Module1::RadioMode);
    QCOMPARE(listed(w), QStringList({"Channel 2", "Channel 5"}));
    QTest::keyClick(&w, Qt::Key_R, Qt::AltModifier);
    QTRY_VERIFY(Module1::RadioMode);
}

void TestPresets::televisionBand()
{
    Radio radio;
    frmMain &w = *radio.window;
    QVERIFY(w.optTuner->isChecked() && w.UpDown2->isEnabled() && !w.UpDown1->isEnabled());
    doubleClickEntry(w, "WJZZ");

    w.optTV->click();
    QCOMPARE(listed(w), QStringList({"Channel 2", "Channel 5"}));
    QVERIFY(w.optTV->isChecked() && !w.optTuner->isChecked());
    QVERIFY(std::none_of(w.Preset.begin(), w.Preset.end(), [](QPushButton *b) { return b->isEnabled(); }));
    QVERIFY(!w.cmdSet->isEnabled() && !w.UpDown2->upButton()->isEnabled() && w.UpDown1->isEnabled());
    QCOMPARE(QApplication::focusWidget(), w.DBList1);
    QCOMPARE(w.lblLocation->text(), QString("Paris")); // first channel shown, not tuned
    QCOMPARE(player()->source(), stream("wjzz"));

    // Activation keeps the band.
    openAndCloseDialog(w);
    QCOMPARE(listed(w), QStringList({"Channel 2", "Channel 5"}));

    w.optTuner->click();
    QCOMPARE(listed(w).size(), 5);
    QVERIFY(w.Preset[0]->isEnabled() && w.cmdSet->isEnabled() && !w.UpDown1->isEnabled());
    QCOMPARE(player()->source(), stream("wjzz"));
}

void TestPresets::steppingStopsAtTheEnds()
{
    Radio radio;
    frmMain &w = *radio.window;
    QSignalSpy plays(player(), &Player::playRequested);

    // Station stepper: the right arrow goes forward, the left arrow back.
    w.UpDown2->upButton()->click();
    QCOMPARE(w.DBList1->Text(), QString("No Stream"));
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17")); // no stream: caption stays
    w.UpDown2->upButton()->click();
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Pop One]"));
    w.UpDown2->downButton()->click();
    w.UpDown2->downButton()->click();
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Blue Note]"));
    // Past the first station: the first is tuned again, never the last.
    const int before = plays.count();
    w.UpDown2->downButton()->click();
    QCOMPARE(w.DBList1->Text(), QString("Blue Note"));
    QCOMPARE(player()->source(), stream("bluenote"));
    QCOMPARE(plays.count(), before + 1);

    clickEntry(w, "Zed Pop");
    w.UpDown2->upButton()->click();
    w.UpDown2->upButton()->click();
    QCOMPARE(player()->source(), stream("zed"));
    QCOMPARE(plays.count(), before + 3);

    // Channel stepper: the up arrow goes back towards the top, the down arrow forward.
    w.optTV->click();
    w.UpDown1->downButton()->click();
    w.UpDown1->downButton()->click();
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Channel 5]"));
    w.UpDown1->upButton()->click();
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17 [Channel 2]"));
    QCOMPARE(player()->source(), stream("ch2"));
}

void TestPresets::fewerThanTenPresetRows()
{
    Radio radio(iniText(), 7);
    frmMain &w = *radio.window;
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(w.Preset[i]->isEnabled(), i < 7);
        QCOMPARE(w.Preset[i]->toolTip(), i < 7 ? QString("P%1").arg(i) : QString("[None]"));
    }
    w.optTV->click();
    w.optTuner->click();
    QVERIFY(w.Preset[6]->isEnabled() && !w.Preset[7]->isEnabled());
    QTest::keyClick(&w, Qt::Key_8, Qt::AltModifier); // a button without a row does nothing
    QTest::qWait(300);
    QVERIFY(player()->source() != stream("p8"));
    w.Preset[6]->click();
    QCOMPARE(player()->source(), stream("p6"));
    QVERIFY(MsgBox::takeShown().isEmpty());
}

void TestPresets::storingWithoutAStationStoresNothing()
{
    Radio radio(iniText("Nothing Here"));
    TestAppDir &dir = radio.dir;
    frmMain &w = *radio.window;
    QCOMPARE(w.DBList1->ListCount(), 0);
    w.cmdSet->click();
    w.Preset[2]->click();
    QCOMPARE(MsgBox::takeShown().size(), 1);
    QCOMPARE(presetRow(dir, 2).value(0).toString(), QString("P2"));
    w.cmdSet->click(); // disarm
    QVERIFY(!Module1::PresetArmed);
    QCOMPARE(w.StatusBar1->text(), QString("No Category"));
    // Stepping an empty list does nothing.
    w.UpDown2->upButton()->click();
    w.UpDown2->downButton()->click();
    QCOMPARE(w.windowTitle(), QString("Halcyrix v3.0.17"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestPresets test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_presets.moc"
