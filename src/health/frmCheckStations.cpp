#include "health/frmCheckStations.h"

#include "health/CheckStore.h"
#include "health/StationVerdicts.h"

#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/PlainText.h"
#include "app/RuntimeError.h"
#include "data/Collation.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/Recordset.h"
#include "data/StationLinks.h"
#include "directory/DirectoryClient.h"
#include "directory/DirectoryStations.h"
#include "maintenance/frmStation.h"
#include "pictures/StationLogos.h"
#include "tuner/StationFilter.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace {

constexpr int kRowRole = Qt::UserRole;     // the station's row in the table
constexpr int kAddressRole = Qt::UserRole; // on the address column: the address as stored
constexpr int kCategoryLength = 30;        // as long as a category name may be

// "1 station", "3 stations".
QString stationCount(int n)
{
    return n == 1 ? frmCheckStations::tr("1 station") : frmCheckStations::tr("%1 stations").arg(n);
}

// "; 1 does not answer.", "; 3 do not answer."
QString notAnswering(int n)
{
    return n == 1 ? frmCheckStations::tr("; 1 does not answer.") : frmCheckStations::tr("; %1 do not answer.").arg(n);
}

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false); // Enter in the list tunes; it presses no button
    return b;
}

} // namespace

frmCheckStations::frmCheckStations(QWidget *parent, int parallel, int timeLimitMs)
    : QDialog(parent), m_check(parallel, timeLimitMs)
{
    setObjectName(QStringLiteral("frmCheckStations"));
    setWindowTitle(tr("Check Stations"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowModality(Qt::NonModal); // the main window stays usable during a run

    optAll = new QRadioButton(tr("&All stations"), this);
    optAll->setObjectName(QStringLiteral("optAll"));
    optAll->setChecked(true);
    optViewed = new QRadioButton(tr("Only the &viewed categories"), this);
    optViewed->setObjectName(QStringLiteral("optViewed"));
    cmdCheck = button("cmdCheck", tr("&Check"), this);
    cmdStop = button("cmdStop", tr("&Stop"), this);
    cmdCheckAgain = button("cmdCheckAgain", tr("Chec&k again"), this);
    cmdCheckAgain->setToolTip(tr("Checks again the stations that did not answer"));

    prgChecked = new QProgressBar(this);
    prgChecked->setObjectName(QStringLiteral("prgChecked"));
    prgChecked->setAccessibleName(tr("Stations checked"));
    prgChecked->setFormat(tr("%v of %m"));
    prgChecked->setRange(0, 1);
    prgChecked->setValue(0);
    prgChecked->setTextVisible(false); // until a run counts
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setWordWrap(true);
    lblSummary->setMinimumHeight(lblSummary->fontMetrics().height()); // the list stays put when it empties

    lblFailed = new QLabel(tr("Stations that do &not answer:"), this);
    lblFailed->setObjectName(QStringLiteral("lblFailed"));
    lstFailed = new QTreeWidget(this);
    lstFailed->setObjectName(QStringLiteral("lstFailed"));
    lstFailed->setAccessibleName(tr("Stations that do not answer"));
    lstFailed->setHeaderLabels({tr("Station"), tr("Category"), tr("Reason"), tr("Address")});
    lstFailed->setRootIsDecorated(false);
    lstFailed->setUniformRowHeights(true); // quick with thousands of rows
    lstFailed->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstFailed->setSortingEnabled(false); // rows are put in name order as they come
    lstFailed->header()->setStretchLastSection(true);
    lblFailed->setBuddy(lstFailed);

    cmdEdit = button("cmdEdit", tr("&Edit..."), this);
    cmdTune = button("cmdTune", tr("&Tune"), this);
    cmdUpdateAddress = button("cmdUpdateAddress", tr("&Update Address"), this);
    cmdUpdateAddress->setToolTip(tr("Asks the station directory for the address of a station added from it"));
    lblCategory = new QLabel(tr("Move to cate&gory:"), this);
    lblCategory->setObjectName(QStringLiteral("lblCategory"));
    cboCategory = new QComboBox(this);
    cboCategory->setObjectName(QStringLiteral("cboCategory"));
    cboCategory->setEditable(true);
    cboCategory->setInsertPolicy(QComboBox::NoInsert);
    cboCategory->lineEdit()->setMaxLength(kCategoryLength);
    cboCategory->setMinimumContentsLength(16);
    lblCategory->setBuddy(cboCategory);
    cmdMove = button("cmdMove", tr("&Move"), this);
    cmdDelete = button("cmdDelete", tr("&Delete"), this);
    cmdClose = button("cmdClose", tr("Close"), this);

    auto *scope = new QHBoxLayout;
    scope->addWidget(optAll);
    scope->addWidget(optViewed);
    scope->addStretch(1);
    scope->addWidget(cmdCheck);
    scope->addWidget(cmdStop);
    scope->addWidget(cmdCheckAgain);

    auto *actions = new QHBoxLayout;
    actions->addWidget(cmdEdit);
    actions->addWidget(cmdTune);
    actions->addWidget(cmdUpdateAddress);
    actions->addSpacing(12);
    actions->addWidget(lblCategory);
    actions->addWidget(cboCategory, 1);
    actions->addWidget(cmdMove);
    actions->addSpacing(12);
    actions->addWidget(cmdDelete);
    actions->addStretch(0);
    actions->addWidget(cmdClose);

    auto *page = new QVBoxLayout(this);
    page->addLayout(scope);
    page->addWidget(prgChecked);
    page->addWidget(lblSummary);
    page->addWidget(lblFailed);
    page->addWidget(lstFailed, 1);
    page->addLayout(actions);

    resize(760, 440);
    lstFailed->setColumnWidth(StationColumn, 200);
    lstFailed->setColumnWidth(CategoryColumn, 120);
    lstFailed->setColumnWidth(ReasonColumn, 130);

    connect(cmdCheck, &QPushButton::clicked, this, &frmCheckStations::cmdCheck_Click);
    connect(cmdStop, &QPushButton::clicked, this, &frmCheckStations::cmdStop_Click);
    connect(cmdCheckAgain, &QPushButton::clicked, this, &frmCheckStations::cmdCheckAgain_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmCheckStations::cmdEdit_Click);
    connect(cmdTune, &QPushButton::clicked, this, &frmCheckStations::cmdTune_Click);
    connect(cmdUpdateAddress, &QPushButton::clicked, this, &frmCheckStations::cmdUpdateAddress_Click);
    connect(cmdMove, &QPushButton::clicked, this, &frmCheckStations::cmdMove_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmCheckStations::cmdDelete_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(lstFailed, &QTreeWidget::itemActivated, this, &frmCheckStations::cmdTune_Click);
    connect(lstFailed, &QTreeWidget::itemSelectionChanged, this, &frmCheckStations::updateButtons);
    connect(&m_check, &StationCheck::checked, this, &frmCheckStations::checked);
    // Outcomes are stored in batches, and the progress shown a few times a second: a run of
    // thousands hands out hundreds of outcomes a second.
    m_storeTimer = new QTimer(this);
    m_storeTimer->setInterval(1000);
    connect(m_storeTimer, &QTimer::timeout, this, &frmCheckStations::storeOutcomes);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, &frmCheckStations::showProgress);
    connect(&m_check, &StationCheck::progress, m_progressTimer, [this] {
        if (!m_progressTimer->isActive())
            m_progressTimer->start();
    });
    connect(&m_check, &StationCheck::finished, this, [this] { runEnded(false); });

    PlainText::apply(this);
    updateButtons();
}

frmCheckStations::~frmCheckStations()
{
    m_check.stop();
    storeOutcomes();
}

void frmCheckStations::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    fillCategories();
    // The stored verdicts are the last check's: a run stopped by closing the window lists only
    // part of them.
    if (!m_check.running())
        showLastCheck();
}

void frmCheckStations::showLastCheck()
{
    QList<StationVerdicts::Failed> failed;
    QDateTime when;
    try {
        failed = StationVerdicts::failed(Module1::DatabasePath);
        when = StationVerdicts::lastChecked(*Database::open(Module1::DatabasePath));
    } catch (const RuntimeError &) {
        return; // nothing to show; a check can still be made
    }
    if (!when.isValid())
        return;
    std::sort(failed.begin(), failed.end(), [](const StationVerdicts::Failed &a, const StationVerdicts::Failed &b) {
        return Collation::compare(a.station.name, b.station.name) < 0;
    });
    QList<QTreeWidgetItem *> items;
    items.reserve(failed.size());
    for (const StationVerdicts::Failed &f : std::as_const(failed)) {
        auto *item = new QTreeWidgetItem;
        setRow(item, f.station);
        item->setText(ReasonColumn, f.reason);
        item->setToolTip(ReasonColumn, PlainText::toolTip(f.detail));
        items << item;
    }
    lstFailed->clear();
    lstFailed->addTopLevelItems(items);
    m_failed = int(items.size());
    lblSummary->setText(tr("Last checked %1").arg(QLocale().toString(when.toLocalTime(), QLocale::ShortFormat)) +
                        notAnswering(m_failed));
    updateButtons();
}

void frmCheckStations::storeOutcomes()
{
    if (m_unstored.isEmpty())
        return;
    const QList<StationCheck::Result> results = std::exchange(m_unstored, {});
    try {
        StationVerdicts::record(*Database::open(Module1::DatabasePath), results, QDateTime::currentDateTimeUtc());
    } catch (const RuntimeError &) {
        // Not kept beside the stations (a read-only file, a locked database): the list still shows them.
    }
}

void frmCheckStations::hideEvent(QHideEvent *event)
{
    // Closing the window ends the run; what was found stays listed.
    if (m_check.running()) {
        m_check.stop();
        runEnded(true);
    }
    if (m_lookup)
        m_lookup->abort();
    updateButtons();
    QDialog::hideEvent(event);
}

void frmCheckStations::fillCategories()
{
    const QString typed = cboCategory->currentText();
    QStringList names;
    try {
        const RecordsetPtr categories = Recordset::open(
            Database::open(Module1::DatabasePath), QStringLiteral("select Name from Category order by Name"), true);
        names = categories->columnTexts(QStringLiteral("Name"));
    } catch (const RuntimeError &) {
        // No names offered; one can still be typed.
    }
    cboCategory->clear();
    cboCategory->addItems(names);
    cboCategory->setEditText(typed.isEmpty() ? tr("Not answering") : typed);
}

void frmCheckStations::cmdCheck_Click()
{
    QString criteria;
    if (optViewed->isChecked()) {
        QString viewed = Module1::ViewCategories;
        criteria = categoryCriteria(viewed,
                                    Module1::FilterField.isEmpty() ? QStringLiteral("Category") : Module1::FilterField);
    }
    QList<StationCheck::Station> stations;
    try {
        stations = CheckStore::stations(Module1::DatabasePath, criteria);
    } catch (const RuntimeError &error) {
        MsgBox::show(tr("The stations cannot be read.\n\n%1").arg(error.text()), this);
        return;
    }
    run(std::move(stations));
}

void frmCheckStations::cmdCheckAgain_Click()
{
    if (m_check.running())
        return;
    storeOutcomes();
    QList<StationCheck::Station> stations;
    try {
        for (StationVerdicts::Failed &f : StationVerdicts::failed(Module1::DatabasePath))
            stations << std::move(f.station);
    } catch (const RuntimeError &error) {
        MsgBox::show(tr("The stations cannot be read.\n\n%1").arg(error.text()), this);
        return;
    }
    run(std::move(stations));
}

void frmCheckStations::run(QList<StationCheck::Station> stations)
{
    lstFailed->clear();
    m_failed = 0;
    m_unchecked = 0;
    m_recheck = false;
    if (stations.isEmpty()) {
        prgChecked->setRange(0, 1);
        prgChecked->setValue(0);
        lblSummary->setText(tr("There are no stations to check."));
        updateButtons();
        return;
    }
    m_storeTimer->start();
    m_check.start(std::move(stations));
    updateButtons();
}

void frmCheckStations::cmdStop_Click()
{
    if (!m_check.running())
        return;
    m_check.stop();
    runEnded(true);
}

void frmCheckStations::checked(const StationCheck::Result &result)
{
    m_unstored.append(result);
    if (!m_storeTimer->isActive())
        m_storeTimer->start();
    const AddressCheck::Outcome &outcome = result.outcome;
    if (!outcome.checked) {
        ++m_unchecked;
        return;
    }
    if (m_recheck) // a station the editor gave a new address
        lblSummary->setText(outcome.answers
                                ? tr("\"%1\" answers now.").arg(result.station.name)
                                : tr("\"%1\" still does not answer: %2.").arg(result.station.name, outcome.reason));
    if (outcome.answers)
        return;
    ++m_failed;
    // Into its place by name, after any of the same name.
    const QString &name = result.station.name;
    int low = 0;
    int high = lstFailed->topLevelItemCount();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (Collation::compare(lstFailed->topLevelItem(mid)->text(StationColumn), name) <= 0)
            low = mid + 1;
        else
            high = mid;
    }
    auto *item = new QTreeWidgetItem;
    setRow(item, result.station);
    item->setText(ReasonColumn, outcome.reason);
    item->setToolTip(ReasonColumn, PlainText::toolTip(outcome.detail));
    lstFailed->insertTopLevelItem(low, item);
}

