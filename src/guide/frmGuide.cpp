#include "guide/frmGuide.h"

#include "app/CommonDialog.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/PlainText.h"
#include "data/Collation.h"
#include "data/Database.h"
#include "guide/GuideDatabase.h"
#include "guide/GuideLoader.h"
#include "guide/GuideSources.h"
#include "guide/GuideText.h"
#include "guide/IptvAttributes.h"

#include <QComboBox>
#include <QDateTime>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int NameRole = Qt::UserRole;
constexpr int AddressRole = Qt::UserRole + 1;
constexpr int DescriptionRole = Qt::UserRole + 3;
// Of a programme's row: its times and title, to record it.
constexpr int StartRole = Qt::UserRole + 4;
constexpr int StopRole = Qt::UserRole + 5;
constexpr int TitleRole = Qt::UserRole + 6;
constexpr int Days = 14;

QTreeWidget *makeTree(QWidget *parent, const char *name, const QString &accessibleName, const QStringList &headers)
{
    auto *tree = new QTreeWidget(parent);
    tree->setObjectName(QLatin1String(name));
    tree->setAccessibleName(accessibleName);
    tree->setHeaderLabels(headers);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->header()->setStretchLastSection(true);
    return tree;
}

// A row read aloud as one sentence (what a screen reader says for the row's first cell).
void speakRow(QTreeWidgetItem *item, const QStringList &parts)
{
    QStringList said;
    for (const QString &p : parts)
        if (!p.isEmpty())
            said << p;
    item->setData(0, Qt::AccessibleTextRole, said.join(QStringLiteral(", ")));
}

QString progressMark(int percent)
{
    const int filled = (percent + 5) / 10;
    return QString(filled, QChar(0x25A0)) + QString(10 - filled, QChar(0x25A1));
}

// Keeps on the row what recording its programme needs.
void keepProgramme(QTreeWidgetItem *item, const GuideDatabase::Programme &p)
{
    item->setData(0, StartRole, p.start);
    item->setData(0, StopRole, p.stop);
    item->setData(0, TitleRole, p.title);
}

// A programme can be recorded until it ends.
bool recordable(const QTreeWidgetItem *item)
{
    return item && item->data(0, StopRole).toLongLong() > GuideClock::now();
}

QPushButton *recordButton(QWidget *parent, const char *name, QBoxLayout *layout)
{
    auto *button = new QPushButton(QStringLiteral("R&ecord"), parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QStringLiteral("Record this programme, from two minutes before to two minutes after"));
    auto *row = new QHBoxLayout;
    row->addWidget(button);
    row->addStretch(1);
    layout->addLayout(row);
    return button;
}

QLabel *buddyLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    buddy->setAccessibleName(QString(text).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    return label;
}

} // namespace

