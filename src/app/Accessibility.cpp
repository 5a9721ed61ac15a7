#include "app/Accessibility.h"

#include <QCoreApplication>
#include <QLabel>

namespace Accessibility {

void readAsShown(QLabel *label, const QString &what)
{
    // With no accessible name of its own, a label is named by its text, and QLabel::setText
    // announces every new text to screen readers.
    label->setAccessibleName(QString());
    label->setAccessibleDescription(what);
}

QString lightName(const QString &caption, bool lit)
{
    return lit ? QCoreApplication::translate("Accessibility", "%1, lit").arg(caption) : caption;
}

} // namespace Accessibility
