#include "Preferences.h"

#include "app/AppInfo.h"

#include <QSettings>

namespace Preferences {

QString path()
{
    return App::filePath(QStringLiteral("Preferences.ini"));
}

namespace {
// The whole file, read at once. QSettings otherwise reads a file's sections one at a time, as
// their keys are asked for, and a key the file holds twice (in its own section and, escaped, in
// [General]) would read one way before a change and the other way after it.
// One reader per call: the application directory may change between tests (HALCYRIX_HOME), and
// QSettings keeps what it read cached process-wide, so this costs no second read of the file.
QSettings &readWhole(QSettings &settings)
{
    settings.allKeys();
    return settings;
}
} // namespace

QVariant value(const QString &key, const QVariant &defaultValue)
{
    QSettings settings(path(), QSettings::IniFormat);
    return readWhole(settings).value(key, defaultValue);
}

void setValue(const QString &key, const QVariant &value)
{
    QSettings settings(path(), QSettings::IniFormat);
    readWhole(settings).setValue(key, value);
    settings.sync();
}

} // namespace Preferences
