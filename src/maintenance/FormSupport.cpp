#include "FormSupport.h"

#include "data/DataControl.h"

#include <QLabel>
#include <QPushButton>

namespace Maintenance {

QString spokenCaption(const QString &caption)
{
    QString text = caption;
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text;
}

void labelFor(QLabel *label, QWidget *field)
{
    label->setBuddy(field);
    field->setAccessibleName(spokenCaption(label->text()));
}

QString engineErrorText(const Data *control, int number)
{
    const QString text = control ? control->lastErrorText() : QString();
    return text.isEmpty() ? dataErrorText(number) : text;
}

QPushButton *makeButton(const char *name, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace Maintenance
