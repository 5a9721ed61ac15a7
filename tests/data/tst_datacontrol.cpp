#include "TestAppDir.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/Criteria.h"
#include "data/DataControl.h"

#include <QDialog>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A window holding a data control over the station table and a text box for each of the
// fields SName, Location and Category, as the editors lay them out.
struct StationForm
{
    QDialog window;
    Data *data;
    BoundTextBox *name;
    BoundTextBox *location;
    BoundComboBox *category;
    QList<int> actions;
    int repositions = 0;
    QList<int> errors;
    int response = 1; // what the Error handler answers

    explicit StationForm(const QString &dbPath, const QString &source = "Station")
    {
        auto *layout = new QVBoxLayout(&window);
        name = new BoundTextBox(&window);
        location = new BoundTextBox(&window);
        category = new BoundComboBox(&window);
        category->addItems({"Jazz", "News"});
        data = new Data(&window);
        for (QWidget *w : std::initializer_list<QWidget *>{name, location, category, data})
            layout->addWidget(w);
        QObject::connect(data, &Data::Validate, [this](int action, int &) { actions << action; });
        QObject::connect(data, &Data::Reposition, [this] { ++repositions; });
        QObject::connect(data, &Data::Error, [this](int err, int &resp) {
            errors << err;
            resp = response;
        });
        data->setDatabaseName(dbPath);
        data->setRecordSource(source);
        name->bind(data, "SName");
        location->bind(data, "Location");
        category->bind(data, "Category");
    }
};

} // namespace

class TestDataControl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { MsgBox::setRecording(true); }
    void init() { MsgBox::takeShown(); }
    void opensWhenShownAndNavigatesWithinTheSet();
    void missingDatabaseRaisesError();
    void movingSavesChangedValues();
    void refusedSaveKeepsTheRowPending();
    void updateRecordAndBookmarkShowTheNewRow();
    void sharedRecordsetFollowsBothControls();
    void closingTheWindowSaves();
    void listsFillFromTheRowSource();
};

void TestDataControl::opensWhenShownAndNavigatesWithinTheSet()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz", "", "FM", "", "Here");
    dir.addStation("B", "Jazz");
    StationForm f(dir.dbPath());
    QVERIFY(f.data->Recordset()); // asking for the set opens it
    f.window.show();
    QCOMPARE(f.name->text(), QString("A"));
    QCOMPARE(f.location->text(), QString("Here"));
    f.data->setCaption("Station: 1 of 2");
    QCOMPARE(f.data->findChild<QLabel *>("Caption")->text(), QString("Station: 1 of 2"));

    f.actions.clear();
    f.repositions = 0;
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QCOMPARE(f.name->text(), QString("B"));
    QVERIFY(f.location->text().isEmpty()); // a null shows as empty
    // Next on the last row and previous on the first stay inside the set.
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QVERIFY(!f.data->Recordset()->EOF_());
    QCOMPARE(f.name->text(), QString("B"));
    QTest::mouseClick(f.data->firstButton(), Qt::LeftButton);
    QTest::mouseClick(f.data->previousButton(), Qt::LeftButton);
    QVERIFY(!f.data->Recordset()->BOF());
    QTest::mouseClick(f.data->lastButton(), Qt::LeftButton);
    QCOMPARE(f.actions, QList<int>({3, 3, 1, 2, 4}));
    QCOMPARE(f.repositions, 5);
    QVERIFY(f.errors.isEmpty());

    // Code moving the set raises the control's events too, and may reach EOF.
    f.data->Recordset()->MoveNext();
    QCOMPARE(f.actions.last(), 3);
    QVERIFY(f.name->text().isEmpty());
    f.data->Recordset()->FindFirst("SName = 'a'");
    QCOMPARE(f.actions.last(), 8);
    QCOMPARE(f.name->text(), QString("A"));
}

