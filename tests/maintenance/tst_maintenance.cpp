#include "TestAppDir.h"
#include "app/Application.h"
#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Screen.h"
#include "data/BoundControls.h"
#include "data/Criteria.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "maintenance/MaintenanceRules.h"
#include "maintenance/frmCategory.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"

#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

// Stands in for the main window's station list: a data control over the Station table whose
// record set is replaced by the stations of one category, sorted by name, the first current.
void showMainList(Data &data1, const QString &category)
{
    data1.setDatabaseName(Module1::DatabasePath);
    data1.setRecordSource("Station");
    data1.Refresh();
    RecordsetPtr table = data1.Recordset();
    table->setSort("SName");
    table->setFilter("Category = '" + criteriaQuote(category) + "'");
    data1.setRecordset(table->OpenRecordset());
}

QStringList column(const TestAppDir &dir, const QString &sql)
{
    QStringList values;
    for (const QVariantList &row : dir.query(sql))
        values << (row.value(0).isValid() ? row.value(0).toString() : QStringLiteral("<null>"));
    return values;
}

void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

void typeInto(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void chooseCategory(frmStation &f, const QString &name)
{
    f.DBCombo1->setCurrentIndex(f.DBCombo1->findText(name));
    QCOMPARE(f.DBCombo1->Text(), name);
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MsgBox::setRecording(true); }
    void init()
    {
        MsgBox::takeShown();
        Module1::ViewCategories.clear();
    }

    void captionsAndTheInUseRule();

    void stationEditorAddsSavesAndBrowsesTheMainList();
    void stationEditorRefusesRowsAndKeepsThemPending();
    void stationEditorDeletesTheLastAndTheOnlyStation();
    void stationEditorOnAnEmptyListAndAtItsSecondOpening();
    void stationEditorBrowsesForTheMetafile();

    void categoryGuardFollowsTheViewList();
    void categoryEditorDeletesRenamesAndReportsErrors();

    void viewSelectorFillsAndStoresTheChoice();
    void viewSelectorMovesEntries();
};

void TestMaintenance::captionsAndTheInUseRule()
{
    QCOMPARE(Maintenance::positionCaption("Station", 0, 1), QString("Station: 1 of 1"));
    QCOMPARE(Maintenance::positionCaption("Category", 11, 120), QString("Category: 12 of 120"));

    const QString view = "Rock, Jazz";
    for (const char *name : {"Rock", "Jazz", "Roc", "Ja"})
        QVERIFY2(Maintenance::isInViewCategories(name, view), name);
    for (const char *name : {"rock", "Blues", "Rock, Jazz, Pop", ""})
        QVERIFY2(!Maintenance::isInViewCategories(name, view), name);
    QVERIFY(Maintenance::isInViewCategories("Rock", "Classic Rock"));
    QVERIFY(!Maintenance::isInViewCategories("Rock", ""));

    QCOMPARE(Maintenance::joinViewCategories({"Jazz", "Rock"}), QString("Jazz, Rock"));
    QCOMPARE(Maintenance::joinViewCategories({}), QString());
    QCOMPARE(Maintenance::databaseErrorMessage(3022, "Taken."), QString("Database error 3022: Taken."));
}

