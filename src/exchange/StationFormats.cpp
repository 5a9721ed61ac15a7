#include "StationFormats.h"

#include "app/TextCodec.h"

#include <QRegularExpression>
#include <cstring>

namespace StationList {

// ---- Station file ----

void appendStationLine(QByteArray &out, const Station &s)
{
    const QString *fields[] = {&s.SName, &s.Location, &s.CallLetters, &s.Frequency, &s.Type, &s.RAMFile, &s.Category};
    bool first = true;
    for (const QString *field : fields) {
        if (!first)
            out += '\t';
        first = false;
        out += field->toUtf8();
    }
    out += "\r\n";
}

namespace {

// Puts text into to, keeping to's memory when it is its own.
void assign(QString &to, QStringView text)
{
    to.resize(0);
    to.append(text);
}

} // namespace

void readStationLine(QStringView line, Station &s)
{
    s.supplied = 0;
    for (QString *field :
         {&s.SName, &s.Location, &s.CallLetters, &s.Frequency, &s.Type, &s.RAMFile, &s.Category, &s.WebPage})
        field->resize(0);
    struct Target
    {
        QString *field;
        unsigned bit;
    };
    const Target targets[] = {{&s.SName, HasSName},
                              {&s.Location, HasLocation},
                              {&s.CallLetters, HasCallLetters},
                              {&s.Frequency, HasFrequency},
                              {&s.Type, HasType},
                              {&s.RAMFile, HasRAMFile},
                              {nullptr, 0}}; // the seventh field is dropped
    QStringView rest = line;
    for (const Target &t : targets) {
        const qsizetype tab = rest.indexOf(QLatin1Char('\t'));
        if (tab < 0)
            continue; // no TAB left: this field keeps its value, the rest stays for later
        if (t.field) {
            assign(*t.field, rest.left(tab));
            s.supplied |= t.bit;
        }
        rest = rest.mid(tab + 1);
    }
    assign(s.Category, rest);
    s.supplied |= HasCategory;
}

Station readStationLine(QStringView line)
{
    Station s;
    readStationLine(line, s);
    return s;
}

// Every station a reader of the given format finds in bytes.
static std::vector<Station> readAllStations(StationReader::Format format, const QByteArray &bytes)
{
    std::vector<Station> stations;
    StationReader reader(format, bytes);
    for (Station s; reader.next(s);)
        stations.push_back(s);
    return stations;
}

std::vector<Station> readStationFile(const QByteArray &bytes)
{
    return readAllStations(StationReader::StationFile, bytes);
}

// ---- Web page table ----

void appendHtmlText(QByteArray &out, QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&#39;";
            continue;
        default:
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD; // half of a pair: no character of its own
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

bool isLinkAddress(QStringView address)
{
    QString text;
    for (const QChar c : address)
        if (c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            text += c;
    qsizetype start = 0;
    while (start < text.size() && text[start].unicode() <= 0x20)
        ++start;
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):"));
    const auto m = scheme.match(QStringView(text).mid(start));
    if (!m.hasMatch())
        return true; // relative to the page
    static const QStringList followed = {QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mms"),
                                         QStringLiteral("mmsh"), QStringLiteral("rtsp"),  QStringLiteral("rtmp")};
    return followed.contains(m.captured(1).toLower());
}

namespace {

// Text linked to an address. An address that may not become a link is written as text: after the
// linked text when keepText is set, else in its place.
void appendLink(QByteArray &out, const QString &address, QStringView text, bool keepText, const char *closeTag)
{
    if (isLinkAddress(address)) {
        out += "<A HREF='";
        appendHtmlText(out, address);
        out += "'>";
        appendHtmlText(out, text);
        out += closeTag;
    } else if (keepText) {
        appendHtmlText(out, text);
        out += " (";
        appendHtmlText(out, address);
        out += ')';
    } else {
        appendHtmlText(out, address);
    }
}

} // namespace

void appendWebPageRow(QByteArray &out, const Station &s, bool liveLink)
{
    out += "<TR><TD>";
    if (s.WebPage.isEmpty())
        appendHtmlText(out, s.SName);
    else
        appendLink(out, s.WebPage, s.SName, true, "</A>");
    for (const QString *field : {&s.Location, &s.CallLetters, &s.Frequency, &s.Type}) {
        out += "</TD><TD>";
        appendHtmlText(out, *field);
    }
    out += "</TD><TD>";
    if (liveLink && !s.RAMFile.isEmpty()) {
        appendLink(out, s.RAMFile, u"*LIVE*", false, "</a>");
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
    return readAllStations(StationReader::CorvaneList, bytes);
}

// ---- Reading a whole file ----

StationReader::StationReader(Format format, const QByteArray &bytes) : m_format(format), m_bytes(bytes)
{
    if (format == StationFile) {
        // Lines are decoded one at a time; the whole file decides the encoding.
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        m_utf8 = TextCodec::isValidUtf8(m_bytes);
        m_size = m_bytes.size();
    } else {
        m_size = corvaneRecordCount(bytes.size()) * CorvaneRecordLength;
    }
}

bool StationReader::next(Station &station)
{
    if (atEnd())
        return false;
    const char *data = m_bytes.constData();
    if (m_format == CorvaneList) {
        station = readCorvaneRecord(data + m_pos);
        m_pos += CorvaneRecordLength;
        return true;
    }
    // A line ends at CR LF, CR or LF (the same bytes in both encodings); the last one may have
    // no end.
    qsizetype end = m_pos;
    while (end < m_size && data[end] != '\r' && data[end] != '\n')
        ++end;
    const QByteArray line = QByteArray::fromRawData(data + m_pos, end - m_pos);
    readStationLine(m_utf8 ? TextCodec::fromUtf8Inside(line) : TextCodec::fromWindows1252(line), station);
    if (end + 1 < m_size && data[end] == '\r' && data[end + 1] == '\n')
        ++end;
    m_pos = end < m_size ? end + 1 : m_size;
    return true;
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
