#include "Module1.h"

#include "AppInfo.h"
#include "IniFile.h"
#include "RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Module1 {

QString iniPath()
{
    return App::filePath(QStringLiteral("Tuner.ini"));
}
QString tmpPath()
{
    return App::filePath(QStringLiteral("Tuner.tmp"));
}

static QByteArray readSettingsFile()
{
    const QString path = iniPath();
    QFileInfo info(path);
    if (!info.exists())
        throw RuntimeError(Err::FileNotFound, QStringLiteral("File not found: %1").arg(path));
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw RuntimeError(Err::PathFileAccess,
                           QStringLiteral("Cannot read the settings file %1: %2")
                               .arg(path, info.isDir() ? QStringLiteral("it is a folder") : file.errorString()));
    return file.readAll(); // decoded line by line
}

std::optional<QString> vbReadIni(const QString &key)
{
    return IniFile::read(readSettingsFile(), key);
}

static void failWrite(const QString &path, int err)
{
    throw RuntimeError(Err::PathFileAccess,
                       QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(err))));
}

void vbWriteIni(const QString &key, const QString &value)
{
    const QByteArray content = IniFile::rewrite(readSettingsFile(), key, value);
    const QString tmp = tmpPath();
    const QByteArray tmpName = QFile::encodeName(tmp);
    const int fd = ::open(tmpName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        failWrite(tmp, errno);
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, static_cast<size_t>(content.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            ::unlink(tmpName.constData());
            failWrite(tmp, err);
        }
        done += n;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpName.constData());
        failWrite(tmp, err);
    }
    const QByteArray iniName = QFile::encodeName(iniPath());
    if (::rename(tmpName.constData(), iniName.constData()) != 0) {
        const int err = errno;
        ::unlink(tmpName.constData());
        failWrite(iniPath(), err);
    }
    // Make the rename itself durable.
    const int dirFd = ::open(QFile::encodeName(App::path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace Module1