void frmCheckStations::setRow(QTreeWidgetItem *item, const StationCheck::Station &station)
{
    item->setText(StationColumn, station.name);
    item->setData(StationColumn, kRowRole, station.rowid);
    item->setText(CategoryColumn, station.category);
    item->setText(AddressColumn, station.address);
    item->setData(AddressColumn, kAddressRole, station.address);
    item->setToolTip(AddressColumn, PlainText::toolTip(station.address));
}

StationCheck::Station frmCheckStations::stationOf(const QTreeWidgetItem *item)
{
    return {item->data(StationColumn, kRowRole).toLongLong(), item->text(StationColumn),
            item->data(AddressColumn, kAddressRole).toString(), item->text(CategoryColumn)};
}

void frmCheckStations::showProgress()
{
    prgChecked->setRange(0, qMax(1, m_check.total()));
    prgChecked->setValue(m_check.done());
    prgChecked->setTextVisible(true);
    if (m_check.running() && !m_recheck)
        lblSummary->setText(tr("Checked %1 of %2").arg(m_check.done()).arg(stationCount(m_check.total())) +
                            notAnswering(m_failed));
}

void frmCheckStations::runEnded(bool stopped)
{
    m_storeTimer->stop();
    m_progressTimer->stop();
    storeOutcomes();
    showProgress();
    if (std::exchange(m_recheck, false)) {
        updateButtons();
        return; // the summary tells how the one station did
    }
    QString text = stopped ? tr("Stopped after %1 of %2").arg(m_check.done()).arg(stationCount(m_check.total()))
                           : tr("Checked %1").arg(stationCount(m_check.total()));
    text += notAnswering(m_failed);
    if (m_unchecked > 0)
        text += QLatin1Char(' ') + tr("%1 cannot be checked without playing them.").arg(stationCount(m_unchecked));
    lblSummary->setText(text);
    updateButtons();
}