frmGuide::frmGuide(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmGuide"));
    setWindowTitle(QStringLiteral("TV Guide"));
    auto *layout = new QVBoxLayout(this);
    tabGuide = new QTabWidget(this);
    tabGuide->setObjectName(QStringLiteral("tabGuide"));
    layout->addWidget(tabGuide);

    // Now and next.
    auto *nowPage = new QWidget(tabGuide);
    auto *nowLayout = new QVBoxLayout(nowPage);
    lstNowNext = makeTree(nowPage, "lstNowNext", QStringLiteral("Now and next"),
                          {QStringLiteral("Channel"), QStringLiteral("Now"), QStringLiteral("Time"),
                           QStringLiteral("Progress"), QStringLiteral("Next")});
    nowLayout->addWidget(lstNowNext);
    tabGuide->addTab(nowPage, QStringLiteral("&Now and Next"));

    // The programmes of a day.
    auto *dayPage = new QWidget(tabGuide);
    auto *dayLayout = new QVBoxLayout(dayPage);
    auto *dayRow = new QHBoxLayout;
    cboChannel = new QComboBox(dayPage);
    cboChannel->setObjectName(QStringLiteral("cboChannel"));
    cboDay = new QComboBox(dayPage);
    cboDay->setObjectName(QStringLiteral("cboDay"));
    for (int d = 0; d < Days; ++d)
        cboDay->addItem(GuideText::dayName(d), d);
    dayRow->addWidget(buddyLabel(QStringLiteral("C&hannel:"), cboChannel, dayPage));
    dayRow->addWidget(cboChannel, 1);
    dayRow->addWidget(buddyLabel(QStringLiteral("&Day:"), cboDay, dayPage));
    dayRow->addWidget(cboDay);
    dayLayout->addLayout(dayRow);
    lstProgrammes = makeTree(dayPage, "lstProgrammes", QStringLiteral("Programmes"),
                             {QStringLiteral("Time"), QStringLiteral("Title"), QStringLiteral("Episode")});
    dayLayout->addWidget(lstProgrammes, 2);
    txtDescription = new QPlainTextEdit(dayPage);
    txtDescription->setObjectName(QStringLiteral("txtDescription"));
    txtDescription->setReadOnly(true);
    txtDescription->setAccessibleName(QStringLiteral("Description"));
    txtDescription->setTabChangesFocus(true);
    dayLayout->addWidget(txtDescription, 1);
    cmdRecord = recordButton(dayPage, "cmdRecord", dayLayout);
    tabGuide->addTab(dayPage, QStringLiteral("&Programmes"));

    // Search.
    auto *searchPage = new QWidget(tabGuide);
    auto *searchLayout = new QVBoxLayout(searchPage);
    auto *searchRow = new QHBoxLayout;
    txtSearch = new QLineEdit(searchPage);
    txtSearch->setObjectName(QStringLiteral("txtSearch"));
    txtSearch->setClearButtonEnabled(true);
    searchRow->addWidget(buddyLabel(QStringLiteral("&Search titles:"), txtSearch, searchPage));
    searchRow->addWidget(txtSearch, 1);
    searchLayout->addLayout(searchRow);
    lstResults = makeTree(searchPage, "lstResults", QStringLiteral("Programmes found"),
                          {QStringLiteral("Time"), QStringLiteral("Channel"), QStringLiteral("Title")});
    searchLayout->addWidget(lstResults);
    cmdRecordFound = recordButton(searchPage, "cmdRecordFound", searchLayout);
    tabGuide->addTab(searchPage, QStringLiteral("Sea&rch"));

    // Sources.
    auto *sourcePage = new QWidget(tabGuide);
    auto *sourceLayout = new QVBoxLayout(sourcePage);
    lstSources = new QListWidget(sourcePage);
    lstSources->setObjectName(QStringLiteral("lstSources"));
    lstSources->setAccessibleName(QStringLiteral("Guide sources"));
    sourceLayout->addWidget(lstSources);
    auto *addRow = new QHBoxLayout;
    txtSource = new QLineEdit(sourcePage);
    txtSource->setObjectName(QStringLiteral("txtSource"));
    txtSource->setPlaceholderText(QStringLiteral("https://... or a file (.xml, .xml.gz, .gz)"));
    cmdBrowse = new QPushButton(QStringLiteral("..."), sourcePage);
    cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    cmdBrowse->setAccessibleName(QStringLiteral("Choose a guide file"));
    cmdBrowse->setToolTip(QStringLiteral("Choose a guide file"));
    cmdAdd = new QPushButton(QStringLiteral("&Add"), sourcePage);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    addRow->addWidget(buddyLabel(QStringLiteral("&Guide address:"), txtSource, sourcePage));
    addRow->addWidget(txtSource, 1);
    addRow->addWidget(cmdBrowse);
    addRow->addWidget(cmdAdd);
    sourceLayout->addLayout(addRow);
    auto *buttonRow = new QHBoxLayout;
    cmdRemove = new QPushButton(QStringLiteral("Re&move"), sourcePage);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdRefresh = new QPushButton(QStringLiteral("Re&fresh"), sourcePage);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    cmdStop = new QPushButton(QStringLiteral("S&top"), sourcePage);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    buttonRow->addWidget(cmdRemove);
    buttonRow->addWidget(cmdRefresh);
    buttonRow->addWidget(cmdStop);
    buttonRow->addStretch(1);
    sourceLayout->addLayout(buttonRow);
    prgLoad = new QProgressBar(sourcePage);
    prgLoad->setObjectName(QStringLiteral("prgLoad"));
    prgLoad->setAccessibleName(QStringLiteral("Guide loading progress"));
    lblLoad = new QLabel(sourcePage);
    lblLoad->setObjectName(QStringLiteral("lblLoad"));
    lblLoad->setTextFormat(Qt::PlainText);
    lblLoad->setWordWrap(true);
    sourceLayout->addWidget(prgLoad);
    sourceLayout->addWidget(lblLoad);
    tabGuide->addTab(sourcePage, QStringLiteral("S&ources"));

    // Stations without a guide.
    auto *linkPage = new QWidget(tabGuide);
    auto *linkLayout = new QHBoxLayout(linkPage);
    auto *left = new QVBoxLayout;
    lstUnlinked = new QListWidget(linkPage);
    lstUnlinked->setObjectName(QStringLiteral("lstUnlinked"));
    left->addWidget(buddyLabel(QStringLiteral("TV stations &without a guide:"), lstUnlinked, linkPage));
    left->addWidget(lstUnlinked);
    auto *right = new QVBoxLayout;
    txtFindChannel = new QLineEdit(linkPage);
    txtFindChannel->setObjectName(QStringLiteral("txtFindChannel"));
    right->addWidget(buddyLabel(QStringLiteral("Find guide c&hannel:"), txtFindChannel, linkPage));
    right->addWidget(txtFindChannel);
    lstChannels = new QListWidget(linkPage);
    lstChannels->setObjectName(QStringLiteral("lstChannels"));
    lstChannels->setAccessibleName(QStringLiteral("Guide channels"));
    right->addWidget(lstChannels);
    cmdLink = new QPushButton(QStringLiteral("&Link"), linkPage);
    cmdLink->setObjectName(QStringLiteral("cmdLink"));
    right->addWidget(cmdLink);
    linkLayout->addLayout(left);
    linkLayout->addLayout(right);
    tabGuide->addTab(linkPage, QStringLiteral("&Unlinked Stations"));

    cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *closeRow = new QHBoxLayout;
    closeRow->addStretch(1);
    closeRow->addWidget(cmdClose);
    layout->addLayout(closeRow);
    resize(760, 520);

    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    for (QTreeWidget *tree : {lstNowNext, lstResults})
        connect(tree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item) { tuneItem(item); });
    connect(lstProgrammes, &QTreeWidget::itemActivated, this, [this] {
        // The channel shown: its station.
        for (int i = 0; i < lstNowNext->topLevelItemCount(); ++i)
            if (lstNowNext->topLevelItem(i)->data(0, NameRole) == cboChannel->currentData())
                return tuneItem(lstNowNext->topLevelItem(i));
    });
    connect(lstProgrammes, &QTreeWidget::currentItemChanged, this, &frmGuide::showDescription);
    connect(cmdRecord, &QPushButton::clicked, this, [this] { recordItem(lstProgrammes->currentItem()); });
    connect(cmdRecordFound, &QPushButton::clicked, this, [this] { recordItem(lstResults->currentItem()); });
    for (QTreeWidget *tree : {lstProgrammes, lstResults})
        connect(tree, &QTreeWidget::currentItemChanged, this, &frmGuide::showRecordButtons);
    connect(cboChannel, &QComboBox::currentIndexChanged, this, &frmGuide::fillProgrammes);
    connect(cboDay, &QComboBox::currentIndexChanged, this, &frmGuide::fillProgrammes);
    connect(txtSearch, &QLineEdit::textChanged, this, &frmGuide::fillSearch);
    connect(txtFindChannel, &QLineEdit::textChanged, this, &frmGuide::fillChannels);
    connect(cmdAdd, &QPushButton::clicked, this, &frmGuide::addSource);
    connect(txtSource, &QLineEdit::returnPressed, this, &frmGuide::addSource);
    connect(cmdBrowse, &QPushButton::clicked, this, [this] {
        CommonDialog dialog;
        dialog.DialogTitle = QStringLiteral("Choose a TV Guide");
        dialog.Filter = QStringLiteral("XMLTV Guides (*.xml;*.xml.gz;*.gz)|*.xml;*.xml.gz;*.gz");
        if (dialog.ShowOpen(this))
            txtSource->setText(dialog.FileName);
    });
    connect(cmdRemove, &QPushButton::clicked, this, &frmGuide::removeSource);
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { startRefresh(GuideSources::list()); });
    connect(cmdStop, &QPushButton::clicked, this, [] { GuideLoader::instance().stop(); });
    connect(cmdLink, &QPushButton::clicked, this, &frmGuide::linkStation);

    GuideLoader &loader = GuideLoader::instance();
    connect(&loader, &GuideLoader::progress, this, [this](const QString &source, qint64 done, qint64 total) {
        prgLoad->setVisible(true);
        if (total > 0) {
            prgLoad->setRange(0, 1000);
            prgLoad->setValue(int(qMin<qint64>(done * 1000 / total, 1000)));
        } else {
            prgLoad->setRange(0, 0);
        }
        lblLoad->setText(QStringLiteral("Loading %1 (%2 MB read)...").arg(source).arg(done >> 20));
    });
    connect(&loader, &GuideLoader::sourceDone, this, [this](const QString &source, bool, const QString &message) {
        lblLoad->setText(source + QStringLiteral(": ") + message);
        fillSources();
    });
    connect(&loader, &GuideLoader::finished, this, [this] {
        prgLoad->setVisible(false);
        refresh();
    });

    m_tick.setInterval(30000);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        if (isVisible())
            fillNowNext();
    });
    m_tick.start();
    PlainText::apply(this);
    prgLoad->setVisible(false);
}