void TestDataControl::missingDatabaseRaisesError()
{
    TestAppDir dir;
    StationForm f(dir.filePath("Gone.db"));
    f.window.show();
    QCOMPARE(f.errors, QList<int>({DataErr::FileNotFound}));
    QCOMPARE(f.data->Recordset(), RecordsetPtr());
    QCOMPARE(MsgBox::takeShown().size(), 1); // the control's own report
    QVERIFY(f.data->lastErrorText().contains("Gone.db"));
    QCOMPARE(f.errors.size(), 1); // tried once, not at every request
    // The bar does nothing without a set, and a program refresh reports to the caller.
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, f.data->Refresh());
}

void TestDataControl::movingSavesChangedValues()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz", "", "FM", "", "Old place");
    dir.addStation("B", "Jazz");
    StationForm f(dir.dbPath());
    f.window.show();

    f.name->setText("A2");
    f.location->clear(); // an emptied box stores a null
    QVERIFY(f.data->boundDataChanged());
    int seenSave = -1;
    auto c = QObject::connect(f.data, &Data::Validate, [&](int, int &save) { seenSave = save; });
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QObject::disconnect(c);
    QCOMPARE(seenSave, 1);
    QCOMPARE(f.name->text(), QString("B"));
    QCOMPARE(dir.query("select SName, Location from Station order by rowid").at(0),
             QVariantList({QVariant("A2"), QVariant()}));
    QVERIFY(!f.data->boundDataChanged());

    // A Validate handler clearing Save drops the change.
    f.name->setText("B2");
    c = QObject::connect(f.data, &Data::Validate, [](int, int &save) { save = 0; });
    QTest::mouseClick(f.data->previousButton(), Qt::LeftButton);
    QObject::disconnect(c);
    QCOMPARE(dir.query("select count(*) from Station where SName = 'B2'").at(0).at(0).toInt(), 0);
}

void TestDataControl::refusedSaveKeepsTheRowPending()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    dir.addStation("B", "Jazz");
    StationForm f(dir.dbPath());
    f.window.show();
    f.response = 0;
    auto rs = f.data->Recordset();

    f.repositions = 0;
    rs->AddNew();
    QCOMPARE(f.actions.last(), 5);
    QCOMPARE(f.repositions, 1); // Reposition also after a new row begins
    QVERIFY(f.name->text().isEmpty());
    f.name->setText("Fresh");
    f.category->setCurrentText("");
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QCOMPARE(f.errors, QList<int>({DataErr::RequiredField}));
    QVERIFY(MsgBox::takeShown().isEmpty()); // the handler answered 0
    QCOMPARE(rs->EditMode(), int(Recordset::EditAdd));
    QCOMPARE(f.name->text(), QString("Fresh"));
    QCOMPARE(rs->Fields("SName").toString(), QString("Fresh"));

    // A duplicate name is refused the same way; the message appears when not suppressed.
    f.response = 1;
    f.category->setCurrentText("News");
    f.name->setText("a");
    QTest::mouseClick(f.data->nextButton(), Qt::LeftButton);
    QCOMPARE(f.errors.last(), DataErr::DuplicateName);
    QCOMPARE(MsgBox::takeShown().size(), 1);

    f.name->setText("Fresh");
    QTest::mouseClick(f.data->lastButton(), Qt::LeftButton);
    QCOMPARE(f.errors.size(), 2);
    QCOMPARE(rs->RecordCount(), 3);
    QCOMPARE(f.name->text(), QString("Fresh")); // the stored row is the last one
    QCOMPARE(dir.query("select Category from Station where SName = 'Fresh'").at(0).at(0).toString(), QString("News"));
}

