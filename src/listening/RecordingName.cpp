#include "listening/RecordingName.h"

#include "app/TextCut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

namespace RecordingName {

QString safeBase(const QString &text, const QString &suffix, const QString &extension)
{
    QString base;
    base.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            base += QLatin1Char('-');
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                 c.category() == QChar::Other_NotAssigned)
            base += QLatin1Char(' '); // a line break or NUL in a title is a gap, not part of the name
        else
            base += c;
    }
    base = base.simplified();
    while (base.startsWith(QLatin1Char('.')) || base.startsWith(QLatin1Char(' ')))
        base.remove(0, 1);
    // Cut whole characters until the name fits.
    const int room = MaxBytes - int(suffix.toUtf8().size()) - 1 - int(extension.toUtf8().size());
    while (!base.isEmpty() && base.toUtf8().size() > room)
        base = TextCut::left(base, base.size() - 1);
    return base.trimmed();
}

QString fileName(const QString &station, const QString &title, const QString &extension, const QDateTime &when)
{
    const QString what = title.trimmed().isEmpty() ? when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) : title;
    QString base = safeBase(station.trimmed() + QStringLiteral(" - ") + what, QString(), extension);
    if (base.isEmpty())
        base = safeBase(when.toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")), QString(), extension);
    return base + QLatin1Char('.') + extension;
}

QString extensionFor(const QString &audioCodec, bool hasVideo)
{
    if (!hasVideo) {
        const QString codec = audioCodec.toLower();
        if (codec == QLatin1String("mp3") || codec == QLatin1String("aac") || codec == QLatin1String("opus") ||
            codec == QLatin1String("flac"))
            return codec;
        if (codec == QLatin1String("vorbis"))
            return QStringLiteral("ogg");
    }
    return QStringLiteral("mkv");
}

QString createUnique(const QString &folder, const QString &fileName, QString *error)
{
    const QDir dir(folder);
    if (!dir.exists()) {
        *error = QObject::tr("The folder \"%1\" does not exist.").arg(QDir::toNativeSeparators(folder));
        return QString();
    }
    const QFileInfo info(fileName);
    const QString extension = info.suffix();
    const QString name = info.completeBaseName();
    for (int number = 1; number < 10000; ++number) {
        const QString suffix = number == 1 ? QString() : QStringLiteral(" (%1)").arg(number);
        const QString candidate = safeBase(name, suffix, extension) + suffix + QLatin1Char('.') + extension;
        const QString path = dir.absoluteFilePath(candidate);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return path;
        if (!file.exists()) {
            *error = file.errorString();
            return QString();
        }
    }
    *error = QObject::tr("Too many recordings have this name.");
    return QString();
}

} // namespace RecordingName
