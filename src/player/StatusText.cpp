#include "player/StatusText.h"

#include "player/Metafile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Player", text);
}

} // namespace

namespace StatusText {

QString hostOf(const QString &address)
{
    if (Metafile::isLocal(address))
        return QFileInfo(Metafile::localPath(address)).fileName();
    const QUrl url(address);
    return url.host().isEmpty() ? address : url.host();
}

QString connecting(const QString &address)
{
    return address.isEmpty() ? tr("Connecting…") : tr("Connecting to %1…").arg(hostOf(address));
}

QString buffering(int percent)
{
    return tr("Buffering %1%").arg(percent);
}

QString playing(const QString &name, const QString &title)
{
    if (!name.isEmpty() && !title.isEmpty())
        return tr("Playing: %1 – %2").arg(name, title);
    if (!name.isEmpty() || !title.isEmpty())
        return tr("Playing: %1").arg(name.isEmpty() ? title : name);
    return tr("Playing");
}

QString stopped()
{
    return tr("Stopped");
}

QString reconnecting()
{
    return tr("Reconnecting…");
}

QString cannotConnect(const QString &address)
{
    return tr("Cannot connect to %1").arg(address);
}

QString notAStream(const QString &address)
{
    return tr("Not a stream: %1").arg(address);
}

QString notFound(const QString &address)
{
    return tr("Not found: %1").arg(address);
}

QString unsupported(const QString &address)
{
    return tr("Cannot play this kind of address: %1").arg(address);
}

QString noEntries(const QString &address)
{
    return tr("No stream listed in %1").arg(address);
}

QString httpError(const QString &address, int status)
{
    if (status == 404 || status == 410)
        return notFound(address);
    return tr("The server refused %1 (HTTP %2)").arg(address).arg(status);
}

} // namespace StatusText
