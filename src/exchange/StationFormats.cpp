#include "StationFormats.h"

#include "app/TextCodec.h"

#include <cstring>

namespace StationList {

// ---- Station file ----

void appendStationLine(QByteArray &out, const Station &s)
{
    const QString *fields[] = {&s.SName, &s.Location, &s.CallLetters, &s.Frequency,
                               &s.Type,  &s.RAMFile,  &s.Category};
    bool first = true;
    for (const QString *field : fields) {
        if (!first)
            out += '\t';
        first = false;
        out += field->toUtf8();
    }
    out += "\r\n";
}

Station readStationLine(QStringView line)
{
    Station s;
    s.supplied = 0;
    QString dropped;
    struct Target
    {
        QString *field;
        unsigned bit;
    };
    const Target targets[] = {{&s.SName, HasSName},       {&s.Location, HasLocation},
                              {&s.CallLetters, HasCallLetters}, {&s.Frequency, HasFrequency},
                              {&s.Type, HasType},         {&s.RAMFile, HasRAMFile},
                              {&dropped, 0}};
    QStringView rest = line;
    for (const Target &t : targets) {
        const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        if (tab < 0)
            continue;   // no TAB left: this field keeps its value, the rest stays for later
        *t.field = rest.left(tab).toString();
        s.supplied |= t.bit;
        rest = rest.mid(tab + 1);
    }
    s.Category = rest.toString();
    s.supplied |= HasCategory;
    return s;
}

QString decodeStationFile(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return TextCodec::decode(bytes.mid(3));
    return TextCodec::decode(bytes);
}

std::vector<QStringView> splitLines(QStringView text)
{
    std::vector<QStringView> lines;
    const QChar *p = text.data();
    const QChar *end = p + text.size();
    const QChar *start = p;
    while (p < end) {
        const char16_t c = p->unicode();
        if (c == u'\r' || c == u'\n') {
            lines.emplace_back(start, p - start);
            if (c == u'\r' && p + 1 < end && p[1].unicode() == u'\n')
                ++p;
            start = ++p;
        } else {
            ++p;
        }
    }
    if (start < end)
        lines.emplace_back(start, end - start);
    return lines;
}

std::vector<Station> readStationFile(const QByteArray &bytes)
{
    const QString text = decodeStationFile(bytes);
    const std::vector<QStringView> lines = splitLines(text);
    std::vector<Station> stations;
    stations.reserve(lines.size());
    for (QStringView line : lines)
        stations.push_back(readStationLine(line));
    return stations;
}

// ---- Web page table ----

void appendHtmlText(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += "&quot;"; continue;
        case '\'': out += "&#39;"; continue;
        default: break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;   // half of a pair: no character of its own
        }
        out += "&#";
        out += QByteArray::number(quint32(c));
        out += ';';
    }
}

QByteArray webPageHeader()
{
    return QByteArrayLiteral(
        "<HTML><TITLE>Station List</TITLE><BODY><CENTER><H2>Station List</H2><TABLE Border=1>\r\n");
}

void appendWebPageRow(QByteArray &out, const Station &s, bool liveLink)
{
    if (!s.WebPage.isEmpty()) {
        out += "<TR><TD><A HREF='";
        appendHtmlText(out, s.WebPage);
        out += "'>";
        appendHtmlText(out, s.SName);
        out += "</A></TD><TD>";
    } else {
        out += "<TR><TD>";
        appendHtmlText(out, s.SName);
        out += "</TD><TD>";
    }
    appendHtmlText(out, s.Location);
    out += "</TD><TD>";
    appendHtmlText(out, s.CallLetters);
    out += "</TD><TD>";
    appendHtmlText(out, s.Frequency);
    out += "</TD><TD>";
    appendHtmlText(out, s.Type);
    if (liveLink && !s.RAMFile.isEmpty()) {
        out += "</TD><TD><A HREF='";
        appendHtmlText(out, s.RAMFile);
        out += "'>*LIVE*</a></TD><TD>";
    } else {
        out += "</TD><TD>";
    }
    appendHtmlText(out, s.Category);
    out += "</TD></TR>\r\n";
}

QByteArray webPageFooter(const QString &product, int major, int minor, const QString &homePage)
{
    QByteArray out = "</TABLE></CENTER><BR><FONT SIZE=-1>Exported by <A HREF='";
    appendHtmlText(out, homePage);
    out += "'>";
    appendHtmlText(out, product);
    out += ' ';
    out += QByteArray::number(major);
    out += '.';
    out += QByteArray::number(minor);
    out += "</a></FONT></BODY></HTML>\r\n";
    return out;
}

QString homePage() { return QStringLiteral("https://www.halcyrix.example/"); }

// ---- Corvane list file ----

qsizetype corvaneRecordCount(qsizetype fileSize)
{
    return fileSize > 0 ? fileSize / CorvaneRecordLength : 0;
}

namespace {

// A padded text field: cut at a NUL (what follows it is not text), spaces removed at both ends.
QString corvaneText(const char *field, int length)
{
    const void *nul = std::memchr(field, '\0', size_t(length));
    int n = nul ? int(static_cast<const char *>(nul) - field) : length;
    int start = 0;
    while (start < n && field[start] == ' ')
        ++start;
    while (n > start && field[n - 1] == ' ')
        --n;
    return TextCodec::fromWindows1252(QByteArray(field + start, n - start));
}

} // namespace

Station readCorvaneRecord(const char *r)
{
    Station s;
    s.SName = corvaneText(r + 0, 30);
    s.RAMFile = corvaneText(r + 30, 40);
    s.Location = corvaneText(r + 70, 30);
    s.Category = corvaneText(r + 100, 20);
    s.CallLetters = corvaneText(r + 120, 4);
    s.Frequency = corvaneText(r + 124, 5);
    const auto lo = static_cast<unsigned char>(r[129]);
    const auto hi = static_cast<unsigned char>(r[130]);
    const auto band = static_cast<qint16>(static_cast<quint16>(lo | (hi << 8)));
    s.Type = band == 0 ? QStringLiteral("FM") : QStringLiteral("AM");
    s.supplied = HasAll & ~HasWebPage;
    return s;
}

std::vector<Station> readCorvaneFile(const QByteArray &bytes)
{
    const qsizetype count = corvaneRecordCount(bytes.size());
    std::vector<Station> stations;
    stations.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i)
        stations.push_back(readCorvaneRecord(bytes.constData() + i * CorvaneRecordLength));
    return stations;
}

// ---- File names ----

bool exportNameIsWebPage(const QString &fileName)
{
    return fileName.right(4).left(3).toUpper() == QLatin1String("HTM");
}

bool importNameIsCorvane(const QString &fileName)
{
    return fileName.right(3).toUpper() == QLatin1String("LST");
}

} // namespace StationList
