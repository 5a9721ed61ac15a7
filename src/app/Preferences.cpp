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
    // A key no one can read (one written by hand with stray slashes, "/Recording/Folder") is
    // dropped: QSettings would write it back in another form, which a later write turns into a
    // real preference the user never set. (remove() cannot name it: it tidies the key it is given.)
    const QStringList keys = readWhole(settings).allKeys();
    QList<std::pair<QString, QVariant>> readable;
    for (const QString &stored : keys)
        if (!stored.isEmpty() && !stored.startsWith(QLatin1Char('/')) && !stored.endsWith(QLatin1Char('/')) &&
            !stored.contains(QLatin1String("//")))
            readable.append({stored, settings.value(stored)});
    if (readable.size() != keys.size()) {
        settings.clear();
        for (const auto &[stored, kept] : readable)
            settings.setValue(stored, kept);
    }
    settings.setValue(key, value);
    settings.sync();
}

} // namespace Preferences
