#include "UpDown.h"

#include <QToolButton>

UpDown::UpDown(Qt::Orientation orientation, QWidget *parent)
    : QWidget(parent), m_orientation(orientation), m_up(new QToolButton(this)), m_down(new QToolButton(this))
{
    const bool vertical = orientation == Qt::Vertical;
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_up->setArrowType(vertical ? Qt::UpArrow : Qt::RightArrow);
    m_down->setArrowType(vertical ? Qt::DownArrow : Qt::LeftArrow);
    for (QToolButton *button : {m_up, m_down}) {
        button->setAutoRepeat(false);
        button->setFocusPolicy(Qt::TabFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    connect(m_up, &QToolButton::clicked, this, &UpDown::UpClick);
    connect(m_down, &QToolButton::clicked, this, &UpDown::DownClick);
    setDescription(QString());
}

void UpDown::setDescription(const QString &text)
{
    const QString prefix = text.isEmpty() ? QString() : text + QLatin1Char(' ');
    const bool vertical = m_orientation == Qt::Vertical;
    m_up->setAccessibleName(prefix + (vertical ? tr("up") : tr("forward")));
    m_down->setAccessibleName(prefix + (vertical ? tr("down") : tr("back")));
}

void UpDown::resizeEvent(QResizeEvent *)
{
    // The two arrows share the control's length equally.
    if (m_orientation == Qt::Vertical) {
        const int half = height() / 2;
        m_up->setGeometry(0, 0, width(), half);
        m_down->setGeometry(0, half, width(), height() - half);
    } else {
        const int half = width() / 2;
        m_down->setGeometry(0, 0, half, height());
        m_up->setGeometry(half, 0, width() - half, height());
    }
}
