#include "FormLayout.h"

#include <QLabel>

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

} // namespace Maintenance