void TestMaintenance::stationEditorAddsSavesAndBrowsesTheMainList()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock'), ('Jazz'), ('News')");
    dir.addStation("Charlie", "Rock");
    dir.addStation("Alpha", "Rock");
    dir.addStation("Bravo", "Rock");
    dir.addStation("Delta", "Jazz");

    Data mainList;
    showMainList(mainList, "Rock");
    const RecordsetPtr shared = mainList.Recordset();
    frmStation f(&mainList);
    f.show();

    // The editor works on the main list's own record set and starts on its current station.
    QCOMPARE(f.datPrimaryRS->Recordset(), shared);
    QCOMPARE(f.txtFields[0]->text(), QString("Alpha"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 3"));
    QCOMPARE(f.DBCombo1->count(), 3);
    QCOMPARE(f.Combo1->itemText(0) + f.Combo1->itemText(1) + f.Combo1->itemText(2) + f.Combo1->itemText(3),
             QString("FMAMNETTV"));

    // The Tab key walks the boxes row by row, then the browse button and the button strip.
    f.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.txtFields[0]->setFocus();
    QStringList order;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *w = QApplication::focusWidget();
        while (w && w->objectName().isEmpty())
            w = w->parentWidget();   // the edit field inside a combo box
        order << (w ? w->objectName() : QString());
    }
    QCOMPARE(order, QStringList({"txtFields(3)", "txtFields(1)", "Combo1", "txtFields(4)", "txtFields(5)",
                                 "DBCombo1", "txtFields(2)", "Command1", "cmdAdd", "cmdDelete", "cmdUpdate",
                                 "cmdClose"}));

    // Browsing moves the main list too; a changed value is saved on the move.
    click(f.datPrimaryRS->nextButton());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 2 of 3"));
    QCOMPARE(shared->Fields("SName").toString(), QString("Bravo"));
    typeInto(f.txtFields[4], "Boston");
    click(f.datPrimaryRS->lastButton());
    QCOMPARE(f.txtFields[0]->text(), QString("Charlie"));
    QCOMPARE(column(dir, "select Location from Station where SName = 'Bravo'"), QStringList("Boston"));
    click(f.datPrimaryRS->nextButton());   // the bar stays on the last station
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 3 of 3"));

    // A new station: empty boxes, saved by Update and kept in view with its position.
    click(f.cmdAdd);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    QVERIFY(f.AddingRecord);
    QVERIFY(f.txtFields[0]->text().isEmpty());
    QTest::keyClicks(f.txtFields[0], "Echo FM with a name far too long for the box");
    QCOMPARE(f.txtFields[0]->text().size(), 30);
    typeInto(f.txtFields[0], "Echo");
    QTest::keyClicks(f.txtFields[1], "101.99");
    QCOMPARE(f.txtFields[1]->text(), QString("101.9"));
    f.Combo1->setEditText("DAB");
    chooseCategory(f, "Rock");
    click(f.cmdUpdate);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 4 of 4"));
    QCOMPARE(shared->Fields("SName").toString(), QString("Echo"));
    QCOMPARE(dir.query("select Frequency, Type, Category from Station where SName = 'Echo'"),
             QList<QVariantList>({{"101.9", "DAB", "Rock"}}));

    // A new station saved by moving away from it.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Foxtrot");
    chooseCategory(f, "News");
    click(f.datPrimaryRS->firstButton());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 5"));
    QCOMPARE(column(dir, "select Category from Station where SName = 'Foxtrot'"), QStringList("News"));

    // Closing hands the record set back, updatable, with the pointer at default.
    click(f.cmdClose);
    QVERIFY(!f.isVisible());
    QCOMPARE(f.datPrimaryRS->Recordset(), RecordsetPtr());
    QVERIFY(!mainList.ReadOnly());
    QCOMPARE(Screen::mousePointer(), Screen::Default);
}