frmGuide::~frmGuide() = default;

void frmGuide::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    refresh();
}

void frmGuide::refresh()
{
    m_guide = std::make_unique<GuideDatabase>(GuideLoader::instance().databasePath());
    m_stations.clear();
    try {
        m_stations = ChannelMatch::televisionStations(*Database::open(Module1::DatabasePath));
    } catch (const std::exception &) {
        // No station database: nothing to list.
    }
    std::sort(m_stations.begin(), m_stations.end(),
              [](const auto &a, const auto &b) { return Collation::compare(a.name, b.name) < 0; });
    m_channels = m_guide->channels();
    m_links = ChannelMatch::link(m_stations, m_channels);

    const QVariant shown = cboChannel->currentData();
    {
        const QSignalBlocker block(cboChannel);
        cboChannel->clear();
        for (const auto &s : m_stations)
            if (m_links.contains(s.name))
                cboChannel->addItem(s.name, s.name);
        const int again = cboChannel->findData(shown);
        cboChannel->setCurrentIndex(again >= 0 ? again : 0);
    }
    lstUnlinked->clear();
    for (const auto &s : m_stations)
        if (!m_links.contains(s.name))
            lstUnlinked->addItem(s.name);
    fillNowNext();
    fillProgrammes();
    fillSearch();
    fillSources();
    fillChannels();
    const bool running = GuideLoader::instance().isRunning();
    cmdRefresh->setEnabled(!running);
    cmdStop->setEnabled(running);
}

