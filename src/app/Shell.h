#pragma once

#include <QString>
#include <QStringList>

// Opens web and mail addresses in the user's default programs. Tests switch on recording:
// the addresses are kept instead of opened.
namespace Shell {

// Returns false when no program could be started for the address.
bool open(const QString &address);

void setRecording(bool on);
QStringList opened();

} // namespace Shell