void TestMaintenance::stationEditorRefusesRowsAndKeepsThemPending()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock')");
    dir.addStation("Alpha", "Rock");
    dir.addStation("Bravo", "Rock");

    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();

    // Update without a category: the message, nothing saved, the new row still pending.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Charlie");
    click(f.cmdUpdate);
    QCOMPARE(MsgBox::takeShown(), QStringList("Must specify a Category."));
    QCOMPARE(dir.query("select count(*) from Station").value(0).value(0).toInt(), 2);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));

    // A name already taken: the database's refusal is reported, the typed row stays pending
    // and can be corrected and saved.
    typeInto(f.txtFields[0], "alpha");
    chooseCategory(f, "Rock");
    click(f.cmdUpdate);
    QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith("Database error 3022: "), qPrintable(shown[0]));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditAdd));
    QCOMPARE(f.txtFields[0]->text(), QString("alpha"));
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    typeInto(f.txtFields[0], "Charlie");
    click(f.cmdUpdate);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 3 of 3"));

    // The data control's own save on a move: a taken name and an empty category are refused
    // in the editor's words, and the row stays as typed.
    click(f.datPrimaryRS->firstButton());
    typeInto(f.txtFields[0], "Bravo");
    click(f.datPrimaryRS->nextButton());
    shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith("Database error 3022: "), qPrintable(shown[0]));
    QCOMPARE(f.txtFields[0]->text(), QString("Bravo"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 3"));
    typeInto(f.txtFields[0], "Alpha");
    f.DBCombo1->setEditText(QString());
    click(f.datPrimaryRS->nextButton());
    QCOMPARE(MsgBox::takeShown(), QStringList("Must specify a Category."));
    QCOMPARE(column(dir, "select Category from Station where SName = 'Alpha'"), QStringList("Rock"));
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    f.close();
}

void TestMaintenance::stationEditorDeletesTheLastAndTheOnlyStation()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock'), ('Jazz')");
    dir.addStation("Alpha", "Rock");
    dir.addStation("Bravo", "Rock");
    dir.addStation("Solo", "Jazz");

    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();

    // Deleting the last station of a longer set: gone at once, an empty new station follows.
    click(f.datPrimaryRS->lastButton());
    click(f.cmdDelete);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(column(dir, "select SName from Station order by SName"), QStringList({"Alpha", "Solo"}));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditAdd));
    QVERIFY(f.txtFields[0]->text().isEmpty());

    // Delete on that unsaved station drops what was typed; nothing is stored or deleted.
    QTest::keyClicks(f.txtFields[0], "Typed");
    chooseCategory(f, "Rock");
    click(f.cmdDelete);
    QCOMPARE(column(dir, "select SName from Station order by SName"), QStringList({"Alpha", "Solo"}));
    QVERIFY(f.txtFields[0]->text().isEmpty());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    f.close();

    // Deleting the only station of the list.
    showMainList(mainList, "Jazz");
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 1"));
    click(f.cmdDelete);
    QCOMPARE(column(dir, "select SName from Station"), QStringList("Alpha"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditAdd));
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    f.close();
}

void TestMaintenance::stationEditorOnAnEmptyListAndAtItsSecondOpening()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock')");

    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);   // one editor for the whole run
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditAdd));
    QTest::keyClicks(f.txtFields[0], "First");
    chooseCategory(f, "Rock");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 1"));
    click(f.cmdClose);

    // The main list rebuilds itself; the editor saves at its next opening too.
    showMainList(mainList, "Rock");
    f.show();
    QCOMPARE(f.datPrimaryRS->Recordset(), mainList.Recordset());
    QCOMPARE(f.txtFields[0]->text(), QString("First"));
    typeInto(f.txtFields[4], "Here");
    click(f.cmdUpdate);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(column(dir, "select Location from Station"), QStringList("Here"));
    // A category added meanwhile is offered at the next opening.
    dir.exec("insert into Category (Name) values ('Jazz')");
    f.close();
    showMainList(mainList, "Jazz");
    f.show();

    // Once a new row has been begun, an empty list shows no new row any more.
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditNone));
    QCOMPARE(f.DBCombo1->count(), 2);
    f.close();
}

void TestMaintenance::stationEditorBrowsesForTheMetafile()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock')");
    dir.addStation("Alpha", "Rock", "http://old/a.ram");

    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();
    CommonDialog::presetNextFileName("/home/user/streams/alpha.ram");
    click(f.Command1);
    QCOMPARE(CommonDialog::lastTitle(), QString(".RAM File "));
    QCOMPARE(CommonDialog::lastFilter(), QString("RAM Files (*.ram)|*.ram|All Files (*.*)|*.*|"));
    QCOMPARE(f.txtFields[5]->text(), QString("/home/user/streams/alpha.ram"));
    CommonDialog::presetNextFileName(QString());   // Cancel
    click(f.Command1);
    QCOMPARE(f.txtFields[5]->text(), QString("/home/user/streams/alpha.ram"));
    QCOMPARE(MsgBox::takeShown(), QStringList());
    click(f.cmdClose);   // closing saves the changed row
    QCOMPARE(column(dir, "select RAMFile from Station"), QStringList("/home/user/streams/alpha.ram"));
}