void frmGuide::fillNowNext()
{
    const QString current =
        lstNowNext->currentItem() ? lstNowNext->currentItem()->data(0, NameRole).toString() : QString();
    lstNowNext->clear();
    const qint64 now = GuideClock::now();
    for (const auto &s : m_stations) {
        auto *item = new QTreeWidgetItem(lstNowNext);
        item->setText(0, s.name);
        item->setData(0, NameRole, s.name);
        item->setData(0, AddressRole, s.address);
        const QString channel = m_links.value(s.name);
        if (channel.isEmpty()) {
            item->setText(1, QStringLiteral("No guide"));
            speakRow(item, {s.name, QStringLiteral("no guide")});
            continue;
        }
        const auto [on, next] = m_guide->nowNext(channel, now);
        if (on) {
            item->setText(1, on->title);
            item->setText(2, GuideText::span(*on));
            const int percent = GuideText::percentDone(*on, now);
            item->setText(3, progressMark(percent));
            item->setData(3, Qt::AccessibleTextRole, QStringLiteral("%1 % done").arg(percent));
        }
        if (next)
            item->setText(4, QStringLiteral("%1 %2").arg(GuideText::clock(next->start), next->title));
        speakRow(item,
                 {s.name, on ? on->title : QStringLiteral("nothing on now"), on ? GuideText::span(*on) : QString()});
        if (s.name == current)
            lstNowNext->setCurrentItem(item);
    }
    if (!lstNowNext->currentItem() && lstNowNext->topLevelItemCount() > 0)
        lstNowNext->setCurrentItem(lstNowNext->topLevelItem(0));
    for (int column = 0; column < 4; ++column)
        lstNowNext->resizeColumnToContents(column);
}

