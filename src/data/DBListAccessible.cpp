#include "data/DBListAccessible.h"

#include "data/BoundControls.h"
#include "data/DataControl.h"

#include <QAbstractItemModel>
#include <QAccessibleWidget>
#include <QHash>
#include <QItemSelectionModel>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWindow>

namespace {

// One entry of the list, made when a reader first asks for it and kept while it shows the same
// row of the same list contents. It is also the list's one-column table cell at its row, so
// that a reader knows where in the list it is.
class RowInterface : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    RowInterface(DBList *list, const QPersistentModelIndex &index) : m_list(list), m_index(index) {}

    int row() const { return m_index.row(); }
    bool isFor(const DBList *list, int row) const
    {
        return m_list == list && m_index.isValid() && m_index.row() == row;
    }

    bool isValid() const override { return m_list && m_index.isValid(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_list ? m_list->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_list.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid() || t != QAccessible::Name)
            return QString();
        return m_index.data(Qt::DisplayRole).toString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_list->visualRect(m_index);
        return QRect(m_list->viewport()->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override { return QAccessible::ListItem; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        s.selected = isSelected();
        s.focused = m_list->hasFocus() && m_list->currentIndex() == m_index;
        if (!m_list->viewport()->rect().intersects(m_list->visualRect(m_index))) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        return nullptr;
    }

    // The table cell.
    bool isSelected() const override
    {
        return isValid() && m_list->selectionModel() && m_list->selectionModel()->isSelected(m_index);
    }
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return 0; }
    int rowIndex() const override { return isValid() ? m_index.row() : -1; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

private:
    QPointer<DBList> m_list;
    QPersistentModelIndex m_index;
};

// The list: every entry is a child at its place in the list, so that a reader says "6 of 50",
// and the list is a one-column table whose rows are those entries (row count, selected rows,
// selecting a row). The entries are made only when a reader asks for them, and a table tells
// readers that walk a window not to go through its children one by one.
class ListInterface : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit ListInterface(DBList *list) : QAccessibleWidget(list, QAccessible::List) {}

    ~ListInterface() override
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    DBList *list() const { return static_cast<DBList *>(widget()); }

    // The rows in view and the current row: the entries kept when others are let go.
    QList<int> rowsInView() const
    {
        QList<int> rows;
        const DBList *l = list();
        const int count = l->ListCount();
        if (count == 0)
            return rows;
        const QRect view = l->viewport()->rect();
        const QModelIndex top = l->indexAt(QPoint(1, 1));
        if (top.isValid() && l->isVisible()) {
            for (int row = top.row(); row < count; ++row) {
                const QRect r = l->visualRect(l->model()->index(row, 0));
                if (!r.isValid() || r.top() >= view.bottom())
                    break;
                rows.append(row);
            }
        }
        const int current = l->currentIndex().row();
        if (current >= 0 && !rows.contains(current))
            rows.append(current);
        return rows;
    }

    // The interface of one row, made when first needed.
    QAccessibleInterface *rowInterface(int row)
    {
        if (row < 0 || row >= list()->ListCount())
            return nullptr;
        auto it = m_rows.find(row);
        if (it != m_rows.end()) {
            auto *known = static_cast<RowInterface *>(QAccessible::accessibleInterface(it.value()));
            if (known && known->isFor(list(), row))
                return known;
            // The list was refilled: the old entry goes, with its id.
            QAccessible::deleteAccessibleInterface(it.value());
            m_rows.erase(it);
        }
        pruneRows();
        auto *iface = new RowInterface(list(), list()->model()->index(row, 0));
        m_rows.insert(row, QAccessible::registerAccessibleInterface(iface));
        return iface;
    }

    // A reader that moves through a long list asks for one row after another: the rows it left
    // behind are let go now and then, so their number stays small.
    void pruneRows()
    {
        constexpr int kKeptRows = 256;
        if (m_rows.size() < kKeptRows)
            return;
        const QList<int> kept = rowsInView();
        for (auto it = m_rows.begin(); it != m_rows.end();) {
            if (kept.contains(it.key())) {
                ++it;
            } else {
                QAccessible::deleteAccessibleInterface(it.value());
                it = m_rows.erase(it);
            }
        }
    }

    int indexOfRow(int row) const { return row < list()->ListCount() ? row : -1; }

    int childCount() const override { return list()->ListCount(); }

    QAccessibleInterface *child(int index) const override
    {
        return const_cast<ListInterface *>(this)->rowInterface(index);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        const auto *row = static_cast<const RowInterface *>(child);
        return row->isValid() ? row->row() : -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const DBList *l = list();
        const QModelIndex index = l->indexAt(l->viewport()->mapFromGlobal(QPoint(x, y)));
        return index.isValid() ? const_cast<ListInterface *>(this)->rowInterface(index.row()) : nullptr;
    }

    QAccessibleInterface *focusChild() const override
    {
        const DBList *l = list();
        if (!l->hasFocus() || !l->currentIndex().isValid())
            return nullptr;
        return const_cast<ListInterface *>(this)->rowInterface(l->currentIndex().row());
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // The table: one column, a row per entry; a row is selected as a click selects it.
    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override { return column == 0 ? child(row) : nullptr; }
    int selectedCellCount() const override { return selectedRowCount(); }
    QList<QAccessibleInterface *> selectedCells() const override
    {
        QList<QAccessibleInterface *> cells;
        for (int row : selectedRows())
            cells << child(row);
        return cells;
    }
    QString columnDescription(int) const override { return QString(); }
    QString rowDescription(int) const override { return QString(); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return list()->ListIndex() < 0 ? 0 : 1; }
    int columnCount() const override { return 1; }
    int rowCount() const override { return list()->ListCount(); }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override
    {
        const int row = list()->ListIndex();
        return row < 0 ? QList<int>() : QList<int>{row};
    }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int row) const override { return row >= 0 && row == list()->ListIndex(); }
    bool selectRow(int row) override
    {
        if (row < 0 || row >= list()->ListCount())
            return false;
        list()->chooseRow(row);
        return true;
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; } // a list box keeps its one selected entry
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {} // rows are found again by place

private:
    QHash<int, QAccessible::Id> m_rows; // row -> interface id, for the rows a reader asked for
};

QAccessibleInterface *dbListFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("DBList") && object && object->isWidgetType())
        return new ListInterface(static_cast<DBList *>(object));
    return nullptr;
}

void announce(DBList *list, int row, QAccessible::Event type)
{
    if (!QAccessible::isActive() || row < 0)
        return;
    auto *iface = dynamic_cast<ListInterface *>(QAccessible::queryAccessibleInterface(list));
    const int child = iface ? iface->indexOfRow(row) : -1;
    if (child < 0)
        return;
    QAccessibleEvent event(list, type);
    event.setChild(child);
    QAccessible::updateAccessibility(&event);
}

} // namespace

namespace DBListAccessible {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(dbListFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void announceFocus(DBList *list, int row)
{
    announce(list, row, QAccessible::Focus);
}

void announceSelection(DBList *list, int row, bool selected)
{
    announce(list, row, selected ? QAccessible::SelectionAdd : QAccessible::SelectionRemove);
}

} // namespace DBListAccessible