void TestMaintenance::categoryGuardFollowsTheViewList()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock'), ('Jazz'), ('Roc'), ('Ja'), ('Blues')");
    dir.addStation("Alpha", "Blues");

    frmCategory f;
    auto deleteNamed = [&](const QString &name) {
        const RecordsetPtr rs = f.datPrimaryRS->Recordset();
        rs->FindFirst("Name = '" + name + "'");
        QVERIFY(!rs->NoMatch());
        QCOMPARE(f.txtFields[0]->text(), name);
        click(f.cmdDelete);
    };
    const QString inUse = "Can't delete this category because it is currently in use.";

    Module1::ViewCategories = "Rock, Jazz";
    f.show();
    for (const char *name : {"Rock", "Jazz", "Roc", "Ja"}) {
        deleteNamed(name);
        QCOMPARE(MsgBox::takeShown(), QStringList(inUse));
        QCOMPARE(f.txtFields[0]->text(), QString(name));
    }
    deleteNamed("Blues");   // stations still naming it do not count
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(column(dir, "select Category from Station"), QStringList("Blues"));
    click(f.cmdClose);

    // Letter case counts; a longer chosen name holds a shorter one.
    dir.exec("update Category set Name = 'rock' where Name = 'Rock'");
    Module1::ViewCategories = "Classic Rock";
    f.show();
    deleteNamed("Roc");
    QCOMPARE(MsgBox::takeShown(), QStringList(inUse));
    deleteNamed("rock");
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(column(dir, "select Name from Category order by Name"), QStringList({"Ja", "Jazz", "Roc"}));
    f.close();
}

