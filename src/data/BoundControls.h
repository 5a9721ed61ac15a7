#pragma once

#include <QComboBox>
#include <QHash>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

class Data;
class QStringListModel;

// A control that shows one field of its data control's current row and hands its text back
// when the row is saved. Empty text stores a null.
class BoundControl
{
public:
    virtual ~BoundControl();

    QString DataField() const { return m_field; }
    Data *DataSource() const { return m_source; }
    // Whether the text changed since the data control last showed a row in it.
    bool DataChanged() const { return m_changed; }
    void setDataChanged(bool changed) { m_changed = changed; }

    // Called by the data control: show value (null as empty text) without counting it as a
    // change; and the value to store (empty text as null).
    void showValue(const QVariant &value);
    QVariant boundValue() const;

protected:
    void bindTo(Data *source, const QString &field);
    void unbind();
    void markChanged()
    {
        if (!m_loading)
            m_changed = true;
    }
    virtual void setBoundText(const QString &text) = 0;
    virtual QString boundText() const = 0;

private:
    QPointer<Data> m_source;
    QString m_field;
    bool m_changed = false;
    bool m_loading = false;
};

// The length of a text as the database counts it: in characters, a character outside the
// basic plane (an emoji) counting once.
qsizetype characterCount(QStringView text);

// A text box bound to a field.
class BoundTextBox : public QLineEdit, public BoundControl
{
    Q_OBJECT
public:
    explicit BoundTextBox(QWidget *parent = nullptr);
    void bind(Data *source, const QString &field) { bindTo(source, field); }

    // The most characters the field holds (counted as characterCount does). Typing and pasting
    // stop there; a longer value from the database or the program is shown whole, never cut,
    // and the database refuses to store it. 0: no limit.
    void setCharacterLimit(int limit);
    int characterLimit() const { return m_limit; }

protected:
    void setBoundText(const QString &text) override;
    QString boundText() const override;

private:
    int m_limit = 0;
};

// An editable combo box bound to a field: the list offers values, any text can be typed.
class BoundComboBox : public QComboBox, public BoundControl
{
    Q_OBJECT
public:
    explicit BoundComboBox(QWidget *parent = nullptr);
    void bind(Data *source, const QString &field) { bindTo(source, field); }

protected:
    void setBoundText(const QString &text) override;
    QString boundText() const override;
};

// What the data-bound list and combo share: the row source whose ListField gives the entries,
// and the binding of the shown text to DataField of DataSource.
class RowSourceBinding : public BoundControl
{
public:
    Data *RowSource() const { return m_rowSource; }
    QString ListField() const { return m_listField; }
    // Follows source: the entries are filled now and whenever its record set is replaced.
    void setRowSource(Data *source);
    void setListField(const QString &field);
    void setDataSource(Data *source);
    void setDataField(const QString &field);

    // The text shown, and showing a text.
    virtual QString Text() const = 0;
    virtual void setText(const QString &text) = 0;
    // Fills the entries again from the row source's record set.
    virtual void ReFill() = 0;

protected:
    // context: the control itself, which the row source's signal is connected to.
    explicit RowSourceBinding(QObject *context) : m_context(context) {}
    // ListField of every row of the row source's record set, in record-set order.
    QStringList rowSourceTexts() const;
    void setBoundText(const QString &text) override { setText(text); }
    QString boundText() const override { return Text(); }

private:
    QObject *m_context;
    QPointer<Data> m_rowSource;
    QMetaObject::Connection m_rowConnection;
    QString m_listField;
    QString m_dataField;
    QPointer<Data> m_dataSource;
};

// The data-bound list: its entries are ListField of every row of RowSource's record set, in
// record-set order. Text is the selected entry's text; setting it selects the entry showing
// it. Click comes when the user selects an entry (mouse or keys), DblClick on a double click
// and on Enter (either Enter key). A click never scrolls the list: the row cut by the frame stays
// where it is, so the second click of a double click lands on the same entry.
// With a DataSource and DataField it is also bound: the selected text is that field's value.
class DBList : public QListView, public RowSourceBinding
{
    Q_OBJECT
public:
    explicit DBList(QWidget *parent = nullptr);

    QString Text() const override;
    void setText(const QString &text) override;
    void ReFill() override;

    int ListCount() const;
    QString List(int index) const;
    int ListIndex() const; // -1 when nothing is selected
    // Selects the entry as a user's click does: the bound field changes and Click follows.
    void chooseRow(int row);

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

signals:
    void Click();
    void DblClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void selectionChanged(const QItemSelection &selected, const QItemSelection &deselected) override;

private:
    void select(int row);
    QStringListModel *m_model;
    mutable QHash<QString, int> m_index; // first row of each entry, built when first needed
    mutable bool m_indexed = false;
    bool m_clicking = false; // a mouse button event is being handled
};

// The data-bound combo: its list is ListField of every row of RowSource's record set, in
// record-set order; its text is bound to DataField of DataSource. Editable by default (a text
// not in the list can be typed); with setEditable(false) the user picks from the list, and a
// value missing from the list is still shown and kept.
class DBCombo : public QComboBox, public RowSourceBinding
{
    Q_OBJECT
public:
    explicit DBCombo(QWidget *parent = nullptr);

    QString Text() const override;
    void setText(const QString &text) override;
    void ReFill() override;

private:
    QString m_unlisted; // the value shown without an edit field that the list lacks
    bool m_filling = false;
};
