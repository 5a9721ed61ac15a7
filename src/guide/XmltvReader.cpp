#include "guide/XmltvReader.h"

#include <QDateTime>
#include <zlib.h>

std::optional<qint64> parseXmltvTime(QStringView text)
{
    text = text.trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit())
        ++digits;
    if (digits < 4 || digits > 14 || digits % 2 != 0)
        return std::nullopt;
    auto number = [&](int from, int length, int fallback) {
        return from + length <= digits ? text.mid(from, length).toInt() : fallback;
    };
    const QDate date(number(0, 4, 0), number(4, 2, 1), number(6, 2, 1));
    const QTime time(number(8, 2, 0), number(10, 2, 0), number(12, 2, 0));
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    QStringView zone = text.mid(digits).trimmed();
    int offset = 0;
    if (!zone.isEmpty() && zone.compare(QLatin1String("Z"), Qt::CaseInsensitive) != 0 &&
        zone.compare(QLatin1String("UTC"), Qt::CaseInsensitive) != 0 &&
        zone.compare(QLatin1String("GMT"), Qt::CaseInsensitive) != 0) {
        if (zone.size() != 5 || (zone[0] != QLatin1Char('+') && zone[0] != QLatin1Char('-')))
            return std::nullopt;
        bool okH = false, okM = false;
        const int h = zone.mid(1, 2).toInt(&okH);
        const int m = zone.mid(3, 2).toInt(&okM);
        if (!okH || !okM || h > 14 || m > 59)
            return std::nullopt;
        offset = (h * 3600 + m * 60) * (zone[0] == QLatin1Char('-') ? -1 : 1);
    }
    return QDateTime(date, time, Qt::UTC).toSecsSinceEpoch() - offset;
}

struct XmltvReader::Inflater
{
    z_stream z{};
    bool ended = false;
    Inflater() { inflateInit2(&z, 15 + 32); } // a gzip or zlib header, found by itself
    ~Inflater() { inflateEnd(&z); }
};

XmltvReader::XmltvReader(GuideDatabase &db, const ChannelMatch::Wanted &wanted, qint64 keepFrom,
                         const GuideLimits &limits)
    : m_db(db), m_wanted(wanted), m_keepFrom(keepFrom), m_limits(limits)
{
    // Entities declared in a document type are never expanded (see pump()); this bounds what
    // one could grow to should any be.
    m_xml.setEntityExpansionLimit(0);
}

XmltvReader::~XmltvReader() = default;

bool XmltvReader::fail(const QString &text)
{
    if (m_error.isEmpty())
        m_error = text;
    return false;
}

bool XmltvReader::feed(const char *data, qint64 size)
{
    if (!m_error.isEmpty())
        return false;
    if (size <= 0)
        return true;
    m_sent += size;
    if (!m_started) {
        m_started = true;
        if (static_cast<unsigned char>(data[0]) == 0x1f)
            m_inflater = std::make_unique<Inflater>();
    }
    if (!m_inflater)
        return feedXml(data, size);

    z_stream &z = m_inflater->z;
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    z.avail_in = uInt(size);
    char out[64 * 1024];
    while (z.avail_in > 0) {
        if (m_inflater->ended) {
            // Another gzip member follows (a guide made of parts); anything else is no gzip.
            if (z.avail_in >= 2 && z.next_in[0] == 0x1f && z.next_in[1] == 0x8b) {
                inflateReset(&z);
                m_inflater->ended = false;
            } else {
                return true; // padding after the last member
            }
        }
        z.next_out = reinterpret_cast<Bytef *>(out);
        z.avail_out = sizeof out;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
            return fail(QStringLiteral("The guide is no readable gzip file (%1).")
                            .arg(QString::fromLatin1(z.msg ? z.msg : "bad data")));
        if (rc == Z_STREAM_END)
            m_inflater->ended = true;
        const qint64 produced = qint64(sizeof out) - z.avail_out;
        if (produced > 0 && !feedXml(out, produced))
            return false;
        if (rc == Z_BUF_ERROR && produced == 0)
            break;
    }
    return true;
}

bool XmltvReader::feedXml(const char *data, qint64 size)
{
    m_uncompressed += size;
    if (m_uncompressed > m_limits.uncompressedBytes)
        return fail(QStringLiteral("The guide unpacks to more than %1 MB, more than a guide may be, so it "
                                   "was not read.")
                        .arg(m_limits.uncompressedBytes >> 20));
    if (m_inflater && m_uncompressed > m_limits.ratioFrom && m_uncompressed > m_sent * m_limits.ratio)
        return fail(QStringLiteral("The guide unpacks to more than %1 times its size (a \"gzip bomb\"), so it "
                                   "was not read.")
                        .arg(m_limits.ratio));
    m_xml.addData(QByteArray(data, size)); // a copy: the reader may keep it
    return pump();
}

bool XmltvReader::finish()
{
    if (!m_error.isEmpty())
        return false;
    if (m_inflater && !m_inflater->ended)
        return fail(QStringLiteral("The guide's gzip file is cut short."));
    pump();
    if (!m_error.isEmpty())
        return false;
    if (!m_sawTv)
        return fail(QStringLiteral("The file is no XMLTV guide."));
    if (!m_xml.atEnd() || m_xml.hasError())
        return fail(QStringLiteral("The guide is cut short."));
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it)
        flushPending(it.key(), it->start); // no next programme: it ends where it starts
    m_pending.clear();
    return true;
}

