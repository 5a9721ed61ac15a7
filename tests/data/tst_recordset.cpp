#include "TestAppDir.h"
#include "data/BulkWriter.h"
#include "data/Collation.h"
#include "data/Criteria.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "data/Statement.h"
#include "data/TableCache.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>
#include <functional>
#include <numeric>

namespace {

// The error number a call raises, or 0.
int errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.number();
    }
    return 0;
}

QString errorText(const std::function<void()> &call)
{
    try {
        call();
    } catch (const RuntimeError &e) {
        return e.text();
    }
    return QString();
}

QStringList names(const RecordsetPtr &rs)
{
    return rs->columnTexts("SName");
}

RecordsetPtr stations(const TestAppDir &dir, bool readOnly = false)
{
    return Recordset::open(Database::open(dir.dbPath()), "Station", readOnly);
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT
private slots:
    void openingNeedsAStationDatabase();
    void emptySet();
    void movesPastBothEnds();
    void deleteLeavesNoCurrentRow();
    void addNewUpdateAndBookmarks();
    void editWritesThroughByRowId();
    void engineErrorsKeepTheRowPending();
    void filterAndSortReopen();
    void cloneKeepsOrderNotPosition();
    void longTableReadsBackExactly();
    void distinctTextsThroughChanges();
    void findFirstWithQuotedNames();
    void criteriaTexts();
    void criteriaMalformed_data();
    void criteriaMalformed();
    void criteriaOfAnyLengthAreRead();
    void querySourcesAndReadOnlySets();
    void transactionsRollBack();
    void statementsKeepEachKindOfValue();
    void namesCompareAndSortAlikeInEveryAlphabet();
    void everySortPathOrdersAsTheCollation();
    void namesDifferingInLetterCaseAreRefused();
    void aStoredPairOfSuchNamesStaysUsable();
    void schemaServesOtherSqliteTools();
};

void TestRecordset::openingNeedsAStationDatabase()
{
    TestAppDir dir;
    const QString missing = dir.filePath("Missing.db");
    QCOMPARE(errorOf([&] { Database::open(missing); }), DataErr::FileNotFound);
    QVERIFY(errorText([&] { Database::open(missing); }).contains(missing));

    dir.writeFile("Junk.db", "this is not a database at all, just some text to fill a page.");
    QCOMPARE(errorOf([&] { Database::open(dir.filePath("Junk.db")); }), DataErr::FileNotFound);
    QVERIFY(errorText([&] { Database::open(dir.filePath("Junk.db")); }).contains("Junk.db"));

    dir.writeFile("Other.db", ""); // an empty file opens as an SQLite database without tables
    QCOMPARE(errorOf([&] { Database::open(dir.filePath("Other.db")); }), DataErr::FileNotFound);

    // Several controls opening one file share the connection.
    auto a = Database::open(dir.dbPath());
    auto b = Database::open(dir.dbPath());
    QCOMPARE(a.get(), b.get());
    QCOMPARE(errorOf([&] { Recordset::open(a, "NoSuchTable", false); }), DataErr::UnknownSource);
}

void TestRecordset::emptySet()
{
    TestAppDir dir;
    auto rs = stations(dir);
    QVERIFY(rs->BOF());
    QVERIFY(rs->EOF_());
    QCOMPARE(rs->AbsolutePosition(), -1);
    QCOMPARE(rs->RecordCount(), 0);
    QCOMPARE(rs->FieldCount(), 8);
    QCOMPARE(rs->FieldName(6), QString("Category"));
    QCOMPARE(errorOf([&] { rs->Fields(0); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->MoveFirst(); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->MoveLast(); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->MoveNext(); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->Delete(); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->Fields("NoSuchField"); }), DataErr::UnknownField);
}

void TestRecordset::movesPastBothEnds()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    dir.addStation("B", "Jazz");
    dir.addStation("C", "Jazz");
    auto rs = stations(dir);
    QSignalSpy moved(rs.get(), &Recordset::currentChanged);
    QCOMPARE(rs->Fields(0).toString(), QString("A"));
    QCOMPARE(rs->RecordCount(), 3);

    rs->MoveLast();
    QCOMPARE(rs->AbsolutePosition(), 2);
    rs->MoveNext();
    QVERIFY(rs->EOF_() && !rs->BOF());
    QCOMPARE(rs->AbsolutePosition(), -1);
    QCOMPARE(errorOf([&] { rs->Fields(0); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->MoveNext(); }), DataErr::NoCurrentRecord);
    rs->MovePrevious();
    QCOMPARE(rs->Fields("sname").toString(), QString("C"));

    rs->MoveFirst();
    rs->MovePrevious();
    QVERIFY(rs->BOF() && !rs->EOF_());
    QCOMPARE(errorOf([&] { rs->MovePrevious(); }), DataErr::NoCurrentRecord);
    QCOMPARE(errorOf([&] { rs->Move(1); }), DataErr::NoCurrentRecord);
    rs->MoveNext();
    QCOMPARE(rs->Fields(0).toString(), QString("A"));

    rs->Move(2);
    QCOMPARE(rs->Fields(0).toString(), QString("C"));
    rs->Move(-1);
    QCOMPARE(rs->Fields(0).toString(), QString("B"));
    rs->Move(5);
    QVERIFY(rs->EOF_());
    QCOMPARE(moved.count(), 9); // every successful move, none of the refused ones
}

