#include "player/MpvLibrary.h"

#include <QCoreApplication>

#include <dlfcn.h>

namespace {

constexpr const char *kLibraryName = "libmpv.so.2";

struct Loaded
{
    MpvLibrary library;
    bool tried = false;
    bool ok = false;
    QString error;
};

Loaded &loaded()
{
    static Loaded l;
    return l;
}

QString open(MpvLibrary &lib)
{
    // Kept open to the end of the process: libmpv's threads and its callbacks into us may outlive
    // any point at which closing it would look safe.
    void *handle = dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char *why = dlerror();
        return QCoreApplication::translate("Player", "The player could not be started: %1")
            .arg(why ? QString::fromLocal8Bit(why) : QLatin1String(kLibraryName));
    }
    QStringList missing;
#define HX_MPV_LOOKUP(name)                                                                                            \
    lib.name = reinterpret_cast<decltype(lib.name)>(dlsym(handle, "mpv_" #name));                                      \
    if (!lib.name)                                                                                                     \
        missing << QStringLiteral("mpv_" #name);
    HX_MPV_FUNCTIONS(HX_MPV_LOOKUP)
#undef HX_MPV_LOOKUP
    if (!missing.isEmpty())
        return QCoreApplication::translate("Player", "The player could not be started: %1 lacks %2")
            .arg(QLatin1String(kLibraryName), missing.join(QStringLiteral(", ")));
    // The major version changes when the interface does.
    if ((lib.client_api_version() >> 16) != (MPV_CLIENT_API_VERSION >> 16))
        return QCoreApplication::translate("Player", "The player could not be started: %1 is of version %2")
            .arg(QLatin1String(kLibraryName))
            .arg(lib.client_api_version() >> 16);
    return QString();
}

} // namespace

const MpvLibrary *MpvLibrary::get(QString *error)
{
    Loaded &l = loaded();
    if (!l.tried) {
        l.tried = true;
        l.error = open(l.library);
        l.ok = l.error.isEmpty();
    }
    if (!l.ok && error)
        *error = l.error;
    return l.ok ? &l.library : nullptr;
}
