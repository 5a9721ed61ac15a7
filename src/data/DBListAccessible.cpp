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

#include <algorithm>

namespace {

// One entry of the list, made when a reader first asks for it and kept while it shows the same
// row of the same list contents.
class RowInterface : public QAccessibleInterface
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
        s.selected = m_list->selectionModel() && m_list->selectionModel()->isSelected(m_index);
        s.focused = m_list->hasFocus() && m_list->currentIndex() == m_index;
        if (!m_list->viewport()->rect().intersects(m_list->visualRect(m_index))) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

private:
    QPointer<DBList> m_list;
    QPersistentModelIndex m_index;
};

// The list: a list of the rows in view plus the current row, in list order.
class ListInterface : public QAccessibleWidget
{
public:
    explicit ListInterface(DBList *list) : QAccessibleWidget(list, QAccessible::List) {}

    ~ListInterface() override
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    DBList *list() const { return static_cast<DBList *>(widget()); }

    // The rows offered as children.
    QList<int> offeredRows() const
    {
        QList<int> rows;
        const DBList *l = list();
        const int count = l->model() ? l->model()->rowCount() : 0;
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
        if (current >= 0 && !rows.contains(current)) {
            rows.append(current);
            std::sort(rows.begin(), rows.end());
        }
        return rows;
    }

    // The interface of one row, made when first needed.
    QAccessibleInterface *rowInterface(int row)
    {
        auto it = m_rows.find(row);
        if (it != m_rows.end()) {
            auto *known = static_cast<RowInterface *>(QAccessible::accessibleInterface(it.value()));
            if (known && known->isFor(list(), row))
                return known;
            // The list was refilled: the old entry goes, with its id.
            QAccessible::deleteAccessibleInterface(it.value());
            m_rows.erase(it);
        }
        const QModelIndex index = list()->model()->index(row, 0);
        if (!index.isValid())
            return nullptr;
        pruneRows();
        auto *iface = new RowInterface(list(), index);
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
        const QList<int> offered = offeredRows();
        for (auto it = m_rows.begin(); it != m_rows.end();) {
            if (offered.contains(it.key())) {
                ++it;
            } else {
                QAccessible::deleteAccessibleInterface(it.value());
                it = m_rows.erase(it);
            }
        }
    }

    int indexOfRow(int row) const { return offeredRows().indexOf(row); }

    int childCount() const override { return int(offeredRows().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<int> rows = offeredRows();
        if (index < 0 || index >= rows.size())
            return nullptr;
        return const_cast<ListInterface *>(this)->rowInterface(rows[index]);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || child->role() != QAccessible::ListItem || child->parent() != this)
            return -1;
        const auto *row = static_cast<const RowInterface *>(child);
        return row->isValid() ? indexOfRow(row->row()) : -1;
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