void frmGuide::fillProgrammes()
{
    lstProgrammes->clear();
    txtDescription->clear();
    const QString channel = m_links.value(cboChannel->currentData().toString());
    if (channel.isEmpty() || !m_guide)
        return;
    const QDate day =
        QDateTime::fromSecsSinceEpoch(GuideClock::now()).toLocalTime().date().addDays(cboDay->currentData().toInt());
    const qint64 from = QDateTime(day, QTime(0, 0)).toSecsSinceEpoch();
    const qint64 to = QDateTime(day.addDays(1), QTime(0, 0)).toSecsSinceEpoch();
    const qint64 now = GuideClock::now();
    QTreeWidgetItem *onNow = nullptr;
    for (const auto &p : m_guide->programmes(channel, from, to)) {
        auto *item = new QTreeWidgetItem(lstProgrammes);
        if (!onNow && p.stop > now)
            onNow = item;
        item->setText(0, GuideText::span(p));
        item->setText(1, p.title);
        item->setText(2, p.subTitle);
        item->setData(0, DescriptionRole, p.description);
        item->setData(0, NameRole, cboChannel->currentData());
        keepProgramme(item, p);
        speakRow(item, {p.title, GuideText::span(p), p.subTitle});
    }
    // The programme on now (or the day's first).
    if (QTreeWidgetItem *first = onNow ? onNow : lstProgrammes->topLevelItem(0)) {
        lstProgrammes->setCurrentItem(first);
        lstProgrammes->scrollToItem(first, QAbstractItemView::PositionAtTop);
    }
    lstProgrammes->resizeColumnToContents(0);
    showRecordButtons();
}

void frmGuide::showDescription()
{
    QTreeWidgetItem *item = lstProgrammes->currentItem();
    txtDescription->setPlainText(item ? item->data(0, DescriptionRole).toString() : QString());
}

void frmGuide::fillSearch()
{
    lstResults->clear();
    if (!m_guide)
        return;
    // Each channel's stations, to name and tune the channel.
    QHash<QString, const ChannelMatch::Station *> stationOf;
    for (const auto &s : m_stations)
        if (const QString c = m_links.value(s.name); !c.isEmpty() && !stationOf.contains(c.toCaseFolded()))
            stationOf.insert(c.toCaseFolded(), &s);
    for (const auto &p : m_guide->search(txtSearch->text(), GuideClock::now())) {
        const ChannelMatch::Station *s = stationOf.value(p.channel.toCaseFolded());
        if (!s)
            continue;
        auto *item = new QTreeWidgetItem(lstResults);
        const QString when =
            GuideText::dayName(int(QDateTime::fromSecsSinceEpoch(GuideClock::now())
                                       .toLocalTime()
                                       .date()
                                       .daysTo(QDateTime::fromSecsSinceEpoch(p.start).toLocalTime().date()))) +
            QLatin1Char(' ') + GuideText::span(p);
        item->setText(0, when);
        item->setText(1, s->name);
        item->setText(2, p.title);
        item->setData(0, NameRole, s->name);
        item->setData(0, AddressRole, s->address);
        keepProgramme(item, p);
        speakRow(item, {s->name, p.title, when});
    }
    showRecordButtons();
}

void frmGuide::fillSources()
{
    const int row = lstSources->currentRow();
    lstSources->clear();
    GuideDatabase guide(GuideLoader::instance().databasePath());
    for (const QString &source : GuideSources::list()) {
        const GuideDatabase::SourceState state = guide.state(source);
        QString text = source;
        if (state.loadedAt > 0)
            text += QStringLiteral(" \u2014 loaded %1")
                        .arg(QDateTime::fromSecsSinceEpoch(state.loadedAt)
                                 .toLocalTime()
                                 .toString(QStringLiteral("d MMM HH:mm")));
        if (!state.message.isEmpty())
            text += QStringLiteral(": ") + state.message;
        auto *item = new QListWidgetItem(text, lstSources);
        item->setData(Qt::UserRole, source);
    }
    lstSources->setCurrentRow(qBound(0, row, lstSources->count() - 1));
    cmdRemove->setEnabled(lstSources->count() > 0);
}

