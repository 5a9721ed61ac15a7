#include "listening/frmSleepTimer.h"

#include "listening/SleepTimer.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {
constexpr std::array<int, 5> kOffered{15, 30, 45, 60, 90};
}

MinutesBox::MinutesBox(QWidget *parent) : QSpinBox(parent)
{
    setRange(SleepTimer::MinMinutes, SleepTimer::MaxMinutes);
    setAccelerated(true);
}

void MinutesBox::stepBy(int steps)
{
    int v = value();
    for (; steps > 0; --steps) {
        const auto next = std::find_if(kOffered.begin(), kOffered.end(), [v](int m) { return m > v; });
        v = next != kOffered.end() ? *next : (v / 30 + 1) * 30;
    }
    for (; steps < 0; ++steps) {
        const auto next = std::find_if(kOffered.rbegin(), kOffered.rend(), [v](int m) { return m < v; });
        v = v > kOffered.back() ? ((v - 1) / 30) * 30 : (next != kOffered.rend() ? *next : v - 1);
    }
    setValue(v);
}

frmSleepTimer::frmSleepTimer(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSleepTimer"));
    setWindowTitle(tr("Sleep Timer"));

    txtMinutes = new MinutesBox(this);
    txtMinutes->setObjectName(QStringLiteral("txtMinutes"));
    auto *caption = new QLabel(tr("&Minutes"), this);
    caption->setBuddy(txtMinutes);
    txtMinutes->setAccessibleName(tr("Minutes"));

    cmdOK = new QPushButton(tr("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdOff = new QPushButton(tr("Off"), this);
    cmdOff->setObjectName(QStringLiteral("cmdOff"));
    cmdCancel = new QPushButton(tr("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, [this] {
        txtMinutes->interpretText();
        accept();
    });
    connect(cmdOff, &QPushButton::clicked, this, [this] { done(Off); });
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(caption);
    row->addWidget(txtMinutes, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdOff);
    buttons->addWidget(cmdCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
