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

namespace {

// Stands in for the main window's station list: the stations of one category, by name.
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

// A database with the given categories and stations ("Name/Category").
struct Db : TestAppDir
{
    Db(const QStringList &categories, const QStringList &stations)
    {
        Module1::DatabasePath = dbPath();
        for (const QString &c : categories)
            exec("insert into Category (Name) values ('" + c + "')");
        for (const QString &s : stations)
            addStation(s.section('/', 0, 0), s.section('/', 1));
    }
    QStringList column(const QString &sql) const
    {
        QStringList values;
        for (const QVariantList &row : query(sql))
            values << row.value(0).toString();
        return values;
    }
};

void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void choose(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text));
}

// Exactly one message was shown and it starts with prefix.
void expectMessage(const QString &prefix)
{
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(prefix), qPrintable(shown[0]));
}

int editMode(Data *control)
{
    return control->Recordset()->EditMode();
}

} // namespace

class TestMaintenance : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MsgBox::setRecording(true); }
    void init() { MsgBox::takeShown(); }
    void cleanup() { QCOMPARE(Screen::mousePointer(), Screen::Default); }

    void viewListRules();
    void stationEditorAddsSavesAndBrowsesTheMainList();
    void stationEditorLeavesAnUntouchedStationAsItWas();
    void stationEditorRefusesRowsAndKeepsThemPending();
    void stationEditorDeletesTheLastAndTheOnlyStation();
    void stationEditorOnAnEmptyListAndAtItsSecondOpening();
    void categoryEditorGuardsAndEdits();
    void viewSelectorFillsMovesAndStores();
    void editorsCountCharactersAndCutNothing();
    void editorsRefuseNamesDifferingInLetterCaseOnly();
    void categoryGuardTestsTheStoredName();
};

void TestMaintenance::viewListRules()
{
    for (const char *name : {"Rock", "Jazz", "Roc", "Ja"})
        QVERIFY2(Maintenance::isInViewCategories(name, "Rock, Jazz"), name);
    for (const char *name : {"rock", "Blues", "Rock, Jazz, Pop", ""})
        QVERIFY2(!Maintenance::isInViewCategories(name, "Rock, Jazz"), name);
    QVERIFY(Maintenance::isInViewCategories("Rock", "Classic Rock"));
}