void TestRecordset::deleteLeavesNoCurrentRow()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    dir.addStation("B", "Jazz");
    dir.addStation("C", "Jazz");
    auto rs = stations(dir);

    rs->MoveNext();
    rs->Delete();
    QCOMPARE(errorOf([&] { rs->Fields(0); }), DataErr::NoCurrentRecord);
    QCOMPARE(rs->AbsolutePosition(), -1);
    QVERIFY(!rs->BOF() && !rs->EOF_());
    QCOMPARE(rs->RecordCount(), 2);
    rs->MoveNext();
    QCOMPARE(rs->Fields(0).toString(), QString("C"));

    // Deleting the last row: no current row, and the next move reaches EOF without failing.
    rs->Delete();
    QVERIFY(!rs->EOF_());
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    rs->MoveLast();
    QCOMPARE(rs->Fields(0).toString(), QString("A"));

    rs->Delete();
    QVERIFY(rs->BOF() && rs->EOF_());
    QCOMPARE(rs->RecordCount(), 0);
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 0);
}

void TestRecordset::addNewUpdateAndBookmarks()
{
    TestAppDir dir;
    dir.addStation("A", "Jazz");
    dir.addStation("B", "Jazz");
    auto rs = stations(dir);
    rs->MoveLast();
    const auto before = rs->Bookmark();
    QSignalSpy moved(rs.get(), &Recordset::currentChanged);

    rs->AddNew();
    QCOMPARE(rs->EditMode(), int(Recordset::EditAdd));
    QVERIFY(!rs->Fields(0).isValid()); // the pending row starts empty
    rs->setField(0, "New");
    rs->setField("Category", "Talk");
    rs->Update();
    QCOMPARE(rs->EditMode(), int(Recordset::EditNone));
    // The row current before AddNew is current again; the new one stands at the end.
    QCOMPARE(rs->Bookmark(), before);
    QCOMPARE(rs->Fields(0).toString(), QString("B"));
    QCOMPARE(rs->RecordCount(), 3);
    rs->setBookmark(rs->LastModified());
    QCOMPARE(rs->Fields(0).toString(), QString("New"));
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(moved.count(), 3); // AddNew, Update of the new row, setting the bookmark
    QCOMPARE(dir.query("select SName, Type from Station where Category = 'Talk'"),
             QList<QVariantList>({{QVariant("New"), QVariant()}}));

    // A pending new row left unchanged by a move is dropped.
    rs->AddNew();
    rs->setField(0, "Dropped");
    rs->MoveFirst();
    QCOMPARE(rs->EditMode(), int(Recordset::EditNone));
    QCOMPARE(rs->RecordCount(), 3);
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 3);

    QCOMPARE(errorOf([&] { rs->setBookmark(12345); }), DataErr::InvalidBookmark);
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::NoEditInProgress);
    QCOMPARE(errorOf([&] { rs->setField(0, "x"); }), DataErr::NoEditInProgress);

    // Delete while a new row is pending deletes nothing.
    rs->AddNew();
    QCOMPARE(errorOf([&] { rs->Delete(); }), DataErr::NoCurrentRecord);
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 3);
}

void TestRecordset::editWritesThroughByRowId()
{
    TestAppDir dir;
    // Two rows whose names differ only in case would be refused; use different names.
    dir.addStation("Alpha", "Jazz", "http://a/a.ram", "FM", "101.1");
    dir.addStation("Beta", "News");
    auto rs = stations(dir);
    rs->Edit();
    QCOMPARE(rs->Fields("RAMFile").toString(), QString("http://a/a.ram"));
    rs->setField("Location", "Somewhere");
    rs->setField(1, QVariant());
    rs->Update();
    QCOMPARE(rs->Fields(0).toString(), QString("Alpha")); // the edited row stays current
    QCOMPARE(rs->LastModified(), rs->Bookmark());
    QCOMPARE(dir.query("select Location, Frequency, RAMFile from Station where SName = 'Alpha'"),
             QList<QVariantList>({{QVariant("Somewhere"), QVariant(), QVariant("http://a/a.ram")}}));
    QCOMPARE(dir.query("select count(*) from Station where Location is null").at(0).at(0).toInt(), 1);

    // Preset slots are rows in stored order, edited by position.
    dir.exec("insert into Preset (SName) values ('Slot 0'), ('Slot 1'), ('Slot 2')");
    auto presets = Recordset::open(Database::open(dir.dbPath()), "Preset", false);
    presets->Move(1);
    presets->Edit();
    for (int i = 0; i < 8; ++i)
        presets->setField(i, rs->Fields(i));
    presets->Update();
    QCOMPARE(dir.query("select SName, Location from Preset order by rowid").at(1),
             QVariantList({QVariant("Alpha"), QVariant("Somewhere")}));
}

