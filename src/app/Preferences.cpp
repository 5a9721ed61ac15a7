#include "Preferences.h"

#include "app/AppInfo.h"

#include <QSettings>

namespace Preferences {

QString path()
{
    return App::filePath(QStringLiteral("Preferences.ini"));
}

namespace {
// One reader per call: the application directory may change between tests (HALCYRIX_HOME), and
// QSettings keeps what it read cached process-wide, so this costs no second read of the file.
QSettings open()
{
    return QSettings(path(), QSettings::IniFormat);
}
} // namespace

QVariant value(const QString &key, const QVariant &defaultValue)
{
    return open().value(key, defaultValue);
}

void setValue(const QString &key, const QVariant &value)
{
    QSettings settings = open();
    settings.setValue(key, value);
    settings.sync();
}

} // namespace Preferences
