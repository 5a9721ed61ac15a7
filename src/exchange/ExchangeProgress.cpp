#include "ExchangeProgress.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QStatusBar>

ExchangeProgress::ExchangeProgress(QStatusBar *statusBar, QProgressBar *bar) : m_statusBar(statusBar), m_bar(bar) {}

void ExchangeProgress::start(qint64 total)
{
    m_total = total;
    m_updates = 0;
    // The bar counts in thousandths so that any number of records fits its int range.
    m_bar->setRange(0, 1000);
    m_bar->setValue(0);
    m_bar->setVisible(true);
    m_clock.start();
    QCoreApplication::processEvents();
}

void ExchangeProgress::show(qint64 done, const QString &text)
{
    m_statusBar->showMessage(text);
    if (m_total > 0)
        m_bar->setValue(int(done * 1000 / m_total));
    ++m_updates;
    QCoreApplication::processEvents();
    m_clock.restart();
}

void ExchangeProgress::finish(const QString &text)
{
    m_bar->setValue(m_bar->maximum());
    m_bar->setVisible(false);
    m_statusBar->showMessage(text);
    QCoreApplication::processEvents();
}
