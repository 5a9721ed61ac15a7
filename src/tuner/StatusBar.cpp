#include "StatusBar.h"
#include "app/PlainText.h"

#include "app/Accessibility.h"

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
    // Each panel is read by the text it shows; its description says what that is.
    Accessibility::readAsShown(m_panels[0], tr("Category"));
    Accessibility::readAsShown(m_panels[1], tr("Date"));
    Accessibility::readAsShown(m_panels[2], tr("Time"));
    m_panels[1]->setAlignment(Qt::AlignCenter);
    m_panels[2]->setAlignment(Qt::AlignCenter);
    addWidget(m_panels[0], 1);
    addPermanentWidget(m_panels[1]);
    addPermanentWidget(m_panels[2]);

    // The clock panels follow the wall clock: the timer wakes just after each minute begins
    // (the panels show no seconds), and is set anew each time, so it follows changes of the clock.
    m_clock.setSingleShot(true);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &StatusBar::showClock);
    showClock();
    PlainText::apply(this); // what the labels show is data, never markup
}

QLabel *StatusBar::Panels(int index) const
{
    return index >= 1 && index <= 3 ? m_panels[index - 1] : nullptr;
}

QString StatusBar::text() const
{
    return m_panels[0]->text();
}

void StatusBar::setText(const QString &text)
{
    showText(text, tr("Category"));
}

void StatusBar::showPrompt(const QString &text)
{
    showText(text, tr("Prompt"));
}

void StatusBar::showText(const QString &text, const QString &what)
{
    if (m_panels[0]->accessibleDescription() != what)
        m_panels[0]->setAccessibleDescription(what);
    m_panels[0]->setText(text);
}

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
    const int msIntoMinute = now.time().second() * 1000 + now.time().msec();
    m_clock.start(60000 - msIntoMinute + 20);
}
