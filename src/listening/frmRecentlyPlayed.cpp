#include "listening/frmRecentlyPlayed.h"

#include "app/PlainText.h"
#include "app/Shell.h"
#include "listening/TitleHistory.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

frmRecentlyPlayed::frmRecentlyPlayed(const TitleHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window), m_history(history)
{
    setObjectName(QStringLiteral("frmRecentlyPlayed"));
    setWindowTitle(tr("Recently Played"));
    resize(560, 380);

    auto *caption = new QLabel(tr("&Titles:"), this);
    lstTitles = new QTreeWidget(this);
    lstTitles->setObjectName(QStringLiteral("lstTitles"));
    lstTitles->setHeaderLabels({tr("Title"), tr("Station"), tr("Time")});
    lstTitles->setRootIsDecorated(false);
    lstTitles->setUniformRowHeights(true);
    lstTitles->setAllColumnsShowFocus(true);
    lstTitles->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lstTitles->header()->setStretchLastSection(false);
    lstTitles->setContextMenuPolicy(Qt::ActionsContextMenu);
    caption->setBuddy(lstTitles);
    lstTitles->setAccessibleName(tr("Titles"));

    cmdCopy = new QPushButton(tr("&Copy"), this);
    cmdCopy->setObjectName(QStringLiteral("cmdCopy"));
    cmdSearch = new QPushButton(tr("&Search the Web"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    cmdClose = new QPushButton(tr("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    // The same commands on the list's context menu; Ctrl+C copies, Enter searches.
    auto *copy = new QAction(tr("&Copy"), lstTitles);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    auto *search = new QAction(tr("&Search the Web"), lstTitles);
    lstTitles->addActions({copy, search});
    connect(copy, &QAction::triggered, this, &frmRecentlyPlayed::cmdCopy_Click);
    connect(search, &QAction::triggered, this, &frmRecentlyPlayed::cmdSearch_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &frmRecentlyPlayed::cmdCopy_Click);
    connect(cmdSearch, &QPushButton::clicked, this, &frmRecentlyPlayed::cmdSearch_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    auto *escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(escape);
    connect(escape, &QAction::triggered, this, &QWidget::close);
    connect(lstTitles, &QTreeWidget::itemActivated, this, &frmRecentlyPlayed::cmdSearch_Click);
    connect(lstTitles, &QTreeWidget::currentItemChanged, this, [this] {
        cmdCopy->setEnabled(lstTitles->currentItem());
        cmdSearch->setEnabled(lstTitles->currentItem());
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdSearch);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(lstTitles);
    layout->addLayout(buttons);
    refill();
}

void frmRecentlyPlayed::refill()
{
    // The entry chosen stays chosen while new titles come in above it.
    const QTreeWidgetItem *chosen = lstTitles->currentItem();
    const QStringList keep = chosen ? QStringList{chosen->text(0), chosen->text(1), chosen->text(2)} : QStringList();
    lstTitles->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(m_history.titles().size());
    const QLocale locale;
    for (const TitleHistory::Title &t : m_history.titles()) {
        auto *item = new QTreeWidgetItem({t.title, t.station, locale.toString(t.time, QLocale::ShortFormat)});
        item->setToolTip(0, PlainText::toolTip(t.title));
        items << item;
    }
    lstTitles->addTopLevelItems(items);
    lstTitles->resizeColumnToContents(1);
    lstTitles->resizeColumnToContents(2);
    lstTitles->setColumnWidth(1, qMin(lstTitles->columnWidth(1), 160));
    QTreeWidgetItem *current = items.value(0);
    for (QTreeWidgetItem *item : std::as_const(items)) {
        if (QStringList{item->text(0), item->text(1), item->text(2)} == keep) {
            current = item;
            break;
        }
    }
    lstTitles->setCurrentItem(current);
    cmdCopy->setEnabled(current);
    cmdSearch->setEnabled(current);
}

QString frmRecentlyPlayed::selectedTitle() const
{
    const QTreeWidgetItem *item = lstTitles->currentItem();
    return item ? item->text(0) : QString();
}

QString frmRecentlyPlayed::searchAddress(const QString &title)
{
    return QStringLiteral("https://duckduckgo.com/?q=") + QString::fromLatin1(QUrl::toPercentEncoding(title));
}

void frmRecentlyPlayed::cmdCopy_Click()
{
    if (const QString title = selectedTitle(); !title.isEmpty())
        QGuiApplication::clipboard()->setText(title);
}

void frmRecentlyPlayed::cmdSearch_Click()
{
    if (const QString title = selectedTitle(); !title.isEmpty())
        Shell::open(searchAddress(title));
}
