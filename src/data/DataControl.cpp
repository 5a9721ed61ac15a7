#include "data/DataControl.h"

#include "app/Accessibility.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"

#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton *navigationButton(QWidget *parent, const QString &name, QStyle::StandardPixmap icon, Qt::ArrowType arrow)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setAccessibleName(name);
    b->setToolTip(name);
    if (arrow != Qt::NoArrow)
        b->setArrowType(arrow);
    else
        b->setIcon(parent->style()->standardIcon(icon));
    b->setAutoRepeat(arrow != Qt::NoArrow);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// Sets a flag for the life of a scope.
class FlagScope
{
public:
    explicit FlagScope(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~FlagScope() { m_flag = m_old; }

private:
    bool &m_flag;
    bool m_old;
};

} // namespace

Data::Data(QWidget *parent) : QWidget(parent)
{
    m_first = navigationButton(this, QStringLiteral("First"), QStyle::SP_MediaSkipBackward, Qt::NoArrow);
    m_previous = navigationButton(this, QStringLiteral("Previous"), QStyle::SP_ArrowLeft, Qt::LeftArrow);
    m_next = navigationButton(this, QStringLiteral("Next"), QStyle::SP_ArrowRight, Qt::RightArrow);
    m_last = navigationButton(this, QStringLiteral("Last"), QStyle::SP_MediaSkipForward, Qt::NoArrow);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setTextFormat(Qt::PlainText);
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setFrameShape(QFrame::Panel);
    m_caption->setFrameShadow(QFrame::Sunken);
    m_caption->setMinimumWidth(40);
    Accessibility::readAsShown(m_caption, QStringLiteral("Record"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_first);
    layout->addWidget(m_previous);
    layout->addWidget(m_caption, 1);
    layout->addWidget(m_next);
    layout->addWidget(m_last);
    setAccessibleName(QStringLiteral("Data"));

    connect(m_first, &QToolButton::clicked, this, [this] { navigate(Recordset::ActionMoveFirst); });
    connect(m_previous, &QToolButton::clicked, this, [this] { navigate(Recordset::ActionMovePrevious); });
    connect(m_next, &QToolButton::clicked, this, [this] { navigate(Recordset::ActionMoveNext); });
    connect(m_last, &QToolButton::clicked, this, [this] { navigate(Recordset::ActionMoveLast); });
    watchWindow();
}

Data::~Data()
{
    if (m_rs) {
        m_rs->detachClient(this);
        disconnect(m_currentConnection);
    }
}

void Data::setDatabaseName(const QString &path)
{
    if (path != m_databaseName)
        m_openTried = false;
    m_databaseName = path;
}

void Data::setRecordSource(const QString &source)
{
    if (source != m_recordSource)
        m_openTried = false;
    m_recordSource = source;
}

void Data::setCaption(const QString &caption)
{
    m_caption->setText(caption);
}

QString Data::Caption() const
{
    return m_caption->text();
}

RecordsetPtr Data::Recordset()
{
    watchWindow(); // the widgets around the control may have moved into another window
    openIfDue();
    return m_rs;
}

void Data::setRecordset(RecordsetPtr rs)
{
    if (rs == m_rs)
        return;
    detach();
    if (rs)
        attach(std::move(rs));
    else
        emit recordsetReplaced();
}

void Data::Refresh()
{
    if (m_databaseName.isEmpty())
        throw RuntimeError(DataErr::FileNotFound, QStringLiteral("The data control names no database file."));
    auto db = Database::open(m_databaseName);
    auto rs = Recordset::open(db, m_recordSource, m_readOnly);
    m_openTried = true;
    detach();
    attach(std::move(rs));
}

void Data::openIfDue()
{
    if (m_rs || m_openTried || m_databaseName.isEmpty() || m_recordSource.isEmpty())
        return;
    m_openTried = true;
    try {
        attach(Recordset::open(Database::open(m_databaseName), m_recordSource, m_readOnly));
    } catch (const RuntimeError &e) {
        raiseError(e);
    }
}

void Data::attach(RecordsetPtr rs)
{
    m_rs = std::move(rs);
    m_rs->attachClient(this);
    m_currentConnection = connect(m_rs.get(), &Recordset::currentChanged, this, &Data::onCurrentChanged);
    emit recordsetReplaced();
    onCurrentChanged();
}

void Data::detach()
{
    if (!m_rs)
        return;
    int save = boundDataChanged() ? 1 : 0;
    emit Validate(Recordset::ActionClose, save); // closing drops unsaved changes
    m_rs->detachClient(this);
    disconnect(m_currentConnection);
    m_rs.reset();
}

void Data::onCurrentChanged()
{
    loadBound();
    emit Reposition();
}

void Data::UpdateControls()
{
    loadBound();
}

void Data::loadBound()
{
    const bool showsRow = m_rs && (m_rs->EditMode() != Recordset::EditNone || m_rs->hasCurrentRow());
    for (BoundControl *b : std::vector<BoundControl *>(m_bound)) {
        QVariant value;
        if (showsRow) {
            try {
                value = m_rs->Fields(b->DataField());
            } catch (const RuntimeError &) {
                value = QVariant(); // an unknown field or a row deleted elsewhere shows empty
            }
        }
        b->showValue(value);
    }
}

bool Data::boundDataChanged() const
{
    for (BoundControl *b : m_bound)
        if (b->DataChanged())
            return true;
    return false;
}

void Data::addBound(BoundControl *control)
{
    if (std::find(m_bound.begin(), m_bound.end(), control) != m_bound.end())
        return;
    m_bound.push_back(control);
    QVariant value;
    if (m_rs && (m_rs->EditMode() != Recordset::EditNone || m_rs->hasCurrentRow())) {
        try {
            value = m_rs->Fields(control->DataField());
        } catch (const RuntimeError &) {
            // A field the set does not have shows as empty, as when there is no current row.
        }
    }
    control->showValue(value);
}

void Data::removeBound(BoundControl *control)
{
    m_bound.erase(std::remove(m_bound.begin(), m_bound.end(), control), m_bound.end());
}

// Before an operation on the record set (whoever asked for it): Validate, then the changed
// values go into the row being left or the pending row.
void Data::recordsetAboutTo(int action)
{
    if (m_saving)
        return;
    const bool changed = boundDataChanged();
    int save = changed ? 1 : 0;
    emit Validate(action, save);
    if (!changed)
        return;
    if (!save || action == Recordset::ActionDelete) {
        // The handler dropped the changes, or the row they belong to goes away.
        for (BoundControl *b : m_bound)
            b->setDataChanged(false);
        return;
    }
    if (action == Recordset::ActionUpdate) {
        // An Update in progress stores the values: hand them to its pending row.
        if (m_rs && m_rs->EditMode() != Recordset::EditNone)
            for (BoundControl *b : m_bound)
                m_rs->setField(b->DataField(), b->boundValue());
        return;
    }
    saveBound(false);
}

void Data::saveBound(bool announce)
{
    if (!m_rs)
        return;
    FlagScope guard(m_saving);
    if (m_rs->EditMode() == Recordset::EditNone) {
        if (!m_rs->hasCurrentRow())
            return; // nothing to save into
        m_rs->Edit();
    }
    for (BoundControl *b : m_bound)
        m_rs->setField(b->DataField(), b->boundValue());
    m_rs->updateQuietly(announce);
    for (BoundControl *b : m_bound)
        b->setDataChanged(false);
}

void Data::UpdateRecord()
{
    auto rs = Recordset();
    if (!rs)
        throw RuntimeError(DataErr::NoCurrentRecord,
                           QStringLiteral("The data control has no record set to save into."));
    if (rs->EditMode() == Recordset::EditNone && !rs->hasCurrentRow())
        throw RuntimeError(DataErr::NoCurrentRecord, QStringLiteral("No current record: there is no row to save."));
    saveBound(true);
}

void Data::navigate(int action)
{
    auto rs = Recordset();
    if (!rs)
        return;
    try {
        rs->moveWithinSet(action);
    } catch (const RuntimeError &e) {
        raiseError(e);
    }
}

void Data::unloadForm()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    const bool changed = boundDataChanged();
    int save = changed ? 1 : 0;
    emit Validate(Recordset::ActionUnload, save);
    if (changed && save && m_rs) {
        try {
            saveBound(true);
        } catch (const RuntimeError &e) {
            raiseError(e);
        }
    }
    // The window's record set closes with it; a window shown again opens it anew (a shared
    // set stays open for its other holders).
    detach();
    m_openTried = false;
}

void Data::raiseError(const RuntimeError &error)
{
    m_lastErrorText = error.text();
    int response = 1;
    emit Error(error.number(), response);
    if (response)
        MsgBox::show(error.text(), window());
}

void Data::watchWindow()
{
    QWidget *w = window();
    if (w == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    disconnect(m_finishedConnection);
    m_watchedWindow = w;
    if (w == this)
        return;
    w->installEventFilter(this);
    // A dialog ended with accept or reject hides without a close event.
    if (auto *dialog = qobject_cast<QDialog *>(w))
        m_finishedConnection = connect(dialog, &QDialog::finished, this, [this] { unloadForm(); });
}

bool Data::event(QEvent *event)
{
    if (event->type() == QEvent::ParentChange)
        watchWindow();
    return QWidget::event(event);
}

void Data::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    watchWindow();
    openIfDue();
}

bool Data::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow) {
        switch (event->type()) {
        case QEvent::Show:
            m_unloaded = false;
            openIfDue();
            watchWindow();
            break;
        case QEvent::Close:
            unloadForm();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
