#pragma once

#include <QString>
#include <QVariant>

// The program's own preferences beyond Tuner.ini: the directory's choices, the recording folder,
// notifications, the tray, the sleep timer. They live in Preferences.ini beside Tuner.ini, whose
// keys and bytes never change for them. Keys are grouped by what they belong to, such as
// "Recording/Folder" or "Directory/Order". A missing or unreadable file gives the defaults; every
// change is written at once (to a scratch file renamed over the old one).
namespace Preferences {

// The file's full path: Preferences.ini in the application directory.
QString path();

QVariant value(const QString &key, const QVariant &defaultValue = {});
void setValue(const QString &key, const QVariant &value);

} // namespace Preferences