void frmGuide::fillChannels()
{
    lstChannels->clear();
    const QString find = ChannelMatch::fold(txtFindChannel->text());
    for (const auto &c : m_channels) {
        const QString name = c.names.value(0, c.id);
        if (!find.isEmpty() && !ChannelMatch::fold(c.names.join(QLatin1Char(' ')) + c.id).contains(find))
            continue;
        auto *item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(name, c.id), lstChannels);
        item->setData(Qt::UserRole, c.id);
    }
    if (lstChannels->count() > 0)
        lstChannels->setCurrentRow(0);
}

void frmGuide::tuneItem(QTreeWidgetItem *item)
{
    if (item && !item->data(0, NameRole).toString().isEmpty())
        emit tuneRequested(item->data(0, NameRole).toString(), item->data(0, AddressRole).toString());
}

void frmGuide::recordItem(const QTreeWidgetItem *item)
{
    if (!recordable(item))
        return;
    emit recordRequested(item->data(0, NameRole).toString(), item->data(0, TitleRole).toString(),
                         QDateTime::fromSecsSinceEpoch(item->data(0, StartRole).toLongLong()),
                         QDateTime::fromSecsSinceEpoch(item->data(0, StopRole).toLongLong()));
}

void frmGuide::showRecordButtons()
{
    cmdRecord->setEnabled(recordable(lstProgrammes->currentItem()));
    cmdRecordFound->setEnabled(recordable(lstResults->currentItem()));
}

void frmGuide::addSource()
{
    const QString source = txtSource->text().trimmed();
    if (const QString problem = GuideSources::problem(source); !problem.isEmpty())
        return MsgBox::show(problem, this);
    if (GuideSources::list().contains(source))
        return MsgBox::show(QStringLiteral("\"%1\" is a guide source already.").arg(source), this);
    GuideSources::add({source});
    txtSource->clear();
    fillSources();
    startRefresh({source});
}

void frmGuide::removeSource()
{
    QListWidgetItem *item = lstSources->currentItem();
    if (!item)
        return;
    const QString source = item->data(Qt::UserRole).toString();
    if (GuideLoader::instance().isRunning())
        return MsgBox::show(QStringLiteral("Stop loading the guide first."), this);
    GuideSources::remove(source);
    GuideDatabase(GuideLoader::instance().databasePath()).removeSource(source);
    refresh();
}

void frmGuide::startRefresh(const QStringList &sources)
{
    if (sources.isEmpty())
        return;
    try {
        if (!GuideLoader::instance().load(sources,
                                          ChannelMatch::televisionStations(*Database::open(Module1::DatabasePath))))
            return; // one load at a time; this one runs on
    } catch (const std::exception &e) {
        return MsgBox::show(QStringLiteral("The stations could not be read: %1").arg(QString::fromUtf8(e.what())),
                            this);
    }
    prgLoad->setVisible(true);
    prgLoad->setRange(0, 0);
    lblLoad->setText(QStringLiteral("Loading the guide..."));
    cmdRefresh->setEnabled(false);
    cmdStop->setEnabled(true);
}

void frmGuide::linkStation()
{
    QListWidgetItem *station = lstUnlinked->currentItem();
    QListWidgetItem *channel = lstChannels->currentItem();
    if (!station || !channel)
        return MsgBox::show(QStringLiteral("Choose a station and the guide channel it shows."), this);
    try {
        IptvAttributes::setGuideId(*Database::open(Module1::DatabasePath), station->text(),
                                   channel->data(Qt::UserRole).toString());
    } catch (const std::exception &e) {
        return MsgBox::show(QStringLiteral("The link could not be stored: %1").arg(QString::fromUtf8(e.what())), this);
    }
    // The guide kept only the channels stations were linked to: it is read again for this one.
    refresh();
    startRefresh(GuideSources::list());
}