QList<QTreeWidgetItem *> frmCheckStations::chosenRows() const
{
    QList<QTreeWidgetItem *> rows = lstFailed->selectedItems();
    if (rows.isEmpty() && lstFailed->currentItem())
        rows << lstFailed->currentItem();
    return rows;
}

void frmCheckStations::updateButtons()
{
    const bool running = m_check.running();
    cmdCheck->setEnabled(!running);
    cmdStop->setEnabled(running);
    cmdCheckAgain->setEnabled(!running && lstFailed->topLevelItemCount() > 0);
    optAll->setEnabled(!running);
    optViewed->setEnabled(!running);
    const int chosen = int(lstFailed->selectedItems().size());
    cmdEdit->setEnabled(chosen == 1);
    cmdTune->setEnabled(chosen == 1);
    cmdUpdateAddress->setEnabled(chosen == 1 && !m_lookup && !directoryId().isEmpty());
    cmdMove->setEnabled(chosen > 0);
    cmdDelete->setEnabled(chosen > 0);
}

std::optional<StationCheck::Station> frmCheckStations::storedNow(const QTreeWidgetItem *item)
{
    std::optional<StationCheck::Station> now = CheckStore::station(Module1::DatabasePath, stationOf(item).rowid);
    if (now && !Collation::sameName(now->name, item->text(StationColumn)))
        now.reset(); // the row holds another station now
    return now;
}

