#include "timers/frmTimer.h"

#include "app/MsgBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QVBoxLayout>

frmTimer::frmTimer(const Timer &timer, const QStringList &stations, Check check, QWidget *parent)
    : QDialog(parent), m_timer(timer), m_check(std::move(check))
{
    setObjectName(QStringLiteral("frmTimer"));
    setWindowTitle(timer.id == 0 ? tr("Add Timer") : tr("Edit Timer"));

    cboKind = new QComboBox(this);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    cboKind->addItems({TimerRules::kindText(Timer::Kind::WakeUp), TimerRules::kindText(Timer::Kind::Record)});
    cboKind->setCurrentIndex(timer.kind == Timer::Kind::Record ? 1 : 0);
    txtName = new QLineEdit(timer.name, this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setMaxLength(Timer::MaxNameLength);
    txtName->setPlaceholderText(tr("The station's name"));
    cboStation = new QComboBox(this);
    cboStation->setObjectName(QStringLiteral("cboStation"));
    cboStation->addItems(stations);
    if (!timer.station.isEmpty()) {
        if (cboStation->findText(timer.station) < 0)
            cboStation->addItem(timer.station); // a station since deleted stays as it was
        cboStation->setCurrentText(timer.station);
    }

    optOnce = new QRadioButton(tr("&Once on"), this);
    optOnce->setObjectName(QStringLiteral("optOnce"));
    dtpDate = new QDateEdit(timer.date.isValid() ? timer.date : QDate::currentDate(), this);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setCalendarPopup(true);
    dtpDate->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    dtpDate->setAccessibleName(tr("Date"));
    optRepeat = new QRadioButton(tr("&Every"), this);
    optRepeat->setObjectName(QStringLiteral("optRepeat"));
    (timer.repeats() ? optRepeat : optOnce)->setChecked(true);
    auto *days = new QHBoxLayout;
    for (int i = 0; i < 7; ++i) {
        chkDay[i] = new QCheckBox(QLocale().dayName(i + 1, QLocale::ShortFormat), this);
        chkDay[i]->setObjectName(QStringLiteral("chkDay%1").arg(i));
        chkDay[i]->setChecked(timer.days & (1 << i));
        days->addWidget(chkDay[i]);
        connect(chkDay[i], &QCheckBox::toggled, this, [this](bool on) {
            if (on)
                optRepeat->setChecked(true);
        });
    }
    connect(dtpDate, &QDateEdit::dateChanged, this, [this] { optOnce->setChecked(true); });

    tmeTime = new QTimeEdit(timer.time.isValid() ? timer.time : QTime(7, 0), this);
    tmeTime->setObjectName(QStringLiteral("tmeTime"));
    tmeTime->setDisplayFormat(QStringLiteral("HH:mm"));
    txtMinutes = new QSpinBox(this);
    txtMinutes->setObjectName(QStringLiteral("txtMinutes"));
    txtMinutes->setRange(0, Timer::MaxMinutes);
    txtMinutes->setSuffix(tr(" min"));
    txtMinutes->setSpecialValueText(tr("Plays on"));
    txtMinutes->setValue(timer.minutes);
    txtVolume = new QSpinBox(this);
    txtVolume->setObjectName(QStringLiteral("txtVolume"));
    txtVolume->setRange(1, 100);
    txtVolume->setValue(timer.volume);
    chkSplit = new QCheckBox(tr("A file for each &title"), this);
    chkSplit->setObjectName(QStringLiteral("chkSplit"));
    chkSplit->setChecked(timer.splitByTitle);

    auto *form = new QFormLayout;
    const auto row = [&](const QString &caption, QWidget *field) {
        auto *label = new QLabel(caption, this);
        label->setBuddy(field);
        field->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        form->addRow(label, field);
    };
    row(tr("&Kind:"), cboKind);
    row(tr("&Name:"), txtName);
    row(tr("&Station:"), cboStation);
    form->addRow(optOnce, dtpDate);
    form->addRow(optRepeat, days);
    row(tr("T&ime:"), tmeTime);
    row(tr("&Length:"), txtMinutes);
    row(tr("&Volume:"), txtVolume);
    form->addRow(QString(), chkSplit);

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(tr("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmTimer::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cboKind, &QComboBox::currentIndexChanged, this, &frmTimer::showKind);
    showKind();
}

void frmTimer::showKind()
{
    const bool record = cboKind->currentIndex() == 1;
    // A recording needs a length; a wake-up without one plays on.
    txtMinutes->setMinimum(record ? 1 : 0);
    if (record && txtMinutes->value() < 60 && m_timer.minutes == 0)
        txtMinutes->setValue(60);
    txtVolume->setEnabled(!record);
    chkSplit->setEnabled(record);
}

Timer frmTimer::timer() const
{
    Timer t = m_timer;
    t.kind = cboKind->currentIndex() == 1 ? Timer::Kind::Record : Timer::Kind::WakeUp;
    t.name = txtName->text().trimmed();
    t.station = cboStation->currentText();
    t.time = QTime(tmeTime->time().hour(), tmeTime->time().minute());
    t.days = 0;
    if (optRepeat->isChecked()) {
        for (int i = 0; i < 7; ++i) {
            if (chkDay[i]->isChecked())
                t.days |= 1 << i;
        }
    }
    t.date = t.days == 0 ? dtpDate->date() : QDate();
    t.minutes = txtMinutes->value();
    t.volume = txtVolume->value();
    t.splitByTitle = chkSplit->isChecked();
    return t;
}

void frmTimer::cmdOK_Click()
{
    const Timer t = timer();
    if (optRepeat->isChecked() && t.days == 0) {
        MsgBox::show(tr("Tick the days the timer repeats on."), this);
        return;
    }
    if (const QString why = m_check ? m_check(t) : QString(); !why.isEmpty()) {
        MsgBox::show(why, this);
        return;
    }
    accept();
}