void TestMaintenance::stationEditorAddsSavesAndBrowsesTheMainList()
{
    Db db({"Rock", "Jazz", "News"}, {"Charlie/Rock", "Alpha/Rock", "Bravo/Rock", "Delta/Jazz"});
    Data mainList;
    showMainList(mainList, "Rock");
    const RecordsetPtr shared = mainList.Recordset();
    frmStation f(&mainList);
    f.show();

    // The editor works on the main list's own record set, from its current station.
    QCOMPARE(f.datPrimaryRS->Recordset(), shared);
    QCOMPARE(f.txtFields[0]->text(), QString("Alpha"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 3"));
    QCOMPARE(f.DBCombo1->count(), 3);

    // The Tab key walks the boxes row by row, then the browse button and the button strip.
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.txtFields[0]->setFocus();
    QStringList order;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget *w = QApplication::focusWidget();
        order << (w->objectName().isEmpty() ? w->parentWidget() : w)->objectName(); // a combo's edit field
    }
    QCOMPARE(order.join(' '), QString("txtFields(3) txtFields(1) Combo1 txtFields(4) txtFields(5) DBCombo1 "
                                      "txtFields(2) Command1 cmdAdd cmdDelete cmdUpdate cmdClose"));

    // Browsing moves the main list too; a changed value is saved on the move.
    click(f.datPrimaryRS->nextButton());
    QCOMPARE(shared->Fields("SName").toString(), QString("Bravo"));
    typeInto(f.txtFields[4], "Boston");
    CommonDialog::presetNextFileName("/home/user/streams/bravo.ram");
    click(f.Command1);
    CommonDialog::presetNextFileName(QString()); // Cancel changes nothing
    click(f.Command1);
    QCOMPARE(CommonDialog::lastTitle(), QString(".RAM File "));
    click(f.datPrimaryRS->lastButton());
    click(f.datPrimaryRS->nextButton()); // the bar stays on the last station
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 3 of 3"));
    QCOMPARE(db.query("select Location, RAMFile from Station where SName = 'Bravo'"),
             QList<QVariantList>({{"Boston", "/home/user/streams/bravo.ram"}}));

    // A new station, within the limits, saved by Update and kept in view; any type text.
    click(f.cmdAdd);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    QVERIFY(f.txtFields[0]->text().isEmpty());
    QTest::keyClicks(f.txtFields[0], "Echo FM with a name far too long for the box");
    QCOMPARE(f.txtFields[0]->text().size(), 30);
    typeInto(f.txtFields[0], "Echo");
    QTest::keyClicks(f.txtFields[1], "101.99");
    f.Combo1->setEditText("DAB");
    choose(f.DBCombo1, "Rock");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 4 of 4"));
    QCOMPARE(shared->Fields("SName").toString(), QString("Echo"));
    QCOMPARE(db.query("select Frequency, Type, Category from Station where SName = 'Echo'"),
             QList<QVariantList>({{"101.9", "DAB", "Rock"}}));

    // A new station saved by moving away from it.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Foxtrot");
    choose(f.DBCombo1, "News");
    click(f.datPrimaryRS->firstButton());
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 5"));
    QCOMPARE(db.column("select Category from Station where SName = 'Foxtrot'"), QStringList("News"));

    // Closing hands the record set back, still updatable.
    click(f.cmdClose);
    QVERIFY(!f.isVisible() && !f.datPrimaryRS->Recordset() && !mainList.ReadOnly());
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

void TestMaintenance::stationEditorLeavesAnUntouchedStationAsItWas()
{
    // Opening, browsing and closing without typing stores nothing: every type shows as stored.
    Db db({"Television"}, {});
    db.addStation("Arte", "Television", "http://tv/arte.m3u8", "TV");
    db.addStation("Beta", "Television", QString(), "NET");
    db.addStation("Gamma", "Television", QString(), "DAB");
    db.addStation("Delta", "Television", QString(), QString());
    const auto before = db.query("select * from Station order by SName");
    Data mainList;
    showMainList(mainList, "Television");
    frmStation f(&mainList);
    for (int opening = 0; opening < 2; ++opening) {
        f.show();
        QCOMPARE(f.Combo1->currentText(), QString("TV"));
        click(f.datPrimaryRS->nextButton());
        QCOMPARE(f.Combo1->currentText(), QString("NET"));
        click(f.datPrimaryRS->lastButton());
        QCOMPARE(f.Combo1->currentText(), QString("DAB"));
        click(f.cmdClose);
        mainList.Recordset()->MoveFirst();
    }
    QCOMPARE(db.query("select * from Station order by SName"), before);
    QCOMPARE(MsgBox::takeShown(), QStringList());
}

void TestMaintenance::stationEditorRefusesRowsAndKeepsThemPending()
{
    Db db({"Rock"}, {"Alpha/Rock", "Bravo/Rock"});
    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();

    // Update without a category: the message, nothing saved, the new row still pending.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Charlie");
    click(f.cmdUpdate);
    QCOMPARE(MsgBox::takeShown(), QStringList("Must specify a Category."));
    QCOMPARE(db.column("select count(*) from Station"), QStringList("2"));

    // A name already taken: reported as a database error; the row stays pending as typed.
    typeInto(f.txtFields[0], "alpha");
    choose(f.DBCombo1, "Rock");
    click(f.cmdUpdate);
    expectMessage("Database error 3022: ");
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditAdd));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    typeInto(f.txtFields[0], "Charlie");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 3 of 3"));

    // The data control's own save on a move is refused in the editor's words as well.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Delta");
    click(f.datPrimaryRS->firstButton());
    QCOMPARE(MsgBox::takeShown(), QStringList("Must specify a Category."));
    QCOMPARE(f.txtFields[0]->text(), QString("Delta"));
    QCOMPARE(db.column("select count(*) from Station"), QStringList("3"));
    f.close();
    MsgBox::takeShown();
}