void TestRecordset::engineErrorsKeepTheRowPending()
{
    TestAppDir dir;
    dir.addStation("Jazz FM", "Jazz");
    auto rs = stations(dir);

    rs->AddNew();
    rs->setField("SName", "No Category");
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::RequiredField);
    rs->setField("Category", ""); // an empty text counts as empty
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::RequiredField);
    QVERIFY(errorText([&] { rs->Update(); }).contains("Category"));
    QCOMPARE(rs->EditMode(), int(Recordset::EditAdd));
    QCOMPARE(rs->Fields("SName").toString(), QString("No Category"));

    rs->setField("Category", "Talk");
    rs->setField("SName", "JAZZ fm"); // names are unique whatever their letter case
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::DuplicateName);
    QVERIFY(errorText([&] { rs->Update(); }).contains("JAZZ fm"));

    rs->setField("SName", QString(31, 'x'));
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::ValueTooLong);
    rs->setField("SName", QString(30, 'x'));
    rs->setField("CallLetters", "ABCDE");
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::ValueTooLong);
    QVERIFY(errorText([&] { rs->Update(); }).contains("CallLetters"));
    rs->setField("CallLetters", "ABCD");
    rs->Update(); // corrected, the same pending row is stored
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 2);
    QCOMPARE(rs->RecordCount(), 2);

    // Nothing is cut: the stored name is the full 30 characters.
    QCOMPARE(dir.query("select length(SName) from Station where Category = 'Talk'").at(0).at(0).toInt(), 30);
}

void TestRecordset::filterAndSortReopen()
{
    TestAppDir dir;
    dir.addStation("zeta", "Jazz");
    dir.addStation("Alpha", "News");
    dir.addStation("beta", "jazz");
    dir.addStation("Gamma", "Pop");
    dir.addStation("Delta", "Jazz");
    auto rs = stations(dir);
    rs->setFilter("Category = 'Jazz' OR Category = 'news'");
    rs->setSort("SName");
    auto filtered = rs->OpenRecordset(rs->Type());
    QCOMPARE(filtered->Type(), rs->Type());
    QCOMPARE(names(filtered), QStringList({"Alpha", "beta", "Delta", "zeta"}));
    QCOMPARE(filtered->Fields(0).toString(), QString("Alpha"));
    QCOMPARE(names(rs), QStringList({"zeta", "Alpha", "beta", "Gamma", "Delta"})); // the source is unchanged

    rs->setSort("SName DESC");
    rs->setFilter("Category = 'Classical'");
    auto none = rs->OpenRecordset();
    QVERIFY(none->BOF() && none->EOF_());
    QCOMPARE(errorOf([&] { none->MoveFirst(); }), DataErr::NoCurrentRecord);

    rs->setFilter("");
    QCOMPARE(names(rs->OpenRecordset()), QStringList({"zeta", "Gamma", "Delta", "beta", "Alpha"}));

    // A row added to the derived set stands at its end and is written to the table.
    filtered->AddNew();
    filtered->setField(0, "Aardvark");
    filtered->setField(6, "Jazz");
    filtered->Update();
    QCOMPARE(names(filtered).last(), QString("Aardvark"));

    rs->setFilter("Category = 'Jazz' OR"); // a dangling OR
    QCOMPARE(errorOf([&] { rs->OpenRecordset(); }), DataErr::MalformedCriteria);
    rs->setFilter("Genre = 'Jazz'");
    QCOMPARE(errorOf([&] { rs->OpenRecordset(); }), DataErr::UnknownCriteriaField);
    rs->setFilter("");
    rs->setSort("Genre");
    QCOMPARE(errorOf([&] { rs->OpenRecordset(); }), DataErr::UnknownField);
    rs->setSort("");
    QCOMPARE(rs->OpenRecordset(Recordset::SnapshotType)->Updatable(), false);
}

void TestRecordset::cloneKeepsOrderNotPosition()
{
    TestAppDir dir;
    for (const char *name : {"zeta", "Alpha", "beta", "Gamma"})
        dir.addStation(name, "Jazz");
    auto rs = stations(dir);
    rs->setSort("SName");
    auto sorted = rs->OpenRecordset();
    sorted->MoveLast();
    const auto mark = sorted->Bookmark();

    auto clone = sorted->Clone();
    QCOMPARE(names(clone), names(sorted));
    QCOMPARE(clone->Fields(0).toString(), QString("Alpha")); // its own position, at the first row
    QCOMPARE(sorted->Fields(0).toString(), QString("zeta"));
    clone->setBookmark(mark);
    QCOMPARE(clone->Fields(0).toString(), QString("zeta"));

    // A row deleted through one set is left out of clones made afterwards.
    sorted->MoveFirst();
    sorted->Delete();
    QCOMPARE(names(sorted->Clone()), QStringList({"beta", "Gamma", "zeta"}));
    QCOMPARE(sorted->OpenRecordset(Recordset::SnapshotType)->Clone()->Updatable(), false);
}

