#pragma once

#include "guide/ChannelMatch.h"
#include "guide/GuideDatabase.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <memory>
#include <optional>

// An XMLTV time: YYYYMMDDhhmmss or a shorter form (down to YYYY), then optionally a zone offset
// ("+0100", "-0530", also "Z"/"UTC"/"GMT"), as UTC seconds. No zone means UTC.
std::optional<qint64> parseXmltvTime(QStringView text);

// What a guide may cost, so that a hostile or broken server cannot exhaust the machine.
struct GuideLimits
{
    qint64 downloadBytes = qint64(512) << 20;   // bytes as sent (compressed)
    int seconds = 30 * 60;                      // the whole load
    qint64 uncompressedBytes = qint64(4) << 30; // XML after decompression
    int ratio = 100;                            // XML bytes per sent byte, once past ratioFrom
    qint64 ratioFrom = qint64(16) << 20;
    int textLength = 2000; // a title or description is cut there
};

// Reads an XMLTV guide as its bytes arrive: gzip (or zlib) decompressed as they come, then XML
// read as a stream without DTDs' entities, into the guide database. Keeps every channel's id and
// names, and the programmes of the channels wanted that end after keepFrom. A programme without
// a channel, a title or a readable start is skipped and counted.
class XmltvReader
{
public:
    XmltvReader(GuideDatabase &db, const ChannelMatch::Wanted &wanted, qint64 keepFrom, const GuideLimits &limits);
    ~XmltvReader();

    // Takes the next bytes as sent. False when the guide cannot be read on (error() says why).
    bool feed(const char *data, qint64 size);
    // The bytes are all there. False when the guide is cut short or was no guide.
    bool finish();

    const QString &error() const { return m_error; }
    int channels() const { return m_channels; }
    int programmes() const { return m_programmes; }
    int skipped() const { return m_skipped; }
    qint64 uncompressed() const { return m_uncompressed; }

private:
    bool fail(const QString &text);
    bool feedXml(const char *data, qint64 size);
    bool pump();
    void endProgramme();
    bool wantedChannel(const QString &channel);
    void flushPending(const QString &channel, qint64 nextStart);

    GuideDatabase &m_db;
    const ChannelMatch::Wanted &m_wanted;
    qint64 m_keepFrom;
    GuideLimits m_limits;
    QXmlStreamReader m_xml;
    struct Inflater;
    std::unique_ptr<Inflater> m_inflater;
    bool m_started = false;
    qint64 m_sent = 0;
    qint64 m_uncompressed = 0;
    QString m_error;
    int m_channels = 0;
    int m_programmes = 0;
    int m_skipped = 0;
    bool m_sawTv = false;

    // Where the reader stands.
    int m_depth = 0;
    enum class In { Nothing, Channel, Programme, Passed } m_in = In::Nothing; // Passed: a programme not kept
    QString *m_text = nullptr;                                                // the element whose text is collected
    ChannelMatch::Channel m_channel;
    QString m_name;
    GuideDatabase::Programme m_programme;
    bool m_programmeBad = false;
    bool m_hasStop = false;
    bool m_hasTitle = false;
    bool m_hasSubTitle = false;
    bool m_hasDescription = false;
    QSet<QString> m_wantedIds;
    QSet<QString> m_knownIds;
    // A programme without a stop time ends where the next one on its channel starts.
    QHash<QString, GuideDatabase::Programme> m_pending;
};