void TestMaintenance::stationEditorDeletesTheLastAndTheOnlyStation()
{
    Db db({"Rock", "Jazz"}, {"Alpha/Rock", "Bravo/Rock", "Solo/Jazz"});
    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();

    // The last station of a longer set: gone at once, an empty new station follows.
    click(f.datPrimaryRS->lastButton());
    click(f.cmdDelete);
    QCOMPARE(db.column("select SName from Station order by SName"), QStringList({"Alpha", "Solo"}));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("New Station"));
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditAdd));

    // Delete on that unsaved station drops what was typed; nothing is stored or deleted.
    QTest::keyClicks(f.txtFields[0], "Typed");
    choose(f.DBCombo1, "Rock");
    click(f.cmdDelete);
    QCOMPARE(db.column("select count(*) from Station"), QStringList("2"));
    QVERIFY(f.txtFields[0]->text().isEmpty());
    f.close();

    // The only station of the list.
    showMainList(mainList, "Jazz");
    f.show();
    click(f.cmdDelete);
    QCOMPARE(db.column("select SName from Station"), QStringList("Alpha"));
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditAdd));
    QCOMPARE(MsgBox::takeShown(), QStringList());
    f.close();
}

void TestMaintenance::stationEditorOnAnEmptyListAndAtItsSecondOpening()
{
    Db db({"Rock"}, {});
    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList); // one editor for the whole run
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditAdd));
    QTest::keyClicks(f.txtFields[0], "First");
    choose(f.DBCombo1, "Rock");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Station: 1 of 1"));
    click(f.cmdClose);

    // The main list rebuilds itself; the editor saves at its next opening too, and offers
    // the categories added meanwhile.
    db.exec("insert into Category (Name) values ('Jazz')");
    showMainList(mainList, "Rock");
    f.show();
    QCOMPARE(f.DBCombo1->count(), 2);
    typeInto(f.txtFields[4], "Here");
    click(f.cmdUpdate);
    QCOMPARE(db.column("select Location from Station"), QStringList("Here"));
    f.close();

    // Once a new row has been begun, an empty list shows no new row any more.
    showMainList(mainList, "Jazz");
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Stations"));
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditNone));
    QCOMPARE(MsgBox::takeShown(), QStringList());
    f.close();
}

