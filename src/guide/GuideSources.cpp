#include "guide/GuideSources.h"

#include "app/Preferences.h"

#include <QUrl>

namespace {

const QString kKey = QStringLiteral("Guide/Sources");

void save(const QStringList &sources)
{
    Preferences::setValue(kKey, sources);
}

} // namespace

namespace GuideSources {

QStringList list()
{
    return Preferences::value(kKey).toStringList();
}

void add(const QStringList &sources)
{
    QStringList all = list();
    for (const QString &source : sources) {
        const QString s = source.trimmed();
        if (!s.isEmpty() && !all.contains(s) && problem(s).isEmpty())
            all << s;
    }
    save(all);
}

void remove(const QString &source)
{
    QStringList all = list();
    all.removeAll(source);
    save(all);
}

QStringList missing(const QStringList &sources)
{
    const QStringList all = list();
    QStringList out;
    for (const QString &s : sources)
        if (!all.contains(s.trimmed()) && !out.contains(s.trimmed()) && problem(s).isEmpty())
            out << s.trimmed();
    return out;
}

bool isWebAddress(const QString &source)
{
    const QString scheme = QUrl(source.trimmed()).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

QString problem(const QString &source)
{
    const QString s = source.trimmed();
    if (s.isEmpty())
        return QStringLiteral("Type a web address or choose a guide file.");
    if (s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r')))
        return QStringLiteral("A guide address is one line.");
    if (isWebAddress(s))
        return QUrl(s).isValid() && !QUrl(s).host().isEmpty() ? QString()
                                                              : QStringLiteral("\"%1\" is no web address.").arg(s);
    const QUrl url(s);
    if (!url.scheme().isEmpty() && url.scheme().size() > 1 && url.scheme().toLower() != QLatin1String("file"))
        return QStringLiteral("A guide comes from an http or https address or from a file.");
    const QString path = url.isLocalFile() ? url.toLocalFile() : s;
    const QString lower = path.toLower();
    if (!lower.endsWith(QLatin1String(".xml")) && !lower.endsWith(QLatin1String(".gz")))
        return QStringLiteral("A guide file ends in .xml, .xml.gz or .gz.");
    return {};
}

} // namespace GuideSources