void TestMaintenance::categoryEditorDeletesRenamesAndReportsErrors()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    frmCategory f;   // one editor for the whole run

    // An empty table: a new category ready for typing, saved and kept in view.
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Categories"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditAdd));
    QTest::keyClicks(f.txtFields[0], "Rock");
    QTest::keyClicks(f.txtFields[1], "Loud");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 1 of 1"));
    click(f.cmdClose);

    dir.exec("insert into Category (Name) values ('Pop'), ('Blues')");
    dir.addStation("Alpha", "Rock");
    Module1::ViewCategories = "Rock";
    f.show();
    // Name order, the first current.
    QCOMPARE(f.txtFields[0]->text(), QString("Blues"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 1 of 3"));

    // A duplicate name is refused in the editor's words and stays pending; Refresh drops it.
    click(f.cmdAdd);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Category"));
    QTest::keyClicks(f.txtFields[0], "POP");
    click(f.cmdUpdate);
    QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith("Data error event hit err:"), qPrintable(shown[0]));
    QCOMPARE(f.txtFields[0]->text(), QString("POP"));
    // Delete on the unsaved category drops it and shows the category current before it.
    click(f.cmdDelete);
    QCOMPARE(f.txtFields[0]->text(), QString("Blues"));
    QCOMPARE(column(dir, "select count(*) from Category"), QStringList("3"));

    // A save on a move that the database refuses: reported, the row stays as typed.
    click(f.datPrimaryRS->nextButton());
    typeInto(f.txtFields[0], "blues");
    click(f.datPrimaryRS->nextButton());
    shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith("Data error event hit err:"), qPrintable(shown[0]));
    QCOMPARE(f.txtFields[0]->text(), QString("blues"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 2 of 3"));
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    click(f.cmdRefresh);   // drops the change, back to the first category
    QCOMPARE(f.txtFields[0]->text(), QString("Blues"));

    // Renaming: the stations and the view list keep the old name, so it is deletable now.
    click(f.datPrimaryRS->lastButton());
    QCOMPARE(f.txtFields[0]->text(), QString("Rock"));
    typeInto(f.txtFields[0], "Stone");
    click(f.cmdUpdate);
    QCOMPARE(column(dir, "select Category from Station"), QStringList("Rock"));
    QCOMPARE(Module1::ViewCategories, QString("Rock"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 3 of 3"));

    // Deleting the last category in name order moves to the new last one.
    click(f.cmdDelete);
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(f.txtFields[0]->text(), QString("Pop"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 2 of 2"));
    click(f.cmdDelete);
    click(f.cmdDelete);
    // After the only one the empty table shows, with no new row (one was begun before).
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Categories"));
    QCOMPARE(f.datPrimaryRS->Recordset()->EditMode(), int(Recordset::EditNone));
    click(f.cmdDelete);   // nothing left to delete: nothing happens
    QCOMPARE(MsgBox::takeShown(), QStringList());
    QCOMPARE(column(dir, "select count(*) from Category"), QStringList("0"));
    QCOMPARE(Screen::mousePointer(), Screen::Default);
    f.close();
}

void TestMaintenance::viewSelectorFillsAndStoresTheChoice()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('Rock'), ('pop'), ('Jazz'), ('Blues'), ('Television')");

    // pop differs from a chosen name in letter case; Gone names no category any more.
    Module1::ViewCategories = "Rock, Jazz, Pop, Gone";
    {
        frmViewCategory f;
        f.show();
        QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"Blues", "pop", "Television"}));
        QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Jazz", "Rock"}));
        click(f.Command6);
        QVERIFY(!f.isVisible());
        QCOMPARE(Module1::ViewCategories, QString("Jazz, Rock"));
    }
    {
        frmViewCategory f;
        f.show();
        click(f.Command1);
        click(f.Command5);   // Cancel keeps the list whatever was moved
        QCOMPARE(Module1::ViewCategories, QString("Jazz, Rock"));
    }
    {
        frmViewCategory f;
        f.show();
        click(f.Command3);
        click(f.Command6);
        QCOMPARE(Module1::ViewCategories, QString());
    }
    // A shorter name inside a chosen one opens as chosen and is stored as such by OK.
    dir.exec("insert into Category (Name) values ('Classic Rock')");
    Module1::ViewCategories = "Classic Rock";
    frmViewCategory f;
    f.show();
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Classic Rock", "Rock"}));
    click(f.Command6);
    QCOMPARE(Module1::ViewCategories, QString("Classic Rock, Rock"));
}

void TestMaintenance::viewSelectorMovesEntries()
{
    TestAppDir dir;
    Module1::DatabasePath = dir.dbPath();
    dir.exec("insert into Category (Name) values ('E'), ('D'), ('C'), ('B'), ('A')");
    Module1::ViewCategories = "A";
    frmViewCategory f;
    f.show();
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"B", "C", "D", "E"}));

    // Three neighbouring highlighted entries move together, none skipped, none empty.
    f.List1->item(0)->setSelected(true);
    f.List1->item(1)->setSelected(true);
    f.List1->item(2)->setSelected(true);
    click(f.Command2);
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"E"}));
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"A", "B", "C", "D"}));
    click(f.Command4);   // nothing highlighted in Selected: nothing moves
    QCOMPARE(f.List2->count(), 4);

    // A double click moves the entry clicked.
    const QRect itemRect = f.List2->visualItemRect(f.List2->item(2));
    QTest::mouseClick(f.List2->viewport(), Qt::LeftButton, {}, itemRect.center());
    QTest::mouseDClick(f.List2->viewport(), Qt::LeftButton, {}, itemRect.center());
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"C", "E"}));
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"A", "B", "D"}));

    click(f.Command1);
    QVERIFY(frmViewCategory::entries(f.List1).isEmpty());
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"A", "B", "C", "D", "E"}));
    click(f.Command3);
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"A", "B", "C", "D", "E"}));
    QVERIFY(frmViewCategory::entries(f.List2).isEmpty());
    f.List1->item(4)->setSelected(true);
    f.List1->item(0)->setSelected(true);
    click(f.Command2);
    click(f.Command6);
    QCOMPARE(Module1::ViewCategories, QString("A, E"));
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMaintenance test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_maintenance.moc"
