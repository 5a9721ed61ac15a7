#include "data/BoundControls.h"

#include "data/DBListAccessible.h"
#include "data/DataControl.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QScopedValueRollback>
#include <QStringListModel>
#include <QValidator>

// ---- BoundControl ---------------------------------------------------------------------------

BoundControl::~BoundControl()
{
    unbind();
}

void BoundControl::bindTo(Data *source, const QString &field)
{
    unbind();
    m_field = field;
    m_source = source;
    if (source && !field.isEmpty())
        source->addBound(this); // shows the current row at once
}

void BoundControl::unbind()
{
    if (m_source)
        m_source->removeBound(this);
    m_source = nullptr;
}

void BoundControl::showValue(const QVariant &value)
{
    m_loading = true;
    setBoundText(value.isValid() ? value.toString() : QString());
    m_loading = false;
    m_changed = false;
}

QVariant BoundControl::boundValue() const
{
    const QString text = boundText();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

// ---- BoundTextBox ---------------------------------------------------------------------------

qsizetype characterCount(QStringView text)
{
    qsizetype n = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i].isHighSurrogate() && text[i + 1].isLowSurrogate())
            --n, ++i;
    return n;
}

namespace {
// Refuses an edit that would make the text longer than the limit (QLineEdit's own limit counts
// UTF-16 units and cuts what is set).
class CharacterLimit : public QValidator
{
public:
    CharacterLimit(int limit, QObject *parent) : QValidator(parent), m_limit(limit) {}
    State validate(QString &input, int &) const override
    {
        return characterCount(input) <= m_limit ? Acceptable : Invalid;
    }

private:
    int m_limit;
};
} // namespace

void BoundTextBox::setCharacterLimit(int limit)
{
    m_limit = limit;
    delete dynamic_cast<const CharacterLimit *>(validator()); // only the limit this box made
    setValidator(limit > 0 ? new CharacterLimit(limit, this) : nullptr);
}

BoundTextBox::BoundTextBox(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this] { markChanged(); });
}

void BoundTextBox::setBoundText(const QString &text)
{
    setText(text);
}

QString BoundTextBox::boundText() const
{
    return text();
}

// ---- BoundComboBox --------------------------------------------------------------------------

BoundComboBox::BoundComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::currentTextChanged, this, [this] { markChanged(); });
}

void BoundComboBox::setBoundText(const QString &text)
{
    setCurrentText(text);
}

QString BoundComboBox::boundText() const
{
    return currentText();
}

// ---- RowSourceBinding -----------------------------------------------------------------------

void RowSourceBinding::setRowSource(Data *source)
{
    QObject::disconnect(m_rowConnection);
    m_rowSource = source;
    if (source)
        m_rowConnection = QObject::connect(source, &Data::recordsetReplaced, m_context, [this] { ReFill(); });
    ReFill();
}

void RowSourceBinding::setListField(const QString &field)
{
    m_listField = field;
    ReFill();
}

void RowSourceBinding::setDataSource(Data *source)
{
    m_dataSource = source;
    bindTo(source, m_dataField);
}

void RowSourceBinding::setDataField(const QString &field)
{
    m_dataField = field;
    bindTo(m_dataSource, field);
}

QStringList RowSourceBinding::rowSourceTexts() const
{
    if (!m_rowSource || m_listField.isEmpty())
        return {};
    RecordsetPtr rs = m_rowSource->Recordset();
    return rs ? rs->columnTexts(m_listField) : QStringList();
}

// ---- DBList ---------------------------------------------------------------------------------

DBList::DBList(QWidget *parent) : QListView(parent), RowSourceBinding(this), m_model(new QStringListModel(this))
{
    DBListAccessible::install();
    setModel(m_model);
    setUniformItemSizes(true); // lays out a long list without measuring every entry
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListView::clicked, this, [this] {
        markChanged();
        emit Click();
    });
    connect(this, &QListView::doubleClicked, this, [this] { emit DblClick(); });
}

void DBList::ReFill()
{
    const QStringList entries = rowSourceTexts();
    m_index.clear();
    m_indexed = false;
    m_model->setStringList(entries);
}

int DBList::ListCount() const
{
    return m_model->rowCount();
}

QString DBList::List(int index) const
{
    return m_model->data(m_model->index(index), Qt::DisplayRole).toString();
}

int DBList::ListIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void DBList::chooseRow(int row)
{
    if (row < 0 || row >= ListCount())
        return;
    select(row);
    markChanged();
    emit Click();
}

