#include "AppInfo.h"

#include "app/Version.h"

#include <QCoreApplication>
#include <QDir>

namespace App {

QString title()
{
    return QStringLiteral("Halcyrix");
}
int major()
{
    return HALCYRIX_VERSION_MAJOR;
}
int minor()
{
    return HALCYRIX_VERSION_MINOR;
}
int revision()
{
    return HALCYRIX_VERSION_PATCH;
}

QString version()
{
    return QStringLiteral("%1.%2.%3").arg(major()).arg(minor()).arg(revision());
}

QString homePage()
{
    return QStringLiteral("https://halcyrix.org/");
}
QString productPage()
{
    return QStringLiteral("https://halcyrix.org/tuner/");
}
QString supportAddress()
{
    return QStringLiteral("support@halcyrix.org");
}

QString path()
{
    const QString home = qEnvironmentVariable("HALCYRIX_HOME");
    QString dir = home.isEmpty() ? QCoreApplication::applicationDirPath() : home;
    dir = QDir::cleanPath(QDir(dir).absolutePath());
    return dir;
}

QString filePath(const QString &name)
{
    return path() + QLatin1Char('/') + name;
}

} // namespace App