void TestDataControl::updateRecordAndBookmarkShowTheNewRow()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    StationForm f(dir.dbPath());
    f.window.show();
    auto rs = f.data->Recordset();
    rs->AddNew();
    f.name->setText("Added");
    f.category->setCurrentText("News");
    f.actions.clear();
    f.data->UpdateRecord();
    QVERIFY(f.actions.isEmpty());           // UpdateRecord raises no Validate
    QCOMPARE(f.name->text(), QString("A")); // the row current before AddNew is shown again
    rs->setBookmark(rs->LastModified());
    QCOMPARE(f.actions, QList<int>({9}));
    QCOMPARE(f.name->text(), QString("Added"));
    QCOMPARE(rs->AbsolutePosition() + 1, rs->RecordCount());

    // UpdateRecord writes every bound box into the current row.
    f.location->setText("There");
    f.data->UpdateRecord();
    QCOMPARE(dir.query("select Location from Station where SName = 'Added'").at(0).at(0).toString(), QString("There"));

    // Refused by the engine, UpdateRecord raises to its caller.
    f.category->setCurrentText("");
    QVERIFY_THROWS_EXCEPTION(RuntimeError, f.data->UpdateRecord());
    QCOMPARE(rs->EditMode(), int(Recordset::EditInProgress));
}

void TestDataControl::sharedRecordsetFollowsBothControls()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    dir.addStation("B", "Jazz");
    dir.addStation("C", "News");
    StationForm main(dir.dbPath());
    main.data->setVisible(false); // the main window's data control is hidden
    main.window.show();
    StationForm editor(dir.dbPath());
    editor.data->setRecordSource(QString()); // the editor opens no set of its own
    editor.data->setRecordset(main.data->Recordset());
    editor.window.show();
    QCOMPARE(editor.data->Recordset().get(), main.data->Recordset().get());
    QCOMPARE(editor.name->text(), QString("A"));

    QTest::mouseClick(editor.data->nextButton(), Qt::LeftButton);
    QCOMPARE(main.name->text(), QString("B"));
    main.data->Recordset()->MoveLast();
    QCOMPARE(editor.name->text(), QString("C"));

    // One pending new row, seen from both; a change typed in one editor is saved on a move
    // made through the other control's set.
    editor.data->Recordset()->AddNew();
    QCOMPARE(main.data->Recordset()->EditMode(), int(Recordset::EditAdd));
    QVERIFY(main.name->text().isEmpty());
    editor.name->setText("D");
    editor.category->setCurrentText("Talk");
    main.data->Recordset()->MoveFirst();
    QCOMPARE(main.name->text(), QString("A"));
    QCOMPARE(editor.name->text(), QString("A"));
    QCOMPARE(dir.query("select Category from Station where SName = 'D'").at(0).at(0).toString(), QString("Talk"));
    QCOMPARE(main.data->Recordset()->RecordCount(), 4);

    // Deleting through one leaves no current row for both.
    editor.data->Recordset()->Delete();
    QCOMPARE(editor.actions.last(), 7);
    QCOMPARE(main.actions.last(), 7);
    editor.data->Recordset()->MoveNext();
    QCOMPARE(main.name->text(), QString("B"));
}

void TestDataControl::closingTheWindowSaves()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    StationForm f(dir.dbPath());
    f.window.show();
    f.location->setText("Typed before closing");
    f.window.reject();
    QCOMPARE(f.actions.mid(f.actions.size() - 2), QList<int>({11, 10}));
    QCOMPARE(dir.query("select Location from Station").at(0).at(0).toString(), QString("Typed before closing"));
    // Closed with the window, the set is read again when the window shows next.
    dir.exec("update Station set Location = 'Changed elsewhere'");
    f.window.show();
    QCOMPARE(f.location->text(), QString("Changed elsewhere"));
}