void TestRecordset::longTableReadsBackExactly()
{
    // Columns that repeat a few texts, that never repeat, that repeat only at first, and that
    // hold nulls, empty texts, numbers and non-ASCII texts among their texts.
    TestAppDir dir;
    dir.exec(
        "INSERT INTO Station (SName, Frequency, Type, Location, RAMFile, Category, WebPage) "
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9999) "
        "SELECT 'Stätion ' || i, CASE i % 7 WHEN 0 THEN NULL WHEN 1 THEN '' WHEN 2 THEN i % 50 ELSE 'F' || (i % 3) "
        "END, "
        "CASE i % 2 WHEN 0 THEN 'FM' ELSE 'Fm' END, CASE WHEN i < 4000 THEN 'City ' || (i % 5) ELSE 'Town ' || i END, "
        "'http://127.0.0.1/' || i, 'Catégorie ' || (i % 4), CASE WHEN i % 3 = 0 THEN 'http://a/' ELSE NULL END FROM n");
    auto rs = stations(dir);
    const QStringList fields = {"SName", "Frequency", "Type", "Location", "RAMFile", "Category", "WebPage"};
    const QList<QVariantList> stored = dir.query("select " + fields.join(", ") + " from Station order by rowid");
    QCOMPARE(rs->RecordCount(), int(stored.size()));
    for (int row = 0; row < stored.size(); ++row, rs->MoveNext())
        for (int f = 0; f < fields.size(); ++f)
            if (rs->Fields(fields[f]) != stored[row][f] || rs->Fields(fields[f]).isNull() != stored[row][f].isNull())
                QFAIL(qPrintable(QString("row %1, %2: %3 read, %4 stored")
                                     .arg(row)
                                     .arg(fields[f], rs->Fields(fields[f]).toString(), stored[row][f].toString())));

    // A shared text changed in one row stays unchanged in the others.
    rs->MoveFirst();
    rs->Edit();
    rs->setField("Category", "Changed");
    rs->Update();
    rs->MoveNext();
    QCOMPARE(rs->Fields("Category").toString(), QString("Catégorie 1"));
    rs->Move(3);
    QCOMPARE(rs->Fields("Category").toString(), QString("Catégorie 0"));
}

void TestRecordset::distinctTextsThroughChanges()
{
    // A long table whose names and addresses never repeat, with odd values far down it: they
    // read, match, sort and change like any other, and a value that is not a text among
    // texts keeps its kind.
    TestAppDir dir;
    dir.exec("INSERT INTO Station (SName, Category, RAMFile) WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL "
             "SELECT i + 1 FROM n WHERE i < 2999) SELECT 'S' || printf('%05d', i), 'Jazz', "
             "CASE i % 5 WHEN 0 THEN NULL WHEN 1 THEN '' ELSE 'http://h/' || i END FROM n; "
             "UPDATE Station SET SName = 'Öko FM 🎵' WHERE rowid = 2500; "
             "UPDATE Station SET SName = CAST(X'610062' AS TEXT) WHERE rowid = 2600; "
             "CREATE TABLE Loose (a, b); INSERT INTO Loose WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL "
             "SELECT i + 1 FROM n WHERE i < 2999) SELECT CASE i WHEN 2999 THEN 7 ELSE 'x' || i END, i FROM n;");
    auto rs = stations(dir);
    rs->FindFirst("SName = 'öko fm 🎵'");
    QCOMPARE(rs->AbsolutePosition(), 2499);
    QCOMPARE(rs->Fields(0).toString(), QString("Öko FM 🎵"));
    rs->Move(100);
    QCOMPARE(rs->Fields(0).toString(), QString::fromUtf8("a\0b", 3));
    rs->MoveFirst();
    QVERIFY(!rs->Fields(5).isValid());
    rs->MoveNext();
    QVERIFY(rs->Fields(5).isValid() && rs->Fields(5).toString().isEmpty());
    rs->setFilter("RAMFile = ''");
    QCOMPARE(rs->OpenRecordset()->RecordCount(), 600);
    rs->setFilter("");
    rs->setSort("SName");
    QCOMPARE(rs->OpenRecordset()->Fields(0).toString(), QString::fromUtf8("a\0b", 3));

    // Changes: a name, a null address made a text and back; seen through a clone and the file.
    auto clone = rs->Clone();
    rs->MoveFirst();
    rs->Edit();
    rs->setField(0, "Neu ß");
    rs->setField(5, "http://new/");
    rs->Update();
    rs->MoveNext();
    rs->Edit();
    rs->setField(5, QVariant());
    rs->Update();
    rs->AddNew();
    rs->setField(0, "Added");
    rs->setField(6, "Jazz");
    rs->Update();
    QCOMPARE(clone->Fields(0).toString(), QString("Neu ß"));
    QCOMPARE(clone->Fields(5).toString(), QString("http://new/"));
    clone->MoveNext();
    QVERIFY(!clone->Fields(5).isValid());
    QCOMPARE(names(rs).last(), QString("Added"));
    QCOMPARE(names(rs), names(stations(dir)));

    auto loose = Recordset::open(Database::open(dir.dbPath()), "Loose", false);
    loose->MoveLast();
    QCOMPARE(loose->Fields(0), QVariant(qint64(7)));
    loose->MoveFirst();
    loose->Edit();
    loose->setField(0, 42);
    loose->Update();
    loose->MoveNext();
    QCOMPARE(loose->Fields(0), QVariant(QString("x1")));
    loose->MovePrevious();
    QCOMPARE(loose->Fields(0), QVariant(qint64(42)));
}