QString DBList::Text() const
{
    const int row = ListIndex();
    return row < 0 ? QString() : List(row);
}

void DBList::setText(const QString &text)
{
    if (!m_indexed) {
        const QStringList &entries = m_model->stringList();
        m_index.reserve(entries.size());
        for (int i = int(entries.size()) - 1; i >= 0; --i)
            m_index.insert(entries[i], i); // the first of equal entries wins
        m_indexed = true;
    }
    int row = m_index.value(text, -1);
    if (row < 0) {
        const QStringList &entries = m_model->stringList();
        for (int i = 0; i < entries.size(); ++i) {
            if (entries[i].compare(text, Qt::CaseInsensitive) == 0) {
                row = i;
                break;
            }
        }
    }
    select(row);
}

void DBList::select(int row)
{
    if (row < 0) {
        clearSelection();
        setCurrentIndex(QModelIndex());
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (currentIndex() != index || !selectionModel()->isSelected(index))
        setCurrentIndex(index);
    scrollTo(index);
}

void DBList::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    // What a click selects (and what the window selects again in answer) is in view already.
    if (m_clicking && visualRect(index).intersects(viewport()->rect()))
        return;
    QListView::scrollTo(index, hint);
}

void DBList::mousePressEvent(QMouseEvent *event)
{
    const QScopedValueRollback clicking(m_clicking, true);
    QListView::mousePressEvent(event);
}

void DBList::mouseReleaseEvent(QMouseEvent *event)
{
    const QScopedValueRollback clicking(m_clicking, true);
    QListView::mouseReleaseEvent(event);
}

void DBList::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QScopedValueRollback clicking(m_clicking, true);
    QListView::mouseDoubleClickEvent(event);
}

void DBList::keyPressEvent(QKeyEvent *event)
{
    // Enter, on the main keys or the keypad, does what a double click does. Where nothing
    // listens to the double click, Enter goes on to the window (its default button).
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier &&
        currentIndex().isValid() && isSignalConnected(QMetaMethod::fromSignal(&DBList::DblClick))) {
        event->accept();
        emit DblClick();
        return;
    }
    const QModelIndex before = currentIndex();
    QListView::keyPressEvent(event);
    if (currentIndex() != before && currentIndex().isValid()) {
        markChanged();
        emit Click();
    }
}

void DBList::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    // The window announces the list itself after this; the entry the user lands on follows it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (hasFocus())
                DBListAccessible::announceFocus(this, currentIndex().row());
        },
        Qt::QueuedConnection);
}

// The entry landed on is announced through the list's own screen-reader interface, which makes
// that entry when it is first asked for.
void DBList::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    if (current.isValid() && hasFocus())
        DBListAccessible::announceFocus(this, current.row());
}

void DBList::selectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QAbstractItemView::selectionChanged(selected, deselected);
    if (!deselected.isEmpty())
        DBListAccessible::announceSelection(this, deselected.indexes().value(0).row(), false);
    if (!selected.isEmpty())
        DBListAccessible::announceSelection(this, selected.indexes().value(0).row(), true);
}

// ---- DBCombo --------------------------------------------------------------------------------

DBCombo::DBCombo(QWidget *parent) : QComboBox(parent), RowSourceBinding(this)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setModel(new QStringListModel(this));
    connect(this, &QComboBox::currentTextChanged, this, [this] {
        if (!m_filling)
            markChanged();
    });
    connect(this, &QComboBox::activated, this, [this] {
        m_unlisted.clear();
        setPlaceholderText(QString());
    });
}

void DBCombo::ReFill()
{
    const QStringList entries = rowSourceTexts();
    // Filling the list keeps the text shown and is no change of the bound value.
    const QString text = Text();
    m_filling = true;
    static_cast<QStringListModel *>(model())->setStringList(entries);
    setText(text);
    m_filling = false;
}

QString DBCombo::Text() const
{
    if (isEditable() || currentIndex() >= 0)
        return currentText();
    return m_unlisted;
}

void DBCombo::setText(const QString &text)
{
    const int row = findText(text, Qt::MatchExactly);
    setCurrentIndex(row);
    if (isEditable()) {
        setEditText(text);
        return;
    }
    // Without an edit field, a value missing from the list is still shown and kept.
    m_unlisted = row < 0 ? text : QString();
    setPlaceholderText(m_unlisted);
}
