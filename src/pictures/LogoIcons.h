#pragma once

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSize>
#include <QString>

#include <functional>
#include <utility>

class LogoFetcher;
class QTableWidget;
class QTimer;

// Small logos beside the names of a table's rows, fetched only for the rows in view: scrolling,
// resizing or new rows ask for the rows that came into view, a moment after the last change.
// The icons are kept small (the row's height), so many rows cost little memory.
class LogoIcons : public QObject
{
    Q_OBJECT
public:
    using AddressOf = std::function<QString(int row)>;

    LogoIcons(QTableWidget *table, int column, AddressOf addressOf, LogoFetcher *fetcher = nullptr);

    QSize iconSize() const { return m_size; }
    // The addresses asked for so far (tests and benchmarks look).
    int requested() const { return int(m_asked.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void askForRowsInView();
    void place(const QString &address, const QIcon &icon);
    LogoFetcher *fetcher(); // made and connected on first use
    QSize pixelSize() const;
    std::pair<int, int> rowsInView() const; // first and last, or first < 0 for none

    QTableWidget *m_table;
    QObject *m_viewport = nullptr; // compared only: it may be going with the table
    int m_column;
    AddressOf m_addressOf;
    QPointer<LogoFetcher> m_fetcher;
    QTimer *m_soon;
    QSize m_size;
    QSet<QString> m_asked;
    QHash<QString, QIcon> m_icons;
    bool m_connected = false;
};