void TestRecordset::findFirstWithQuotedNames()
{
    TestAppDir dir;
    dir.addStation("Alpha", "Jazz");
    dir.addStation("Guido's Radio", "Talk");
    dir.addStation("Omega", "Jazz");
    auto rs = stations(dir);
    const QString name = "Guido's Radio";

    rs->FindFirst("SName='" + criteriaQuote(name) + "'");
    QVERIFY(!rs->NoMatch());
    QCOMPARE(rs->Fields(0).toString(), name);
    rs->FindFirst("SName = 'OMEGA'"); // letter case is ignored
    QCOMPARE(rs->AbsolutePosition(), 2);

    // The name pasted unquoted is malformed: an error, and the current row stays.
    QCOMPARE(errorOf([&] { rs->FindFirst("SName='" + name + "'"); }), DataErr::MalformedCriteria);
    QCOMPARE(rs->Fields(0).toString(), QString("Omega"));

    // A value made to look like more criteria is only a value: it matches nothing.
    const QString attack = "x' OR '1'='1";
    rs->FindFirst("SName='" + criteriaQuote(attack) + "'");
    QVERIFY(rs->NoMatch());
    QCOMPARE(rs->Fields(0).toString(), QString("Omega"));
    QCOMPARE(errorOf([&] { rs->FindFirst("SName='" + attack + "'"); }), DataErr::MalformedCriteria);
    rs->setFilter("Category = '" + criteriaQuote(attack + "; drop table Station; --") + "'");
    QCOMPARE(rs->OpenRecordset()->RecordCount(), 0);

    // Such a name is stored and found back as it is.
    rs->AddNew();
    rs->setField(0, attack);
    rs->setField(6, "Jazz");
    rs->Update();
    rs->FindFirst("SName='" + criteriaQuote(attack) + "'");
    QCOMPARE(rs->Fields(0).toString(), attack);
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 4);
}

void TestRecordset::criteriaTexts()
{
    const Criteria c = parseCriteria(" Category = 'Jazz' or [Category]='It''s' OR Category = ''");
    QCOMPARE(c.fieldNames(), QStringList({"Category", "Category", "Category"}));
    QCOMPARE(c.tests().at(1).value, QString("It's"));
    QCOMPARE(c.tests().at(2).value, QString());

    // AND binds more tightly than OR; parentheses group.
    const QStringList layout{"A", "B", "C"};
    const auto check = [&](const QString &text, const QVariantList &row) {
        Criteria crit = parseCriteria(text);
        crit.bind(layout);
        return crit.matches(row.constData());
    };
    QVERIFY(check("A='1' OR B='2' AND C='3'", {"1", "x", "x"}));
    QVERIFY(!check("(A='1' OR B='2') AND C='3'", {"1", "x", "x"}));
    QVERIFY(check("a = 'ÉTÉ' and b = 'x'", {QString("été"), "X", QVariant()}));
    // A null equals nothing, not even the empty text.
    QVERIFY(!check("C = ''", {"1", "2", QVariant()}));
    QVERIFY(check("C = ''", {"1", "2", QString("")}));
    QCOMPARE(criteriaQuote("O'Brien's"), QString("O''Brien''s"));
}

void TestRecordset::criteriaMalformed_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "  ";
    QTest::newRow("unquoted name with quote") << "SName='O'Brien'";
    QTest::newRow("open quote") << "SName='abc";
    QTest::newRow("no value") << "SName=";
    QTest::newRow("no operator") << "SName 'x'";
    QTest::newRow("dangling OR") << "Category = 'A' OR ";
    QTest::newRow("leading AND") << "AND Category = 'A'";
    QTest::newRow("value as field") << "'1'='1'";
    QTest::newRow("open parenthesis") << "(Category = 'A'";
    QTest::newRow("trailing text") << "Category = 'A' garbage";
    QTest::newRow("double quotes") << "Category = \"A\"";
}

void TestRecordset::criteriaMalformed()
{
    QFETCH(QString, text);
    QCOMPARE(errorOf([&] { parseCriteria(text); }), DataErr::MalformedCriteria);
}

void TestRecordset::criteriaOfAnyLengthAreRead()
{
    // A list filter over a very long category list: one test per category, read, bound,
    // evaluated and freed without running out of stack.
    QStringList tests;
    for (int i = 0; i < 300000; ++i)
        tests << QStringLiteral("Category = 'C%1'").arg(i);
    {
        Criteria c = parseCriteria(tests.join(" OR ") + " AND Category = 'C7'");
        c.bind({"Category"});
        const QVariant last("C299999"), seventh("c7");
        QVERIFY(!c.matches(&last));
        QVERIFY(c.matches(&seventh));
    }
    // Nesting is refused, not followed, beyond a hundred levels.
    const auto nested = [](int depth) { return QString(depth, '(') + "A='1'" + QString(depth, ')'); };
    Criteria deep = parseCriteria(nested(100));
    deep.bind({"A"});
    const QVariant one("1");
    QVERIFY(deep.matches(&one));
    QCOMPARE(errorOf([&] { parseCriteria(nested(101)); }), DataErr::MalformedCriteria);
    QCOMPARE(errorOf([&] { parseCriteria(nested(200000)); }), DataErr::MalformedCriteria);
}

