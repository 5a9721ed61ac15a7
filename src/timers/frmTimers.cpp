#include "timers/frmTimers.h"

#include "app/MsgBox.h"
#include "timers/TimerClock.h"
#include "timers/Timers.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

frmTimers::frmTimers(Timers &timers, QWidget *parent) : QWidget(parent, Qt::Window), m_timers(timers)
{
    setObjectName(QStringLiteral("frmTimers"));
    setWindowTitle(tr("Timers"));
    resize(720, 320);

    auto *caption = new QLabel(tr("T&imers:"), this);
    lstTimers = new QTreeWidget(this);
    lstTimers->setObjectName(QStringLiteral("lstTimers"));
    lstTimers->setHeaderLabels({tr("Timer"), tr("Kind"), tr("Station"), tr("Start"), tr("Length")});
    lstTimers->setRootIsDecorated(false);
    lstTimers->setUniformRowHeights(true);
    lstTimers->setAllColumnsShowFocus(true);
    lstTimers->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lstTimers->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstTimers->header()->setStretchLastSection(false);
    caption->setBuddy(lstTimers);
    lstTimers->setAccessibleName(tr("Timers"));

    cmdAdd = new QPushButton(tr("&Add..."), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdEdit = new QPushButton(tr("&Edit..."), this);
    cmdEdit->setObjectName(QStringLiteral("cmdEdit"));
    cmdDelete = new QPushButton(tr("&Delete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    connect(cmdAdd, &QPushButton::clicked, this, &frmTimers::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmTimers::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmTimers::cmdDelete_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(lstTimers, &QTreeWidget::itemActivated, this, &frmTimers::cmdEdit_Click);
    connect(lstTimers, &QTreeWidget::currentItemChanged, this, &frmTimers::showButtons);
    // The tick switches a timer on or off; one that would overlap another stays off.
    connect(lstTimers, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item) {
        if (m_filling)
            return;
        const QString why =
            m_timers.clock().setEnabled(item->data(0, Qt::UserRole).toInt(), item->checkState(0) == Qt::Checked);
        if (!why.isEmpty()) {
            MsgBox::show(why, this);
            refill();
        }
    });
    auto *escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    auto *del = new QAction(lstTimers);
    del->setShortcut(QKeySequence::Delete);
    del->setShortcutContext(Qt::WidgetShortcut);
    lstTimers->addAction(del);
    connect(del, &QAction::triggered, this, &frmTimers::cmdDelete_Click);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdEdit);
    buttons->addWidget(cmdDelete);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *list = new QVBoxLayout;
    list->addWidget(caption);
    list->addWidget(lstTimers);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(list, 1);
    layout->addLayout(buttons);

    connect(&m_timers.clock(), &TimerClock::changed, this, &frmTimers::refill);
    refill();
}

void frmTimers::refill()
{
    const int current = currentId();
    m_filling = true;
    lstTimers->clear();
    for (const Timer &t : m_timers.clock().timers()) {
        auto *item = new QTreeWidgetItem(lstTimers);
        item->setText(0, t.label());
        item->setText(1, TimerRules::kindText(t.kind));
        item->setText(2, t.station);
        item->setText(3, TimerRules::startText(t));
        item->setText(4, t.minutes > 0 ? tr("%1 min").arg(t.minutes) : tr("Plays on"));
        item->setData(0, Qt::UserRole, t.id);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, t.enabled ? Qt::Checked : Qt::Unchecked);
        if (t.id == current)
            lstTimers->setCurrentItem(item);
    }
    if (!lstTimers->currentItem() && lstTimers->topLevelItemCount() > 0)
        lstTimers->setCurrentItem(lstTimers->topLevelItem(0));
    m_filling = false;
    showButtons();
}

int frmTimers::currentId() const
{
    const QTreeWidgetItem *item = lstTimers->currentItem();
    return item ? item->data(0, Qt::UserRole).toInt() : 0;
}

void frmTimers::showButtons()
{
    cmdEdit->setEnabled(currentId() != 0);
    cmdDelete->setEnabled(currentId() != 0);
}

void frmTimers::cmdAdd_Click()
{
    Timer t;
    t.date = m_timers.clock().now().date();
    m_timers.edit(t, this);
}

void frmTimers::cmdEdit_Click()
{
    if (const Timer *t = m_timers.clock().find(currentId()))
        m_timers.edit(*t, this);
}

void frmTimers::cmdDelete_Click()
{
    const Timer *t = m_timers.clock().find(currentId());
    if (!t)
        return;
    if (MsgBox::askYesNo(tr("Delete the timer \"%1\"?").arg(t->label()), this) == MsgBox::Answer::Yes)
        m_timers.clock().remove(t->id);
}