void frmCheckStations::cmdTune_Click()
{
    QTreeWidgetItem *item = lstFailed->currentItem();
    if (!item)
        return;
    // The address as stored now: it may have been mended since the check.
    std::optional<StationCheck::Station> station;
    try {
        station = storedNow(item);
    } catch (const RuntimeError &error) {
        MsgBox::show(error.text(), this);
        return;
    }
    if (!station) {
        MsgBox::show(tr("The station \"%1\" is no longer stored.").arg(item->text(StationColumn)), this);
        delete item;
        return;
    }
    emit tuneRequested(station->name, station->address);
}

void frmCheckStations::cmdEdit_Click()
{
    QTreeWidgetItem *item = lstFailed->currentItem();
    if (!item)
        return;
    const StationCheck::Station listed = stationOf(item);
    RecordsetPtr stations;
    try {
        const RecordsetPtr table =
            Recordset::open(Database::open(Module1::DatabasePath), QStringLiteral("Station"), false);
        table->setSort(QStringLiteral("SName"));
        stations = table->OpenRecordset();
        stations->FindFirst(stationNameCriteria(listed.name));
    } catch (const RuntimeError &error) {
        MsgBox::show(error.text(), this);
        return;
    }
    if (stations->NoMatch()) {
        MsgBox::show(tr("The station \"%1\" is no longer stored.").arg(listed.name), this);
        delete item;
        return;
    }
    if (!m_editorStations) {
        m_editorStations = new Data(this);
        m_editorStations->setObjectName(QStringLiteral("datEditorStations"));
        m_editorStations->setVisible(false);
        m_editor = new frmStation(m_editorStations, this);
    }
    m_editorStations->setDatabaseName(Module1::DatabasePath);
    m_editorStations->setRecordset(stations);
    m_editor->exec();
    m_editorStations->setRecordset(nullptr);
    emit stationsChanged();

    // The row follows what the editor did to the station: gone, renamed, or a new address
    // that is checked at once.
    std::optional<StationCheck::Station> now;
    try {
        now = CheckStore::station(Module1::DatabasePath, listed.rowid);
    } catch (const RuntimeError &) {
        return; // the row stays as it was
    }
    // The row may have gone while the editor was open (a new check cleared the list).
    const QList<QTreeWidgetItem *> rows = lstFailed->findItems(listed.name, Qt::MatchExactly, StationColumn);
    QTreeWidgetItem *row = rows.isEmpty() ? nullptr : rows.first();
    if (!now) {
        delete row;
    } else if (now->address != listed.address) {
        delete row;
        checkAgain(*now);
    } else if (row) {
        setRow(row, *now);
    }
    fillCategories();
    updateButtons();
}