void TestMaintenance::categoryEditorGuardsAndEdits()
{
    Db db({}, {"Alpha/Rock"});
    frmCategory f; // one editor for the whole run

    // An empty table: a new category ready for typing, saved and kept in view.
    f.show();
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Categories"));
    QTest::keyClicks(f.txtFields[0], "Rock");
    click(f.cmdUpdate);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("Category: 1 of 1"));
    click(f.cmdClose);

    // In name order, the first current. The guard: "Roc" is inside the view list, "pop" is not.
    db.exec("insert into Category (Name) values ('Roc'), ('pop'), ('Blues')");
    Module1::ViewCategories = "Rock, Jazz";
    f.show();
    QCOMPARE(f.txtFields[0]->text() + " " + f.datPrimaryRS->Caption(), QString("Blues Category: 1 of 4"));
    click(f.datPrimaryRS->nextButton());
    click(f.datPrimaryRS->nextButton());
    QCOMPARE(f.txtFields[0]->text(), QString("Roc"));
    click(f.cmdDelete);
    QCOMPARE(MsgBox::takeShown(), QStringList("Can't delete this category because it is currently in use."));
    QCOMPARE(f.txtFields[0]->text(), QString("Roc"));
    click(f.datPrimaryRS->previousButton());
    click(f.cmdDelete);
    QCOMPARE(f.txtFields[0]->text(), QString("Roc"));

    // Refused names, on Update and on a move, stay as typed; Refresh drops them.
    typeInto(f.txtFields[0], "BLUES");
    click(f.cmdUpdate);
    expectMessage("Data error event hit err:");
    click(f.datPrimaryRS->nextButton());
    expectMessage("Data error event hit err:");
    QCOMPARE(f.txtFields[0]->text(), QString("BLUES"));
    click(f.cmdRefresh);
    QCOMPARE(f.txtFields[0]->text(), QString("Blues"));
    // Delete on a new unsaved category drops it.
    click(f.cmdAdd);
    QTest::keyClicks(f.txtFields[0], "Jazz");
    click(f.cmdDelete);
    QCOMPARE(f.txtFields[0]->text(), QString("Blues"));

    // Renaming leaves the stations and the view list alone; renamed, it is no longer in use,
    // and deleting the last category in name order moves to the new last one.
    click(f.datPrimaryRS->lastButton());
    typeInto(f.txtFields[0], "Stone");
    click(f.cmdUpdate);
    QCOMPARE(db.column("select Category from Station"), QStringList("Rock"));
    QCOMPARE(Module1::ViewCategories, QString("Rock, Jazz"));
    click(f.cmdDelete);
    QCOMPARE(f.txtFields[0]->text() + " " + f.datPrimaryRS->Caption(), QString("Roc Category: 2 of 2"));

    // After the only category the empty table shows, without a new row this time.
    Module1::ViewCategories.clear();
    click(f.cmdDelete);
    click(f.cmdDelete);
    QCOMPARE(f.datPrimaryRS->Caption(), QString("No Categories"));
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditNone));
    click(f.cmdDelete); // nothing left: nothing happens
    QCOMPARE(db.column("select count(*) from Category"), QStringList("0"));
    QCOMPARE(MsgBox::takeShown(), QStringList());
    f.close();
}

void TestMaintenance::viewSelectorFillsMovesAndStores()
{
    Db db({"Rock", "pop", "Jazz", "Blues", "Classic Rock", "Talk"}, {});
    // pop differs from a chosen name in letter case; Rock is inside Classic Rock; Gone is no category.
    Module1::ViewCategories = "Classic Rock, Jazz, Pop, Gone";
    frmViewCategory f;
    f.show();
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"Blues", "pop", "Talk"}));
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Classic Rock", "Jazz", "Rock"}));

    // Three highlighted entries move together; none is skipped and none comes out empty.
    for (int i = 0; i < 3; ++i)
        f.List2->item(i)->setSelected(true);
    click(f.Command4);
    QCOMPARE(frmViewCategory::entries(f.List1), QStringList({"Blues", "Classic Rock", "Jazz", "pop", "Rock", "Talk"}));
    QVERIFY(frmViewCategory::entries(f.List2).isEmpty());
    click(f.Command2); // nothing highlighted: nothing moves
    QCOMPARE(f.List1->count(), 6);

    // A double click moves the entry clicked.
    for (int i : {4, 2}) {
        const QPoint at = f.List1->visualItemRect(f.List1->item(i)).center();
        QTest::mouseClick(f.List1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.List1->viewport(), Qt::LeftButton, {}, at);
    }
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Jazz", "Rock"}));
    // Enter moves the current entry there, the keypad's Enter moves it back.
    QVERIFY(QTest::qWaitForWindowActive(&f));
    f.List1->setFocus();
    f.List1->setCurrentRow(3); // Talk
    QTest::keyClick(f.List1, Qt::Key_Return);
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Jazz", "Rock", "Talk"}));
    f.List2->setFocus();
    f.List2->setCurrentRow(2);
    QTest::keyClick(f.List2, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(frmViewCategory::entries(f.List2), QStringList({"Jazz", "Rock"}));
    QVERIFY(f.isVisible()); // Enter closed nothing
    click(f.Command6);
    QCOMPARE(Module1::ViewCategories, QString("Jazz, Rock"));

    // ">>" then Cancel keeps the list; "<<" then OK stores the empty text.
    frmViewCategory g;
    g.show();
    click(g.Command1);
    QVERIFY(frmViewCategory::entries(g.List1).isEmpty());
    QCOMPARE(g.List2->count(), 6);
    click(g.Command5);
    QCOMPARE(Module1::ViewCategories, QString("Jazz, Rock"));
    g.show();
    click(g.Command3);
    QCOMPARE(g.List1->count(), 6);
    click(g.Command6);
    QCOMPARE(Module1::ViewCategories, QString());
}

