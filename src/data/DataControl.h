#pragma once

#include "data/Recordset.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <vector>

class QLabel;
class QToolButton;
class BoundControl;

// The data control: names a database file and a record source, opens a record set over it,
// shows its current row in the controls bound to it, and offers a navigation bar of four
// buttons (first, previous, next, last) with its caption between them. It may be hidden.
//
// Events:
// - Validate(action, save) before every move, AddNew, Update, Delete, Find, setting the
//   bookmark, closing of the set and unload of the window (action codes of Recordset::Action);
//   save is nonzero when a bound control changed; setting it to 0 drops those changes.
//   Afterwards the changed values are saved into the row being left (or the pending new row).
// - Reposition() after every change of the current row, including after AddNew.
// - Error(dataErr, response) when the control's own work fails (a move or save from its
//   navigation bar, opening its record set when its window shows); response starts at 1 and
//   the control reports the error in a message box unless a handler sets it to 0. A refused
//   save leaves the row pending with the values typed.
//
// Two data controls may share one record set object (setRecordset): both follow every move.
class Data : public QWidget, private RecordsetClient
{
    Q_OBJECT
public:
    explicit Data(QWidget *parent = nullptr);
    ~Data() override;

    void setDatabaseName(const QString &path);
    QString DatabaseName() const { return m_databaseName; }
    void setRecordSource(const QString &source);
    QString RecordSource() const { return m_recordSource; }
    // Read-only takes effect at the next Refresh.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ReadOnly() const { return m_readOnly; }

    // The current record set. Opens it first when DatabaseName and RecordSource are set and
    // it was not yet opened (as when its window shows); nullptr when opening failed.
    RecordsetPtr Recordset();
    // Shares rs (the same object) with whoever else holds it; raises Reposition.
    void setRecordset(RecordsetPtr rs);

    void setCaption(const QString &caption);
    QString Caption() const;

    // Closes and reopens the record set from DatabaseName and RecordSource; the first row
    // becomes current. Failures raise the error to the caller and keep the old set.
    void Refresh();
    // Writes the bound controls' values into the current or pending row and saves it,
    // without Validate. Raises the engine's error to the caller (the row stays pending).
    void UpdateRecord();
    // Shows the current row in the bound controls again, dropping their changes.
    void UpdateControls();
    // The window is closing: Validate(11), the save of changed values, then the record set
    // closes (Validate(10)) and is opened again when the window shows next. Runs by itself when
    // the window gets its close event or a dialog finishes; forms may call it themselves.
    void unloadForm();

    // The text of the last error the control raised through Error.
    QString lastErrorText() const { return m_lastErrorText; }

    // Bound controls register themselves here (see BoundControls.h).
    void addBound(BoundControl *control);
    void removeBound(BoundControl *control);
    // Whether any bound control holds a change not yet saved.
    bool boundDataChanged() const;

    // The navigation buttons (tests click them).
    QToolButton *firstButton() const { return m_first; }
    QToolButton *previousButton() const { return m_previous; }
    QToolButton *nextButton() const { return m_next; }
    QToolButton *lastButton() const { return m_last; }

signals:
    void Validate(int action, int &save);
    void Reposition();
    void Error(int dataErr, int &response);
    // The record set object was replaced (Refresh, setRecordset): lists fed by it fill again.
    void recordsetReplaced();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void recordsetAboutTo(int action) override;
    void attach(RecordsetPtr rs);
    void detach();
    void openIfDue();
    void onCurrentChanged();
    void loadBound();
    void saveBound(bool announce);
    void navigate(int action);
    void raiseError(const RuntimeError &error);
    void watchWindow();

    QString m_databaseName;
    QString m_recordSource;
    bool m_readOnly = false;
    bool m_openTried = false;
    bool m_saving = false;
    bool m_unloaded = false;
    RecordsetPtr m_rs;
    QMetaObject::Connection m_currentConnection;
    std::vector<BoundControl *> m_bound;
    QPointer<QWidget> m_watchedWindow;
    QMetaObject::Connection m_finishedConnection;
    QString m_lastErrorText;

    QToolButton *m_first = nullptr;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
    QToolButton *m_last = nullptr;
    QLabel *m_caption = nullptr;
};
