#include "player/Metafile.h"

#include "app/TextCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QUrl>
#include <QXmlStreamReader>

namespace Metafile {

namespace {

// Lists are written by hand and by many programs: each line is decoded on its own, so that one
// Windows-1252 title leaves the UTF-8 ones as they are.
QStringList lines(const QByteArray &data)
{
    return TextCodec::decodeLines(data.startsWith("\xEF\xBB\xBF") ? data.mid(3) : data);
}

QString textOf(const QByteArray &data)
{
    return lines(data).join(QLatin1Char('\n'));
}

// The XML character references the list formats use, decoded.
QString decodeEntities(QString text)
{
    static const QRegularExpression ref(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|amp|lt|gt|quot|apos);"));
    QString out;
    qsizetype last = 0;
    for (auto it = ref.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += text.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        char32_t code = 0;
        if (name.startsWith(QLatin1String("#x")))
            code = name.mid(2).toUInt(nullptr, 16);
        else if (name.startsWith(QLatin1Char('#')))
            code = name.mid(1).toUInt();
        else if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name == QLatin1String("quot"))
            code = '"';
        else
            code = '\'';
        if (code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF))
            out += QString::fromUcs4(&code, 1);
        last = m.capturedEnd();
    }
    out += text.mid(last);
    return out;
}

bool hasScheme(const QString &address)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(address).hasMatch();
}

bool looksBinary(const QByteArray &head)
{
    for (char c : head) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0 || (b < 0x09) || (b > 0x0D && b < 0x20 && b != 0x1B))
            return true;
    }
    return false;
}

QStringList addressesOf(const QList<TitledEntry> &entries)
{
    QStringList out;
    for (const TitledEntry &entry : entries)
        out << entry.address;
    return out;
}

} // namespace

bool looksLikeMedia(const QByteArray &head)
{
    return looksBinary(head.left(4096));
}

Kind kindFromName(const QString &address)
{
    QString path = address.trimmed();
    if (hasScheme(path) && !isLocal(path))
        path = QUrl(path).path();
    else {
        const qsizetype cut = path.indexOf(QLatin1Char('?'));
        if (cut >= 0 && !QFileInfo::exists(path))
            path.truncate(cut);
    }
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("ram") || ext == QLatin1String("rpm"))
        return Kind::Ram;
    if (ext == QLatin1String("m3u") || ext == QLatin1String("m3u8"))
        return Kind::M3u;
    if (ext == QLatin1String("pls"))
        return Kind::Pls;
    if (ext == QLatin1String("asx") || ext == QLatin1String("wax") || ext == QLatin1String("wvx"))
        return Kind::Asx;
    if (ext == QLatin1String("xspf"))
        return Kind::Xspf;
    return Kind::None;
}

Kind kindFromContent(const QByteArray &head, const QString &contentType)
{
    QByteArray start = head.left(4096);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    const QByteArray lower = start.trimmed().toLower();
    const QString type = contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();

    if (lower.isEmpty() || looksBinary(start))
        return Kind::None;
    if (lower.startsWith("[playlist]") || lower.startsWith("[reference]"))
        return Kind::Pls;
    if (lower.startsWith("#extm3u") || lower.contains("#ext-x-"))
        return lower.contains("#ext-x-") ? Kind::Hls : Kind::M3u;
    if (lower.startsWith("<")) {
        if (lower.contains("<asx"))
            return Kind::Asx;
        if (lower.contains("<playlist") && (lower.contains("xspf") || lower.contains("<tracklist")))
            return Kind::Xspf;
        return Kind::None; // HTML or other markup
    }
    if (type == QLatin1String("audio/x-scpls"))
        return Kind::Pls;

    // A plain list of addresses (a .ram metafile or an m3u without its header): every line
    // that is not blank or a comment holds one address without blanks.
    bool any = false;
    for (const QString &line : lines(start)) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        if (t == QLatin1String("--stop--"))
            break;
        if (!hasScheme(t) || t.contains(QLatin1Char(' ')) || t.contains(QLatin1Char('\t')))
            return Kind::None;
        any = true;
    }
    if (!any)
        return Kind::None;
    if (type.contains(QLatin1String("mpegurl")))
        return Kind::M3u;
    return Kind::Ram;
}

QStringList parseRam(const QByteArray &data)
{
    QStringList out;
    for (const QString &line : lines(data)) {
        const QString t = line.trimmed();
        if (t == QLatin1String("--stop--"))
            break; // .ram lists may end here, before further lines
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        out << t;
    }
    return out;
}

QList<TitledEntry> parseM3uEntries(const QByteArray &data)
{
    // "#EXTINF:<length> <attributes>,<title>" names the entry on the next address line; the
    // title starts after the first comma that is not inside a quoted attribute value.
    QList<TitledEntry> out;
    QString title;
    for (const QString &line : lines(data)) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1String("#EXTINF:"), Qt::CaseInsensitive)) {
            bool quoted = false;
            title.clear();
            for (qsizetype i = 8; i < t.size(); ++i) {
                if (t[i] == QLatin1Char('"'))
                    quoted = !quoted;
                else if (t[i] == QLatin1Char(',') && !quoted) {
                    title = t.mid(i + 1).trimmed();
                    break;
                }
            }
            continue;
        }
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        out.append({t, title});
        title.clear();
    }
    return out;
}

QStringList parseM3u(const QByteArray &data)
{
    return addressesOf(parseM3uEntries(data));
}