void TestRecordset::querySourcesAndReadOnlySets()
{
    TestAppDir dir(TestAppDir::SeedStations);
    auto db = Database::open(dir.dbPath());
    auto categories = Recordset::open(db, "select * from [Category]", false);
    QCOMPARE(categories->fieldNames(), QStringList({"Name", "Description"}));
    const int count = categories->RecordCount();
    QVERIFY(count > 0);
    categories->AddNew();
    categories->setField("Name", "aaa");
    categories->Update();
    QCOMPARE(dir.query("select count(*) from Category").at(0).at(0).toInt(), count + 1);

    auto ordered = Recordset::open(db, "select * from [Category] order by Name", false);
    QCOMPARE(ordered->Fields("Name").toString(), QString("aaa"));
    ordered->MoveLast();
    ordered->Delete();
    QCOMPARE(dir.query("select count(*) from Category").at(0).at(0).toInt(), count);

    auto readOnly = Recordset::open(db, "Category", true);
    QCOMPARE(errorOf([&] { readOnly->AddNew(); }), DataErr::ReadOnly);
    QCOMPARE(errorOf([&] { readOnly->Edit(); }), DataErr::ReadOnly);
    QCOMPARE(errorOf([&] { readOnly->Delete(); }), DataErr::ReadOnly);
    auto joined = Recordset::open(
        db, "select SName, Description from Station, Category where Station.Category = Category.Name", false);
    QVERIFY(joined->RecordCount() > 0);
    QCOMPARE(errorOf([&] { joined->Edit(); }), DataErr::ReadOnly);
}

void TestRecordset::transactionsRollBack()
{
    TestAppDir dir;
    auto db = Database::open(dir.dbPath());
    auto rs = Recordset::open(db, "Station", false);
    {
        Transaction t(db);
        rs->AddNew();
        rs->setField(0, "Kept");
        rs->setField(6, "Jazz");
        rs->Update();
        t.commit();
    }
    {
        Transaction t(db);
        rs->AddNew();
        rs->setField(0, "Lost");
        rs->setField(6, "Jazz");
        rs->Update();
    }
    QVERIFY(!db->inTransaction());
    QCOMPARE(dir.query("select SName from Station"), QList<QVariantList>({{QVariant("Kept")}}));
}

void TestRecordset::statementsKeepEachKindOfValue()
{
    TestAppDir dir;
    dir.exec("create table Loose (v)");
    auto db = Database::open(dir.dbPath());
    const QString text = QString::fromUtf8("Ünï 😀 𐌰");
    const QByteArray bytes("\0\x01\xff", 3);
    Statement insert(*db, "insert into Loose (v) values (?)", true);
    for (const QVariant &v :
         {QVariant(), QVariant::fromValue(nullptr), QVariant(true), QVariant(-7), QVariant(qint64(1) << 40),
          QVariant(2.5), QVariant(text), QVariant(QString("")), QVariant(bytes)}) {
        insert.bind(1, v);
        insert.run();
    }
    Statement read(*db, "select v from Loose order by rowid");
    QVariantList back;
    while (read.step())
        back << read.column(0);
    QCOMPARE(back, QVariantList({QVariant(), QVariant(), qint64(1), qint64(-7), qint64(1) << 40, 2.5, text, QString(""),
                                 bytes}));
    QVERIFY(!back[7].toString().isNull()); // an empty text is no null

    // A refusal raises the database's error; the statement can run again afterwards.
    Statement add(*db, "insert into Category (Name) values (?)");
    add.bind(1, "Jazz");
    add.run();
    QCOMPARE(errorOf([&] { add.run(); }), DataErr::DuplicateName);
    add.bind(1, "Pop");
    add.run();
    QCOMPARE(dir.query("select count(*) from Category").at(0).at(0).toInt(), 2);
    QVERIFY(errorText([&] { Statement(*db, "select from nowhere at all"); }).contains("syntax error"));
}

void TestRecordset::namesCompareAndSortAlikeInEveryAlphabet()
{
    using namespace Collation;
    QVERIFY(sameName(u"Öko FM", u"öko FM"));
    QVERIFY(sameName(u"ΣΟΦΙΑ Ράδιο", u"σοφια ράδιο"));
    QVERIFY(sameName(u"Радио Ёлка", u"радио ёлка"));
    QVERIFY(sameName(u"\U00010400x", u"\U00010428X")); // outside the basic plane (Deseret)
    QVERIFY(!sameName(u"Émile", u"Emile"));
    QVERIFY(!sameName(u"Straße", u"STRASSE")); // one character folds to one
    QCOMPARE(nameKey(u"Öko FM"), nameKey(u"öKO fm"));
    // Folding keeps every character in or out of the basic plane, so lengths stay equal.
    for (char32_t c = 0; c <= 0x10FFFF; ++c)
        if (QChar::requiresSurrogates(c) != QChar::requiresSurrogates(QChar::toCaseFolded(c)))
            QFAIL(qPrintable(QString::number(uint(c), 16)));

    // The station list order: accents beside their base letters, letter case aside; the same
    // name (a pair stored by another tool) keeps its stored order.
    TestAppDir dir;
    for (const char *name : {"Zed", "über", "KJAZ", "Émile", "blue", "Über", "Blue Note", "émile b", "10 FM", "Ärger"})
        dir.exec(
            QStringLiteral("insert into Station (SName, Category) values ('%1', 'Jazz')").arg(QString::fromUtf8(name)));
    auto rs = stations(dir);
    rs->setSort("SName");
    const QStringList sorted = names(rs->OpenRecordset());
    QCOMPARE(sorted,
             QStringList({"10 FM", "Ärger", "blue", "Blue Note", "Émile", "émile b", "KJAZ", "über", "Über", "Zed"}));
    rs->setSort("SName DESC");
    QCOMPARE(names(rs->OpenRecordset()).first(), QString("Zed"));
    // A record source that orders by a field orders the same way.
    auto ordered = Recordset::open(Database::open(dir.dbPath()), "select * from [Station] order by [SName]", false);
    QCOMPARE(names(ordered), sorted);
    QVERIFY(ordered->Updatable());

    // The fast way through plain ASCII names orders exactly as the collation does, also among
    // names that are not ASCII.
    QVERIFY(asciiFastPath());
    std::vector<QString> texts;
    QRandomGenerator random(7);
    const QString alphabet =
        QString::fromUtf8(" !'&()-.,/0123456789:;ABCDEFGHIJKLMNOPQRSTUVWXYZ_abcdefghijklmnopqrstuvwxyz~ÉéÜüß");
    for (int i = 0; i < 3000; ++i) {
        QString t;
        for (int k = 0, n = 1 + random.bounded(12); k < n; ++k)
            t += alphabet[random.bounded(int(alphabet.size()) - (i % 3 ? 5 : 0))];
        texts.push_back(t);
    }
    std::vector<int> order(texts.size());
    std::vector<const QString *> pointers(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        order[i] = int(i);
        pointers[i] = &texts[i];
    }
    Collation::sort(order, pointers);
    for (size_t i = 1; i < order.size(); ++i)
        QVERIFY2(Collation::compare(texts[size_t(order[i - 1])], texts[size_t(order[i])]) <= 0 ||
                     Collation::sameName(texts[size_t(order[i - 1])], texts[size_t(order[i])]),
                 qPrintable(texts[size_t(order[i - 1])] + " / " + texts[size_t(order[i])]));
}

