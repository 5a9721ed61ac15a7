#include "directory/frmFindStations.h"

#include "directory/DirectoryStations.h"

#include "app/Accessibility.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/PlainText.h"
#include "data/Collation.h"
#include "data/Database.h"
#include "data/Statement.h"
#include "pictures/LogoIcons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLineEdit *textBox(QFormLayout *form, const QString &label, const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setMaxLength(200);
    auto *caption = new QLabel(label, parent);
    caption->setBuddy(box);
    form->addRow(caption, box);
    return box;
}

QString formatText(const DirectoryStation &s)
{
    if (s.bitrate > 0)
        return s.codec.isEmpty() ? QStringLiteral("%1 kbit/s").arg(s.bitrate)
                                 : QStringLiteral("%1 %2 kbit/s").arg(s.codec).arg(s.bitrate);
    return s.codec;
}

} // namespace

frmFindStations::frmFindStations(Listen listen, QWidget *parent)
    : QDialog(parent), m_listen(std::move(listen)), m_client(new DirectoryClient(DirectoryServers::session(), this))
{
    setObjectName(QStringLiteral("frmFindStations"));
    setWindowTitle(tr("Find Stations"));
    setModal(true);

    auto *form = new QFormLayout;
    txtSearch = textBox(form, tr("&Search:"), "txtSearch", this);
    txtSearch->setAccessibleName(tr("Search"));
    txtTag = textBox(form, tr("&Tag:"), "txtTag", this);
    txtCountry = textBox(form, tr("C&ountry:"), "txtCountry", this);
    txtCountry->setToolTip(tr("A country code (DE) or a country's name"));
    cboOrder = new QComboBox(this);
    cboOrder->setObjectName(QStringLiteral("cboOrder"));
    cboOrder->addItems({tr("Most votes"), tr("Most listened"), tr("Name"), tr("Bit rate")});
    auto *orderLabel = new QLabel(tr("O&rder:"), this);
    orderLabel->setBuddy(cboOrder);
    form->addRow(orderLabel, cboOrder);
    chkHideBroken = new QCheckBox(tr("&Hide stations that do not answer"), this);
    chkHideBroken->setObjectName(QStringLiteral("chkHideBroken"));
    chkHideBroken->setChecked(true);
    cmdSearch = new QPushButton(tr("S&earch"), this);
    cmdSearch->setObjectName(QStringLiteral("cmdSearch"));
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(chkHideBroken);
    searchRow->addStretch();
    searchRow->addWidget(cmdSearch);
    form->addRow(searchRow);

    grdResults = new QTableWidget(0, ColumnCount, this);
    grdResults->setObjectName(QStringLiteral("grdResults"));
    grdResults->setAccessibleName(tr("Stations found"));
    grdResults->setHorizontalHeaderLabels({tr("Name"), tr("Country"), tr("Tags"), tr("Format"), tr("Votes")});
    grdResults->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdResults->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdResults->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdResults->setWordWrap(false);
    grdResults->verticalHeader()->hide();
    grdResults->verticalHeader()->setDefaultSectionSize(grdResults->fontMetrics().height() + 6);
    grdResults->horizontalHeader()->setStretchLastSection(false);
    grdResults->horizontalHeader()->setSectionResizeMode(ColName, QHeaderView::Stretch);
    grdResults->setColumnWidth(ColCountry, 120);
    grdResults->setColumnWidth(ColTags, 160);
    grdResults->setColumnWidth(ColFormat, 110);
    grdResults->setColumnWidth(ColVotes, 60);
    // Each station's logo beside its name, fetched for the rows in view.
    new LogoIcons(grdResults, ColName,
                  [this](int row) { return row < m_results.size() ? m_results[row].favicon : QString(); });

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    cmdMore = new QPushButton(tr("&More"), this);
    cmdMore->setObjectName(QStringLiteral("cmdMore"));
    auto *countRow = new QHBoxLayout;
    countRow->addWidget(lblCount, 1);
    countRow->addWidget(cmdMore);

    lblMessage = new QLabel(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setWordWrap(true);

    cboCategory = new QComboBox(this);
    cboCategory->setObjectName(QStringLiteral("cboCategory"));
    auto *categoryLabel = new QLabel(tr("Cate&gory:"), this);
    categoryLabel->setBuddy(cboCategory);
    cmdListen = new QPushButton(tr("&Listen"), this);
    cmdListen->setObjectName(QStringLiteral("cmdListen"));
    cmdAdd = new QPushButton(tr("&Add"), this);
    cmdAdd->setObjectName(QStringLiteral("cmdAdd"));
    cmdClose = new QPushButton(tr("&Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdListen);
    buttons->addSpacing(12);
    buttons->addWidget(categoryLabel);
    buttons->addWidget(cboCategory, 1);
    buttons->addWidget(cmdAdd);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(grdResults, 1);
    layout->addLayout(countRow);
    layout->addWidget(lblMessage);
    layout->addLayout(buttons);
    resize(720, 560);

    // Enter in a search box searches; Search is the default button only while no other
    // button has the focus.
    cmdSearch->setAutoDefault(true);
    cmdSearch->setDefault(true);
    for (QPushButton *b : {cmdMore, cmdListen, cmdAdd, cmdClose})
        b->setAutoDefault(false);

    connect(cmdSearch, &QPushButton::clicked, this, &frmFindStations::cmdSearch_Click);
    connect(cmdMore, &QPushButton::clicked, this, &frmFindStations::cmdMore_Click);
    connect(cmdListen, &QPushButton::clicked, this, &frmFindStations::cmdListen_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmFindStations::cmdAdd_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(grdResults, &QTableWidget::itemSelectionChanged, this, &frmFindStations::updateButtons);
    connect(grdResults, &QTableWidget::cellDoubleClicked, this, &frmFindStations::cmdListen_Click);
    // Scrolling to the end fetches the next page.
    connect(grdResults->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (value > 0 && value == grdResults->verticalScrollBar()->maximum() && m_morePages && !m_request)
            fetchPage();
    });

    grdResults->installEventFilter(this);
    Accessibility::readAsShown(lblCount, tr("Stations shown"));
    Accessibility::readAsShown(lblMessage, tr("Message"));
    PlainText::apply(this);
    updateButtons();
}

bool frmFindStations::eventFilter(QObject *watched, QEvent *event)
{
    // Enter on a result does what a double click does: it listens.
    if (watched == grdResults && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            cmdListen_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

frmFindStations::~frmFindStations() = default;

void frmFindStations::showEvent(QShowEvent *event)
{
    fillCategories();
    QDialog::showEvent(event);
    txtSearch->setFocus();
}

void frmFindStations::fillCategories()
{
    const QString chosen = cboCategory->currentText();
    QStringList names;
    try {
        auto db = Database::open(Module1::DatabasePath);
        Statement st(*db, QStringLiteral("select Name from Category where Name is not null and Name <> ''"));
        while (st.step())
            names << st.column(0).toString();
    } catch (const RuntimeError &e) {
        showMessage(e.text());
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const QString &a, const QString &b) { return Collation::compare(a, b) < 0; });
    cboCategory->clear();
    cboCategory->addItems(names);
    // The category chosen before, else the first one viewed, else the first one.
    QString wanted = chosen;
    if (wanted.isEmpty())
        wanted = Module1::ViewCategories.split(QLatin1Char(','), Qt::SkipEmptyParts).value(0).trimmed();
    for (int i = 0; i < names.size(); ++i)
        if (Collation::sameName(names[i], wanted))
            cboCategory->setCurrentIndex(i);
    updateButtons();
}

void frmFindStations::cmdSearch_Click()
{
    m_search = DirectorySearch();
    m_search.name = txtSearch->text();
    m_search.tag = txtTag->text();
    m_search.country = txtCountry->text();
    m_search.order = DirectorySearch::Order(std::max(0, cboOrder->currentIndex()));
    m_search.hideBroken = chkHideBroken->isChecked();
    m_search.offset = 0;
    if (m_request)
        m_request->abort();
    m_results.clear();
    grdResults->setRowCount(0);
    m_morePages = false;
    fetchPage();
}

void frmFindStations::cmdMore_Click()
{
    if (m_morePages && !m_request)
        fetchPage();
}

void frmFindStations::fetchPage()
{
    m_search.offset = int(m_results.size());
    showMessage(QString());
    lblCount->setText(tr("Searching..."));
    DirectoryRequest *request = m_client->search(m_search);
    m_request = request;
    connect(request, &DirectoryRequest::finished, this, [this, request] { pageArrived(request); });
    updateButtons();
}

void frmFindStations::pageArrived(DirectoryRequest *request)
{
    if (request != m_request)
        return;
    m_request = nullptr;
    if (!request->succeeded()) {
        showMessage(request->errorText());
    } else {
        const QList<DirectoryStation> &page = request->stations();
        m_morePages = page.size() >= m_search.limit;
        grdResults->setUpdatesEnabled(false);
        for (const DirectoryStation &s : page) {
            m_results.append(s);
            appendRow(s);
        }
        grdResults->setUpdatesEnabled(true);
        if (m_results.size() == page.size() && !page.isEmpty())
            grdResults->selectRow(0);
    }
    showCount();
    updateButtons();
}

void frmFindStations::appendRow(const DirectoryStation &s)
{
    const int row = grdResults->rowCount();
    grdResults->insertRow(row);
    const QString country = s.country.isEmpty() ? s.countryCode : s.country;
    QStringList tags = s.tags.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString &tag : tags)
        tag = tag.trimmed();
    const QStringList texts = {s.name, country, tags.join(QStringLiteral(", ")), formatText(s),
                               QString::number(s.votes)};
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(texts[column]);
        item->setToolTip(PlainText::toolTip(texts[column]));
        // A station that did not answer the directory's last check (shown when the box to
        // hide them is cleared) stands in grey.
        if (!s.lastCheckOk) {
            item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
            item->setToolTip(PlainText::toolTip(texts[column] + QLatin1Char('\n') +
                                                tr("This station did not answer the directory's last check.")));
        }
        if (column == ColVotes)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grdResults->setItem(row, column, item);
    }
}

void frmFindStations::showCount()
{
    const qsizetype n = m_results.size();
    if (n == 0)
        lblCount->setText(lblMessage->text().isEmpty() ? tr("No station found") : QString());
    else
        lblCount->setText(n == 1 ? tr("1 station") : tr("%1 stations").arg(n));
}

void frmFindStations::showMessage(const QString &text)
{
    lblMessage->setText(text);
    lblMessage->setVisible(!text.isEmpty());
}

void frmFindStations::updateButtons()
{
    const bool selected = !selectedRows().isEmpty();
    cmdListen->setEnabled(selected);
    cmdAdd->setEnabled(selected && cboCategory->count() > 0);
    cmdMore->setEnabled(m_morePages && !m_request);
}

QList<int> frmFindStations::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : grdResults->selectionModel()->selectedRows())
        if (index.row() < m_results.size())
            rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void frmFindStations::cmdListen_Click()
{
    int row = grdResults->currentRow();
    const QList<int> rows = selectedRows();
    if (!rows.contains(row))
        row = rows.value(0, -1);
    if (row < 0)
        return;
    const DirectoryStation &s = m_results[row];
    QString reason;
    const QString address = DirectoryStations::streamAddress(s, &reason);
    if (address.isEmpty()) {
        showMessage(tr("\"%1\" cannot be played: %2.").arg(s.name, reason));
        return;
    }
    showMessage(QString());
    if (m_listen)
        m_listen(s.name, address);
    m_client->countClick(s.uuid); // one play, one click
}

void frmFindStations::cmdAdd_Click()
{
    const QString category = cboCategory->currentText();
    QList<DirectoryStation> chosen;
    for (int row : selectedRows())
        chosen << m_results[row];
    if (chosen.isEmpty() || category.isEmpty())
        return;
    QList<DirectoryStations::Outcome> outcomes;
    try {
        outcomes = DirectoryStations::add(Database::open(Module1::DatabasePath), chosen, category);
    } catch (const RuntimeError &e) {
        MsgBox::show(tr("No station was added: %1").arg(e.text()), this);
        return;
    }
    QStringList added, passed;
    for (const auto &o : outcomes) {
        if (o.added)
            added << o.name;
        else
            passed << tr("%1: %2.").arg(o.name, o.reason);
    }
    QString text =
        added.isEmpty() ? tr("No station was added to %1.").arg(category)
        : added.size() == 1
            ? tr("1 station was added to %1: %2.").arg(category, added.first())
            : tr("%1 stations were added to %2: %3.").arg(added.size()).arg(category, added.join(QStringLiteral(", ")));
    if (!passed.isEmpty())
        text += QStringLiteral("\n\n") + tr("Passed over:") + QLatin1Char('\n') + passed.join(QLatin1Char('\n'));
    MsgBox::show(text, this);
}
