#pragma once

#include "data/Database.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

class Recordset;
using RecordsetPtr = std::shared_ptr<Recordset>;

// Something that must hear of an operation on a record set before it happens: the data
// controls showing the set, which raise their Validate event and save changed bound values.
// It may throw a RuntimeError to stop the operation (a refused save).
class RecordsetClient
{
public:
    virtual ~RecordsetClient() = default;
    virtual void recordsetAboutTo(int action) = 0;
};

// A record set over a table or a query: its rows in memory, in record-set order (row ids and
// values), written through to SQLite by row id. Members keep the classic names.
//
// Position: BOF before the first row, EOF after the last (both on an empty set); after
// Delete there is no current row until the next move. After AddNew and Update the row current
// before AddNew is current again; the new row is reached through LastModified. A row added to a
// filtered or sorted set stands at its end.
class Recordset : public QObject
{
    Q_OBJECT
public:
    // Kinds of record set (Type, OpenRecordset).
    enum Kind { TableType = 1, DynasetType = 2, SnapshotType = 4 };
    // EditMode.
    enum { EditNone = 0, EditInProgress = 1, EditAdd = 2 };
    // Operation codes given to clients before an operation (the data control's Validate actions).
    enum Action {
        ActionMoveFirst = 1,
        ActionMovePrevious = 2,
        ActionMoveNext = 3,
        ActionMoveLast = 4,
        ActionAddNew = 5,
        ActionUpdate = 6,
        ActionDelete = 7,
        ActionFind = 8,
        ActionBookmark = 9,
        ActionClose = 10,
        ActionUnload = 11
    };
    // A bookmark value. (C++ allows no type and member function of one name in one class, so
    // the type is BookmarkValue and the member function keeps the name Bookmark.)
    using BookmarkValue = qint64;

    // Opens a record set over source: a table name ("Station", "[Station]") or a query text
    // ("select * from [Category]", optionally with where / order by). Rows of a table come in
    // stored order; "order by" fields order them as Sort does. A read-only set refuses changes with error 3027. Raises
    // 3078 for an unknown table, or the engine's error for a query it rejects.
    static RecordsetPtr open(std::shared_ptr<Database> db, const QString &source, bool readOnly);

    ~Recordset() override;

    // Position
    bool BOF() const;
    bool EOF_() const;
    int AbsolutePosition() const; // 0-based; -1 when there is no current row
    int RecordCount() const;      // every row of the set

    // Fields. Reading gives the pending row's value while editing or adding; null is an
    // invalid QVariant. No current row raises 3021; an unknown field 3265.
    int FieldCount() const;
    QString FieldName(int i) const;
    QStringList fieldNames() const;
    int fieldIndex(const QString &name) const; // -1 when unknown; letter case ignored
    QVariant Fields(int i) const;
    QVariant Fields(const QString &name) const;
    // The value of a field as stored, whatever an edit in progress changed (3021 when the row
    // is a new one, not yet stored).
    QVariant OriginalValue(int i) const;
    void setField(int i, const QVariant &value); // only while editing or adding (3020)
    void setField(const QString &name, const QVariant &value);

    // Moves. Moving past BOF or EOF raises 3021, as does any move on an empty set (except that
    // MoveNext/MovePrevious may reach EOF/BOF). A move drops unsaved changes of a pending row.
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(int rows);
    // The navigation bar's moves: like the four moves above, but never leaving the set at BOF
    // or EOF and never failing on an empty set. action is one of the four move actions.
    void moveWithinSet(int action);

    // Finds the first row that satisfies criteria and makes it current; NoMatch tells whether
    // none did (the current row then stays). Malformed criteria raise 3075 and change nothing.
    void FindFirst(const QString &criteria);
    bool NoMatch() const { return m_noMatch; }

    // Changes
    void AddNew();
    void Edit();
    void Update();
    void CancelUpdate();
    void Delete();
    int EditMode() const { return m_editMode; }
    bool Updatable() const { return !m_readOnly && m_updatableSource; }
    // Stores the pending row without telling the clients beforehand (the data control's
    // UpdateRecord and its own saves, which raise Validate themselves or not at all). With
    // announce, currentChanged follows the store of a new row (the row current before AddNew
    // is current again).
    void updateQuietly(bool announce = true);

    // Bookmarks identify a row within this set and the sets derived from it.
    BookmarkValue Bookmark() const;     // the current row's (3021 when none)
    void setBookmark(BookmarkValue b);  // makes that row current (3159 when not in the set)
    BookmarkValue LastModified() const; // the row most recently added or changed (3021 when none)

    // Sort (field names, optionally followed by ASC/DESC, separated by commas) and Filter (a
    // criteria text) take effect in a record set derived with OpenRecordset. Texts sort
    // alphabetically (Collation); nulls come first. A table read with "order by" fields in its
    // source text is ordered the same way.
    QString Sort() const { return m_sort; }
    void setSort(const QString &sort) { m_sort = sort; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString &filter) { m_filter = filter; }
    int Type() const { return m_type; }
    // A new record set holding the rows of this one that pass Filter, ordered by Sort, of kind
    // type (-1: this set's Type). Its first row is current. Raises 3075 for a malformed Filter,
    // 3070 for an unknown field in it, 3265 for an unknown Sort field.
    RecordsetPtr OpenRecordset(int type = -1) const;
    // A new record set over the same rows in the same order (rows deleted since left out), of
    // the same kind, with its own position: its first row is current. Bookmarks hold in both.
    // Costs a copy of the order only, so a set worked out once can be handed out many times.
    RecordsetPtr Clone() const;

    // The values of one field for every row, in record-set order, as text (null as empty);
    // the current row does not move. Lists fill themselves from it.
    QStringList columnTexts(const QString &field) const;

    std::shared_ptr<Database> database() const { return m_db; }
    QString source() const { return m_source; }
    bool readOnly() const { return m_readOnly; }

    // Clients hear of every operation before it happens (see RecordsetClient).
    void attachClient(RecordsetClient *client);
    void detachClient(RecordsetClient *client);

    // Shorthands the program uses a lot.
    bool BOF_and_EOF() const { return BOF() && EOF_(); }
    bool hasCurrentRow() const;

    struct Store;

signals:
    // After every change of the current row: moves, Find, setting Bookmark, AddNew (the pending
    // row is now shown), and Update or CancelUpdate of a pending new row.
    void currentChanged();

private:
    Recordset(std::shared_ptr<Database> db, std::shared_ptr<Store> store);

    // A set over these rows in the given order (store rows), of kind type, first row current.
    RecordsetPtr derive(std::vector<int> order, int type) const;
    void notify(int action);
    void store(bool announce);
    void dropPending();
    int requireField(int i) const;
    int requireField(const QString &name) const;
    void requireUpdatable() const;
    void setPosition(int pos);
    int currentRow() const; // the store row of the current row; raises 3021 when none

    std::shared_ptr<Database> m_db;
    std::shared_ptr<Store> m_store;
    std::vector<int> m_order;   // rows of the store, in record-set order
    int m_pos = -1;             // -1 BOF, size() EOF
    bool m_afterDelete = false; // the row at m_pos follows the deleted current row
    bool m_noMatch = false;
    int m_editMode = EditNone;
    std::vector<QVariant> m_buffer; // the pending row
    int m_editRow = -1;             // store row being edited
    BookmarkValue m_lastModified = -1;
    QString m_source;
    QString m_sort;
    QString m_filter;
    int m_type = DynasetType;
    bool m_readOnly = false;
    bool m_updatableSource = true;
    std::vector<RecordsetClient *> m_clients;
};