void TestRecordset::everySortPathOrdersAsTheCollation()
{
    // Names from many alphabets, with accents, letter-case pairs stored apart (as a file made by
    // another tool may hold them) and characters outside the basic plane.
    const QStringList all =
        QString::fromUtf8("Zürich 1|zurich 2|Émile|emile b|Öko FM|öko FM|Ärger|Blue|10 FM|Σοφία|ΣΟΦΊΑ|Москва|"
                          "москва fm|北京|𠀀 Ext-B|𠁆 Radio|中文台|😀 Happy|😎 Cool|☺ Smile|𐌰𐌱 Gothic|𐌲 Gothic|"
                          "𐐀 Deseret|𐐨 DESERET|ﬁne|fine 2|Ａ wide|a plain|\uE000 private|𝐀 math|ǅ title|"
                          "Ǆ TITLE|עברית|العربية|ไทย|한국어|Ελλάδα|ελλάδα")
            .split('|');
    TestAppDir dir;
    for (int i = 0; i < all.size(); ++i) // frequencies fall as the rows go on
        dir.addStation(all[i], i % 2 ? "Jazz" : "News", QString(), "FM", QString::number(900 - i));

    // The order Collation gives; the same names keep their stored order (or follow the next field).
    const auto ordered = [&](bool descending, bool thenFrequency) {
        std::vector<int> rows(size_t(all.size()));
        std::iota(rows.begin(), rows.end(), 0);
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
            const int c = Collation::compare(all[a], all[b]);
            if (c != 0)
                return descending ? c > 0 : c < 0;
            return thenFrequency && a > b;
        });
        QStringList out;
        for (int r : rows)
            out << all[r];
        return out;
    };
    const QStringList expected = ordered(false, false);

    auto db = Database::open(dir.dbPath());
    auto rs = Recordset::open(db, "Station", false);
    rs->setSort("SName");
    QCOMPARE(names(rs->OpenRecordset()), expected);
    rs->setSort("SName DESC");
    QCOMPARE(names(rs->OpenRecordset()), ordered(true, false));
    rs->setSort("SName, Frequency");
    QCOMPARE(names(rs->OpenRecordset()), ordered(false, true));
    QCOMPARE(names(Recordset::open(db, "select * from [Station] order by [SName]", true)), expected);
    QCOMPARE(names(Recordset::open(db, "select SName, Frequency from Station order by SName;", true)), expected);
    // Ordered by a field the query does not return: the engine's order stands.
    QStringList byFrequency = all;
    std::reverse(byFrequency.begin(), byFrequency.end());
    QCOMPARE(names(Recordset::open(db, "select SName from Station order by Frequency", true)), byFrequency);
    TableCache cache;
    cache.open(dir.dbPath(), "Station", true);
    QCOMPARE(names(cache.derived("SName", QString())), expected);
    // A list that sorts itself compares with Collation::compare; Collation::sort agrees with it.
    std::vector<int> order(size_t(all.size()));
    std::vector<const QString *> texts;
    std::iota(order.begin(), order.end(), 0);
    for (const QString &name : all)
        texts.push_back(&name);
    Collation::sort(order, texts);
    QStringList sorted;
    for (int r : order)
        sorted << all[r];
    QCOMPARE(sorted, expected);
}