void XmltvReader::flushPending(const QString &channel, qint64 nextStart)
{
    auto it = m_pending.find(channel);
    if (it == m_pending.end())
        return;
    GuideDatabase::Programme p = *it;
    m_pending.erase(it);
    p.stop = std::max(p.start, nextStart);
    if (p.stop >= m_keepFrom) {
        m_db.addProgramme(p);
        ++m_programmes;
    }
}

bool XmltvReader::pump()
{
    while (!m_xml.atEnd()) {
        const QXmlStreamReader::TokenType token = m_xml.readNext();
        switch (token) {
        case QXmlStreamReader::DTD:
            // A document type may name the format's DTD; one that declares entities (the way
            // of the "billion laughs") is refused before any could be used.
            if (!m_xml.entityDeclarations().isEmpty() || m_xml.text().contains(QLatin1String("<!ENTITY")))
                return fail(QStringLiteral("The guide declares XML entities, which are not read."));
            break;
        case QXmlStreamReader::EntityReference:
            return fail(QStringLiteral("The guide uses XML entities, which are not read."));
        case QXmlStreamReader::StartElement: {
            ++m_depth;
            const QStringView name = m_xml.name();
            if (m_depth == 1) {
                if (name != QLatin1String("tv"))
                    return fail(QStringLiteral("The file is no XMLTV guide."));
                m_sawTv = true;
            } else if (m_depth == 2 && name == QLatin1String("channel")) {
                m_in = In::Channel;
                m_channel = {m_xml.attributes().value(QLatin1String("id")).toString().trimmed(), {}};
            } else if (m_depth == 2 && name == QLatin1String("programme")) {
                const QXmlStreamAttributes a = m_xml.attributes();
                const QString channel = a.value(QLatin1String("channel")).toString().trimmed();
                // Most of a large guide is for channels no station shows: passed over unread.
                if (!channel.isEmpty() && !wantedChannel(channel)) {
                    m_in = In::Passed;
                    break;
                }
                m_in = In::Programme;
                m_programme = {};
                m_programme.channel = channel;
                const auto start = parseXmltvTime(a.value(QLatin1String("start")));
                const auto stop = parseXmltvTime(a.value(QLatin1String("stop")));
                m_programmeBad = m_programme.channel.isEmpty() || !start ||
                                 (!a.value(QLatin1String("stop")).isEmpty() && !stop) || (stop && *stop < *start);
                m_programme.start = start.value_or(0);
                m_programme.stop = stop.value_or(0);
                m_hasStop = stop.has_value();
                m_hasTitle = m_hasSubTitle = m_hasDescription = false;
            } else if (m_depth == 3 && m_in == In::Channel && name == QLatin1String("display-name")) {
                m_name.clear();
                m_text = &m_name;
            } else if (m_depth == 3 && m_in == In::Programme) {
                // The first of each (a guide may give them in several languages).
                if (name == QLatin1String("title") && !m_hasTitle) {
                    m_hasTitle = true;
                    m_text = &m_programme.title;
                } else if (name == QLatin1String("sub-title") && !m_hasSubTitle) {
                    m_hasSubTitle = true;
                    m_text = &m_programme.subTitle;
                } else if (name == QLatin1String("desc") && !m_hasDescription) {
                    m_hasDescription = true;
                    m_text = &m_programme.description;
                }
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (m_text && m_text->size() < m_limits.textLength)
                m_text->append(m_xml.text().left(m_limits.textLength - m_text->size()));
            break;
        case QXmlStreamReader::EndElement:
            if (m_depth == 3 && m_text) {
                if (m_text == &m_name) {
                    if (const QString n = m_name.simplified(); !n.isEmpty())
                        m_channel.names << n;
                } else {
                    *m_text = m_text->trimmed();
                }
                m_text = nullptr;
            } else if (m_depth == 2 && m_in == In::Channel) {
                m_in = In::Nothing;
                if (!m_channel.id.isEmpty() && !m_knownIds.contains(m_channel.id)) {
                    m_knownIds.insert(m_channel.id);
                    m_db.addChannel(m_channel);
                    ++m_channels;
                    if (m_wanted.channel(m_channel.id, m_channel.names))
                        m_wantedIds.insert(m_channel.id);
                }
            } else if (m_depth == 2 && m_in == In::Programme) {
                m_in = In::Nothing;
                endProgramme();
            } else if (m_depth == 2) {
                m_in = In::Nothing;
            }
            --m_depth;
            break;
        case QXmlStreamReader::Invalid:
            if (m_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                return true; // more bytes to come
            return fail(QStringLiteral("The guide is no well-formed XML (line %1: %2).")
                            .arg(m_xml.lineNumber())
                            .arg(m_xml.errorString()));
        default:
            break;
        }
    }
    return true;
}

bool XmltvReader::wantedChannel(const QString &channel)
{
    if (m_wantedIds.contains(channel))
        return true;
    // A programme of a channel the guide did not list is kept when a station has its id.
    if (m_knownIds.contains(channel) || !m_wanted.channel(channel, {}))
        return false;
    m_wantedIds.insert(channel);
    return true;
}

void XmltvReader::endProgramme()
{
    GuideDatabase::Programme &p = m_programme;
    p.title = p.title.simplified();
    if (m_programmeBad || p.title.isEmpty()) {
        ++m_skipped;
        return;
    }
    flushPending(p.channel, p.start);
    if (!m_hasStop) {
        m_pending.insert(p.channel, p);
        return;
    }
    if (p.stop < m_keepFrom)
        return;
    m_db.addProgramme(p);
    ++m_programmes;
}
