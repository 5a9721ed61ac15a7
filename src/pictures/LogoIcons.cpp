#include "pictures/LogoIcons.h"

#include "pictures/LogoFetcher.h"

#include <QEvent>
#include <QHeaderView>
#include <QPixmap>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>

LogoIcons::LogoIcons(QTableWidget *table, int column, AddressOf addressOf, LogoFetcher *fetcher)
    : QObject(table), m_table(table), m_column(column), m_addressOf(std::move(addressOf)), m_fetcher(fetcher),
      m_soon(new QTimer(this))
{
    const int side = qMax(12, table->verticalHeader()->defaultSectionSize() - 4);
    m_size = QSize(side, side);
    m_table->setIconSize(m_size);
    m_soon->setSingleShot(true);
    m_soon->setInterval(60);
    connect(m_soon, &QTimer::timeout, this, &LogoIcons::askForRowsInView);
    auto soon = [this] { m_soon->start(); };
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, soon);
    connect(m_table->model(), &QAbstractItemModel::rowsInserted, this, soon);
    connect(m_table->model(), &QAbstractItemModel::rowsRemoved, this, [this] {
        // A new list: the icons of the old one are let go.
        if (m_table->rowCount() == 0) {
            m_asked.clear();
            m_icons.clear();
        }
    });
    m_viewport = m_table->viewport();
    m_viewport->installEventFilter(this);
}

bool LogoIcons::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_viewport && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        m_soon->start();
    return QObject::eventFilter(watched, event);
}

void LogoIcons::askForRowsInView()
{
    if (!m_table->isVisible())
        return;
    const auto [first, last] = rowsInView();
    for (int row = first; row >= 0 && row <= last; ++row) {
        const QString address = m_addressOf(row);
        if (address.isEmpty())
            continue;
        if (m_icons.contains(address)) {
            if (QTableWidgetItem *item = m_table->item(row, m_column); item && item->icon().isNull())
                item->setIcon(m_icons.value(address));
            continue;
        }
        if (m_asked.contains(address))
            continue;
        m_asked.insert(address);
        fetcher()->request(address, pixelSize());
    }
}

QSize LogoIcons::pixelSize() const
{
    return m_size * m_table->devicePixelRatioF();
}

LogoFetcher *LogoIcons::fetcher()
{
    if (m_connected)
        return m_fetcher;
    m_connected = true;
    if (!m_fetcher)
        m_fetcher = LogoFetcher::instance();
    connect(m_fetcher, &LogoFetcher::ready, this,
            [this](const QString &address, const QSize &size, const QString &, const QImage &image) {
                if (size != pixelSize() || !m_asked.contains(address))
                    return;
                QPixmap pixmap = QPixmap::fromImage(image);
                pixmap.setDevicePixelRatio(m_table->devicePixelRatioF());
                place(address, QIcon(pixmap));
            });
    return m_fetcher;
}

std::pair<int, int> LogoIcons::rowsInView() const
{
    const int first = m_table->rowAt(0);
    const int last = m_table->rowAt(m_table->viewport()->height() - 1);
    if (first < 0)
        return {-1, -2};
    return {first, last < 0 ? m_table->rowCount() - 1 : last};
}

void LogoIcons::place(const QString &address, const QIcon &icon)
{
    // Rows out of view get theirs when they come into view.
    m_icons.insert(address, icon);
    const auto [first, last] = rowsInView();
    for (int row = first; row >= 0 && row <= last; ++row)
        if (QTableWidgetItem *item = m_table->item(row, m_column); item && m_addressOf(row) == address)
            item->setIcon(icon);
}