void TestRecordset::namesDifferingInLetterCaseAreRefused()
{
    TestAppDir dir;
    dir.addStation("Öko FM", "News");
    dir.addStation("KJAZ", "Jazz");
    dir.exec("insert into Category (Name) values ('Électro')");
    auto rs = stations(dir);
    const auto add = [&](const QString &name) {
        rs->AddNew();
        rs->setField(0, name);
        rs->setField(6, "Jazz");
        const int error = errorOf([&] { rs->Update(); });
        if (error)
            rs->CancelUpdate();
        return error;
    };
    QCOMPARE(add("kjaz"), DataErr::DuplicateName);
    const QString asciiText = errorText([&] {
        rs->AddNew();
        rs->setField(0, "kjaz");
        rs->setField(6, "Jazz");
        rs->Update();
    });
    rs->CancelUpdate();
    QCOMPARE(add("öko FM"), DataErr::DuplicateName);
    const QString text = errorText([&] {
        rs->AddNew();
        rs->setField(0, "öKO fm");
        rs->setField(6, "Jazz");
        rs->Update();
    });
    rs->CancelUpdate();
    QCOMPARE(text, QString(asciiText).replace("kjaz", "öKO fm"));
    QCOMPARE(add("Oko FM"), 0); // another name

    // A rename to another row's name is refused; a row may change the letter case of its own.
    rs->MoveFirst();
    rs->Edit();
    rs->setField(0, "öko fm");
    rs->Update();
    rs->FindFirst("SName='KJAZ'");
    rs->Edit();
    rs->setField(0, "ÖKO FM");
    QCOMPARE(errorOf([&] { rs->Update(); }), DataErr::DuplicateName);
    rs->CancelUpdate();
    auto categories = Recordset::open(Database::open(dir.dbPath()), "Category", false);
    categories->AddNew();
    categories->setField(0, "électro");
    QCOMPARE(errorOf([&] { categories->Update(); }), DataErr::DuplicateName);
    categories->CancelUpdate();

    // The bulk writer of the import refuses the same, also names it wrote itself, and finds
    // a station by the same rule.
    {
        Transaction t(Database::open(dir.dbPath()));
        BulkWriter writer(Database::open(dir.dbPath()), "Station", {"SName", "Category"});
        QCOMPARE(errorOf([&] { writer.insert({"OKO FM", "Pop"}); }), DataErr::DuplicateName);
        writer.insert({"Ünder", "Pop"});
        QCOMPARE(errorOf([&] { writer.insert({"üNDER", "Pop"}); }), DataErr::DuplicateName);
        QVERIFY(writer.find(0, "ünder") >= 0);
        t.commit();
    }
    // Another program changed the file: the rule sees its names too.
    dir.exec("insert into Station (SName, Category) values ('Ça Va', 'Pop')");
    QCOMPARE(add("ÇA VA"), DataErr::DuplicateName);
    dir.exec("delete from Station where SName = 'Ça Va'");
    QCOMPARE(add("ÇA VA"), 0);
    QCOMPARE(dir.query("select count(*) from Station").at(0).at(0).toInt(), 5);
}

void TestRecordset::aStoredPairOfSuchNamesStaysUsable()
{
    TestAppDir dir;
    dir.addStation("Alpha", "Jazz");
    dir.addStation("Öko FM", "News", "http://a.example/1", "FM", "88.1");
    dir.addStation("öko FM", "News", "http://a.example/2", "FM", "99.9");
    auto rs = stations(dir);
    QCOMPARE(rs->RecordCount(), 3);
    rs->setSort("SName");
    auto sorted = rs->OpenRecordset();
    QCOMPARE(names(sorted), QStringList({"Alpha", "Öko FM", "öko FM"}));
    // Each of the pair is found by its own spelling, and a spelling of neither finds the first.
    sorted->FindFirst("SName='öko FM'");
    QCOMPARE(sorted->Fields(1).toString(), QString("99.9"));
    sorted->FindFirst("SName='Öko FM'");
    QCOMPARE(sorted->Fields(1).toString(), QString("88.1"));
    sorted->FindFirst("SName='ÖKO FM'");
    QCOMPARE(sorted->Fields(1).toString(), QString("88.1"));
    // Both can be edited while keeping their names.
    sorted->FindFirst("SName='öko FM'");
    sorted->Edit();
    sorted->setField(1, "100.1");
    sorted->Update();
    QCOMPARE(dir.query("select Frequency from Station where SName = 'öko FM'").at(0).at(0).toString(),
             QString("100.1"));
    BulkWriter writer(Database::open(dir.dbPath()), "Station", {"SName"});
    QCOMPARE(writer.find(0, "öko FM"),
             dir.query("select rowid from Station where SName = 'öko FM'").at(0).at(0).toLongLong());
}

void TestRecordset::schemaServesOtherSqliteTools()
{
    // Other tools build the database from the schema and write and read it: no collation or
    // function only this program knows.
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    TestAppDir dir;
    const QString schema = TestAppDir::sourceDir() + "/data/schema.sql";
    const QString db = dir.filePath("other.db");
    QProcess p;
    p.start(python, {"-c",
                     "import sqlite3, sys\n"
                     "c = sqlite3.connect(sys.argv[2]); c.executescript(open(sys.argv[1]).read())\n"
                     "c.execute(\"insert into Station (SName, Category) values ('Öko FM', 'News')\")\n"
                     "c.execute(\"insert into Category (Name) values ('Électro')\"); c.commit()\n"
                     "print(c.execute('select SName from Station order by SName').fetchall()[0][0])\n",
                     schema, db});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()).trimmed(), QString("Öko FM"));
    QProcess cli;
    cli.start("sqlite3",
              {db, "insert into Station (SName, Category) values ('öko FM', 'News'); select count(*) from Station;"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), QString("2"));
    QCOMPARE(Recordset::open(Database::open(db), "Station", true)->RecordCount(), 2);
}

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