void TestMaintenance::editorsCountCharactersAndCutNothing()
{
    Db db({"Rock"}, {"Alpha/Rock"});
    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();

    // Sixteen emoji are 16 of the name's 30 characters: shown and saved whole.
    const QString emoji = QString("😀").repeated(16);
    click(f.cmdAdd);
    f.txtFields[0]->insert(emoji);
    QCOMPARE(f.txtFields[0]->text(), emoji);
    choose(f.DBCombo1, "Rock");
    click(f.cmdUpdate);
    QCOMPARE(db.column("select SName from Station where Category = 'Rock' order by rowid").last(), emoji);
    QCOMPARE(MsgBox::takeShown(), QStringList());

    // A browsed path longer than the field is refused by name and limit, not cut.
    const QString before = f.txtFields[5]->text();
    const QString path = "/home/user/" + QString("very-long-folder-name/").repeated(5) + "station.ram";
    QVERIFY(path.size() > 100);
    CommonDialog::presetNextFileName(path);
    click(f.Command1);
    const QStringList shown = MsgBox::takeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].contains(".RAM File") && shown[0].contains("100") && shown[0].contains(path),
             qPrintable(shown[0]));
    QCOMPARE(f.txtFields[5]->text(), before);

    // A long value set into a box is kept whole; the database refuses it naming field and limit.
    f.txtFields[5]->setText(path);
    QCOMPARE(f.txtFields[5]->text(), path);
    click(f.cmdUpdate);
    expectMessage("Database error 3163: The value for RAMFile is too long: at most 100 characters");
    f.close();
    MsgBox::takeShown();
}

void TestMaintenance::editorsRefuseNamesDifferingInLetterCaseOnly()
{
    Db db({"Rock", "Électro"}, {"Öko FM/Rock"});
    Data mainList;
    showMainList(mainList, "Rock");
    frmStation f(&mainList);
    f.show();
    click(f.cmdAdd);
    f.txtFields[0]->insert("öko fm");
    choose(f.DBCombo1, "Rock");
    click(f.cmdUpdate);
    expectMessage("Database error 3022: ");
    QCOMPARE(editMode(f.datPrimaryRS), int(Recordset::EditAdd));
    f.close();
    MsgBox::takeShown();

    frmCategory c;
    c.show();
    click(c.cmdAdd);
    c.txtFields[0]->insert("ÉLECTRO");
    click(c.cmdUpdate);
    expectMessage("Data error event hit err:The name \"ÉLECTRO\" is already used");
    c.close();
    MsgBox::takeShown();
    QCOMPARE(db.column("select count(*) from Category"), QStringList("2"));
}

void TestMaintenance::categoryGuardTestsTheStoredName()
{
    // Renaming the viewed category to a name that is taken is refused; Delete then still
    // guards the category by the name it has.
    Db db({"Jazz", "Pop"}, {});
    Module1::ViewCategories = "Jazz";
    frmCategory f;
    f.show();
    QCOMPARE(f.txtFields[0]->text(), QString("Jazz"));
    typeInto(f.txtFields[0], "Pop");
    click(f.cmdUpdate);
    expectMessage("Data error event hit err:");
    click(f.cmdDelete);
    QCOMPARE(MsgBox::takeShown(), QStringList("Can't delete this category because it is currently in use."));
    QCOMPARE(db.column("select Name from Category order by Name"), QStringList({"Jazz", "Pop"}));
    Module1::ViewCategories.clear();
    f.close();
    MsgBox::takeShown();
}

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TestMaintenance test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_maintenance.moc"