void TestDataControl::listsFillFromTheRowSource()
{
    TestAppDir dir;
    dir.addStation("b", "Jazz");
    dir.addStation("A", "News");
    dir.addStation("C", "Jazz");
    dir.exec("insert into Category (Name) values ('Jazz'), ('News')");
    QWidget window;
    auto *stations = new Data(&window);
    stations->setVisible(false);
    stations->setDatabaseName(dir.dbPath());
    stations->setRecordSource("Station");
    auto *list = new DBList(&window);
    list->setRowSource(stations);
    list->setListField("SName");
    list->setDataSource(stations);
    QObject::connect(stations, &Data::Reposition, list, [&] {
        if (stations->Recordset()->hasCurrentRow())
            list->setText(stations->Recordset()->Fields(0).toString());
    });
    window.resize(300, 300);
    list->resize(200, 200);
    window.show();
    QCOMPARE(list->ListCount(), 3);
    QCOMPARE(list->List(0), QString("b"));

    // The list follows a replaced set: filtered and sorted by name.
    stations->Refresh();
    auto rs = stations->Recordset();
    rs->setFilter("Category = 'JAZZ' OR Category = 'News'");
    rs->setSort("SName");
    stations->setRecordset(rs->OpenRecordset(rs->Type()));
    QCOMPARE(list->ListCount(), 3);
    QCOMPARE(list->List(0), QString("A"));
    QCOMPARE(list->List(1), QString("b"));
    stations->Recordset()->MoveLast();
    QCOMPARE(list->Text(), QString("C"));
    list->setText("Nowhere");
    QCOMPARE(list->ListIndex(), -1);
    list->setText("B"); // letter case ignored when no entry matches exactly
    QCOMPARE(list->Text(), QString("b"));

    // A click makes Click; a double click DblClick.
    QSignalSpy clicks(list, &DBList::Click);
    QSignalSpy doubles(list, &DBList::DblClick);
    const QPoint first = list->visualRect(list->model()->index(0, 0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(list->Text(), QString("A"));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, first);
    QCOMPARE(doubles.count(), 1);
    list->setFocus();
    const int before = int(clicks.count());
    QTest::keyClick(list, Qt::Key_Down); // choosing by keys is a click too
    QCOMPARE(clicks.count(), before + 1);
    QCOMPARE(list->Text(), QString("b"));

    // Rows added later appear after ReFill.
    rs = stations->Recordset();
    rs->AddNew();
    rs->setField(0, "D");
    rs->setField(6, "Jazz");
    rs->Update();
    QCOMPARE(list->ListCount(), 3);
    list->ReFill();
    QCOMPARE(list->List(3), QString("D"));

    // The combo lists the category names and holds the bound field's value, any text allowed.
    auto *categories = new Data(&window);
    categories->setReadOnly(true);
    categories->setDatabaseName(dir.dbPath());
    categories->setRecordSource("Category");
    auto *combo = new DBCombo(&window);
    combo->setRowSource(categories);
    combo->setListField("Name");
    combo->setDataSource(stations);
    combo->setDataField("Category");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->Text(), QString("Jazz")); // the current row is "b"
    QVERIFY(!combo->DataChanged());
    stations->Recordset()->FindFirst("SName = 'A'");
    QCOMPARE(combo->Text(), QString("News"));
    combo->setCurrentIndex(0);
    QVERIFY(combo->DataChanged());
    stations->Recordset()->MoveNext();
    QCOMPARE(dir.query("select Category from Station where SName = 'A'").at(0).at(0).toString(), QString("Jazz"));

    // Without an edit field, a category missing from the list is shown and saved unchanged.
    combo->setEditable(false);
    dir.exec("update Station set Category = 'Gone' where SName = 'C'");
    stations->Refresh();
    stations->Recordset()->FindFirst("SName = 'C'");
    QCOMPARE(combo->Text(), QString("Gone"));
    stations->UpdateRecord();
    QCOMPARE(dir.query("select Category from Station where SName = 'C'").at(0).at(0).toString(), QString("Gone"));
    combo->setCurrentIndex(1);
    QCOMPARE(combo->Text(), QString("News"));
}

QTEST_MAIN(TestDataControl)
#include "tst_datacontrol.moc"