void frmCheckStations::cmdMove_Click()
{
    const QString category = cboCategory->currentText().trimmed();
    if (category.isEmpty()) {
        MsgBox::show(tr("Type or choose the category the stations go to."), this);
        cboCategory->setFocus();
        return;
    }
    const QList<QTreeWidgetItem *> rows = chosenRows();
    QList<StationCheck::Station> stations;
    for (const QTreeWidgetItem *row : rows)
        stations << stationOf(row);
    try {
        const int moved = CheckStore::moveTo(Module1::DatabasePath, stations, category);
        lblSummary->setText(tr("Moved %1 to \"%2\".").arg(stationCount(moved), category));
    } catch (const RuntimeError &error) {
        MsgBox::show(tr("The stations cannot be moved to \"%1\".\n\n%2").arg(category, error.text()), this);
        return;
    }
    // Each row shows the category its station has now.
    for (QTreeWidgetItem *row : rows) {
        try {
            if (const std::optional<StationCheck::Station> now = storedNow(row))
                row->setText(CategoryColumn, now->category);
        } catch (const RuntimeError &) {
        }
    }
    emit stationsChanged();
    fillCategories();
    cboCategory->setEditText(category);
}

void frmCheckStations::cmdDelete_Click()
{
    const QList<QTreeWidgetItem *> rows = chosenRows();
    if (rows.isEmpty())
        return;
    const QString question = rows.size() == 1 ? tr("Delete the station \"%1\"?").arg(rows.first()->text(StationColumn))
                                              : tr("Delete the %1 chosen stations?").arg(rows.size());
    if (MsgBox::askYesNo(question, this) != MsgBox::Answer::Yes)
        return;
    QList<StationCheck::Station> stations;
    for (const QTreeWidgetItem *row : rows)
        stations << stationOf(row);
    try {
        const int deleted = CheckStore::remove(Module1::DatabasePath, stations);
        lblSummary->setText(tr("Deleted %1.").arg(stationCount(deleted)));
    } catch (const RuntimeError &error) {
        MsgBox::show(tr("The stations cannot be deleted.\n\n%1").arg(error.text()), this);
        return;
    }
    // A row goes when its station went (a station changed since the check stays).
    for (QTreeWidgetItem *row : rows) {
        try {
            if (!storedNow(row))
                delete row;
        } catch (const RuntimeError &) {
        }
    }
    emit stationsChanged();
    updateButtons();
}

