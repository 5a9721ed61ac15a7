#include "StatusBar.h"
#include "app/PlainText.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>

StatusBar::StatusBar(QWidget *parent) : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(QStringLiteral("Panel(%1)").arg(i + 1));
        m_panels[i]->setFrameShape(QFrame::Panel);
        m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_panels[i]->setContentsMargins(3, 0, 3, 0);
    }
    m_panels[0]->setAccessibleName(tr("Status"));
    m_panels[1]->setAccessibleName(tr("Date"));
    m_panels[2]->setAccessibleName(tr("Time"));
    m_panels[1]->setAlignment(Qt::AlignCenter);
    m_panels[2]->setAlignment(Qt::AlignCenter);
    addWidget(m_panels[0], 1);
    addPermanentWidget(m_panels[1]);
    addPermanentWidget(m_panels[2]);

    // The clock panels follow the wall clock; one tick a second keeps the minute exact to the second.
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &StatusBar::showClock);
    m_clock.start();
    showClock();
    PlainText::apply(this);   // what the labels show is data, never markup
}

QLabel *StatusBar::Panels(int index) const
{
    return index >= 1 && index <= 3 ? m_panels[index - 1] : nullptr;
}

QString StatusBar::text() const { return m_panels[0]->text(); }

void StatusBar::setText(const QString &text) { m_panels[0]->setText(text); }

void StatusBar::showClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    // Hours and minutes in the user's form.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QStringLiteral(":ss"));
    const QString time = locale.toString(now.time(), format);
    if (m_panels[1]->text() != date)
        m_panels[1]->setText(date);
    if (m_panels[2]->text() != time)
        m_panels[2]->setText(time);
}
