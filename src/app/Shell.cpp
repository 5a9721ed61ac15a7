#include "Shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace Shell {
namespace {
bool g_recording = false;
QStringList g_opened;
} // namespace

bool open(const QString &address)
{
    if (g_recording) {
        g_opened << address;
        return true;
    }
    return QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void setRecording(bool on)
{
    g_recording = on;
    g_opened.clear();
}

QStringList opened()
{
    return g_opened;
}

} // namespace Shell