QList<TitledEntry> parsePlsEntries(const QByteArray &data)
{
    // FileN= (and RefN= of the similar reference lists), in the order of N; lines without a
    // number keep their place after the numbered ones. TitleN= names FileN.
    static const QRegularExpression entry(QStringLiteral("^\\s*(file|ref|title)(\\d+)\\s*=\\s*(.*?)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    QMap<qint64, QStringList> byNumber;
    QMap<qint64, QString> titles;
    for (const QString &line : lines(data)) {
        const auto m = entry.match(line);
        if (!m.hasMatch() || m.captured(3).isEmpty())
            continue;
        bool ok = false;
        const qint64 n = m.captured(2).left(9).toLongLong(&ok);
        if (m.captured(1).compare(QLatin1String("title"), Qt::CaseInsensitive) == 0)
            titles.insert(ok ? n : 0, m.captured(3));
        else
            byNumber[ok ? n : 0] << m.captured(3);
    }
    QList<TitledEntry> out;
    for (auto it = byNumber.cbegin(); it != byNumber.cend(); ++it) {
        for (const QString &address : it.value())
            out.append({address, titles.value(it.key())});
    }
    return out;
}

QStringList parsePls(const QByteArray &data)
{
    return addressesOf(parsePlsEntries(data));
}

QStringList parseAsx(const QByteArray &data)
{
    // Lists of this kind are often not well-formed XML (bare "&" in addresses, mixed letter case),
    // so the reference tags are picked out directly, in document order, comments skipped.
    QString text = textOf(data);
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    text.remove(comment);
    static const QRegularExpression tag(QStringLiteral("<\\s*(?:ref|entryref)\\b([^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression href(QStringLiteral("\\bhref\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList out;
    for (auto it = tag.globalMatch(text); it.hasNext();) {
        const auto m = href.match(it.next().captured(1));
        if (!m.hasMatch())
            continue;
        QString value = m.captured(1);
        if (value.isNull())
            value = m.captured(2);
        if (value.isNull())
            value = m.captured(3);
        value = decodeEntities(value).trimmed();
        if (!value.isEmpty())
            out << value;
    }
    return out;
}

QList<TitledEntry> parseXspfEntries(const QByteArray &data)
{
    // A track's title may stand before or after its locations: each track's entries are
    // taken when the track ends (or where the XML breaks off).
    QXmlStreamReader xml(data);
    QList<TitledEntry> out;
    QStringList locations;
    QString title;
    int trackDepth = 0;
    auto endTrack = [&] {
        for (const QString &address : std::as_const(locations))
            out.append({address, title});
        locations.clear();
        title.clear();
    };
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QString name = xml.name().toString().toLower();
            if (name == QLatin1String("track"))
                ++trackDepth;
            else if (name == QLatin1String("location") && trackDepth > 0) {
                const QString value = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                if (!value.isEmpty())
                    locations << value;
            } else if (name == QLatin1String("title") && trackDepth > 0) {
                title = xml.readElementText(QXmlStreamReader::SkipChildElements).simplified();
            }
        } else if (xml.isEndElement() && xml.name().toString().toLower() == QLatin1String("track")) {
            --trackDepth;
            endTrack();
        }
    }
    endTrack();
    return out; // what was read before a fault in the XML is kept
}

QStringList parseXspf(const QByteArray &data)
{
    return addressesOf(parseXspfEntries(data));
}

QList<TitledEntry> parseEntries(Kind kind, const QByteArray &data)
{
    auto untitled = [](const QStringList &addresses) {
        QList<TitledEntry> out;
        for (const QString &address : addresses)
            out.append({address, QString()});
        return out;
    };
    switch (kind) {
    case Kind::Ram:
        return untitled(parseRam(data));
    case Kind::M3u:
        return parseM3uEntries(data);
    case Kind::Pls:
        return parsePlsEntries(data);
    case Kind::Asx:
        return untitled(parseAsx(data));
    case Kind::Xspf:
        return parseXspfEntries(data);
    case Kind::Hls:
    case Kind::None:
        break;
    }
    return {};
}

QStringList parse(Kind kind, const QByteArray &data, const QString &baseAddress)
{
    QStringList out;
    for (const TitledEntry &entry : parseEntries(kind, data))
        out << resolve(entry.address, baseAddress);
    return out;
}

bool isLocal(const QString &address)
{
    const QString t = address.trimmed();
    if (t.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return true;
    return !hasScheme(t);
}

QString localPath(const QString &address)
{
    const QString t = address.trimmed();
    if (t.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(t).toLocalFile();
    return t;
}

QString resolve(const QString &entry, const QString &baseAddress)
{
    const QString e = entry.trimmed();
    if (e.isEmpty() || hasScheme(e))
        return e;
    if (!isLocal(baseAddress))
        return QUrl(baseAddress).resolved(QUrl(e)).toString();
    if (QDir::isAbsolutePath(e))
        return e;
    const QString dir = QFileInfo(localPath(baseAddress)).absolutePath();
    return QDir::cleanPath(dir + QLatin1Char('/') + e);
}

bool isPlayableAddress(const QString &address, bool fromNetwork)
{
    const QString t = address.trimmed();
    if (t.isEmpty())
        return false;
    if (isLocal(t))
        return !fromNetwork;
    static const QStringList network = {QStringLiteral("http"),  QStringLiteral("https"), QStringLiteral("rtsp"),
                                        QStringLiteral("rtsps"), QStringLiteral("rtmp"),  QStringLiteral("rtmps"),
                                        QStringLiteral("rtmpt"), QStringLiteral("rtmpe"), QStringLiteral("mms"),
                                        QStringLiteral("mmsh"),  QStringLiteral("mmst"),  QStringLiteral("rtp"),
                                        QStringLiteral("udp"),   QStringLiteral("srt")};
    const QString scheme = t.section(QLatin1Char(':'), 0, 0).toLower();
    return network.contains(scheme);
}

} // namespace Metafile