void frmCheckStations::checkAgain(const StationCheck::Station &station)
{
    m_recheck = !m_check.running();
    m_check.add(station);
}

QString frmCheckStations::directoryId() const
{
    const QList<QTreeWidgetItem *> rows = lstFailed->selectedItems();
    if (rows.size() != 1)
        return QString();
    try {
        return StationLinks::uuidFor(*Database::open(Module1::DatabasePath), rows.first()->text(StationColumn));
    } catch (const RuntimeError &) {
        return QString();
    }
}

void frmCheckStations::cmdUpdateAddress_Click()
{
    QTreeWidgetItem *item = lstFailed->currentItem();
    const QString uuid = directoryId();
    if (!item || uuid.isEmpty() || m_lookup)
        return;
    if (!m_directory)
        m_directory = new DirectoryClient(DirectoryServers::session(), this);
    const StationCheck::Station listed = stationOf(item);
    DirectoryRequest *request = m_directory->stationsByUuid({uuid});
    m_lookup = request;
    connect(request, &DirectoryRequest::finished, this, [this, listed, request] { addressFound(listed, request); });
    lblSummary->setText(tr("Asking the station directory for the address of \"%1\"...").arg(listed.name));
    updateButtons();
}

void frmCheckStations::addressFound(const StationCheck::Station &listed, DirectoryRequest *request)
{
    m_lookup = nullptr;
    updateButtons();
    if (!request->succeeded()) {
        MsgBox::show(tr("The station directory cannot be asked.\n\n%1").arg(request->errorText()), this);
        return;
    }
    if (request->stations().isEmpty()) {
        MsgBox::show(tr("The station directory no longer lists \"%1\".").arg(listed.name), this);
        return;
    }
    try {
        // The directory's logo for the station comes along, whatever is done with the address.
        StationLogos::setAddress(*Database::open(Module1::DatabasePath), listed.name,
                                 request->stations().first().favicon);
    } catch (const RuntimeError &) {
        // The logo is a nicety: the address is what was asked for.
    }
    QString reason;
    const QString address = DirectoryStations::streamAddress(request->stations().first(), &reason);
    if (address.isEmpty()) {
        MsgBox::show(tr("The station directory's address for \"%1\" cannot be used: %2.").arg(listed.name, reason),
                     this);
        return;
    }
    if (address == listed.address) {
        MsgBox::show(tr("The station directory has no other address for \"%1\".").arg(listed.name), this);
        return;
    }
    if (MsgBox::askYesNo(tr("The station directory gives \"%1\" another address:\n\n%2\n\nUse it in place of the "
                            "stored one?\n\n%3")
                             .arg(listed.name, address, listed.address),
                         this) != MsgBox::Answer::Yes)
        return;
    try {
        if (!CheckStore::setAddress(Module1::DatabasePath, listed, address)) {
            MsgBox::show(tr("The station \"%1\" is no longer stored.").arg(listed.name), this);
            return;
        }
    } catch (const RuntimeError &error) {
        MsgBox::show(tr("The address of \"%1\" cannot be changed.\n\n%2").arg(listed.name, error.text()), this);
        return;
    }
    emit stationsChanged();
    for (int i = 0; i < lstFailed->topLevelItemCount(); ++i)
        if (stationOf(lstFailed->topLevelItem(i)).rowid == listed.rowid) {
            delete lstFailed->topLevelItem(i);
            break;
        }
    StationCheck::Station changed = listed;
    changed.address = address;
    checkAgain(changed);
    updateButtons();
}
