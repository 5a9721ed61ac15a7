#pragma once

#include "data/Statement.h"

#include <QStringDecoder>
#include <QVariant>
#include <algorithm>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The compact storage of a record set's values. Header only: reading, filtering and sorting
// call it for every value of every row, and its members stay inline in those loops.

// Decodes UTF-8 into text as textValue() does, reusing the room text already has.
inline void decodeInto(QString &text, std::string_view utf8)
{
    text.resize(qsizetype(utf8.size())); // UTF-16 takes at most one unit per byte
    // Most texts are ASCII: each byte is its character.
    QChar *out = text.data();
    size_t i = 0;
    while (i < utf8.size() && uchar(utf8[i]) < 0x80) {
        out[i] = QLatin1Char(utf8[i]);
        ++i;
    }
    if (i == utf8.size())
        return;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QChar *end = decoder.appendToBuffer(text.data(), QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    text.truncate(end - text.constData());
}

// One field's values for every row of a record set, kept compactly. A field whose values repeat
// (categories, types, places) holds each different value once and, for each row, the number
// of its value. A field whose texts are mostly different (names, addresses) holds them as UTF-8 one
// after the other, with where each row's text starts and how long it is; a value of it is
// made when asked for. Which of the two a field is, the first rows read decide; a value other
// than a text or a null turns a field of the second form into the first.
class RecordColumn
{
public:
    void reserve(size_t rows)
    {
        m_reserved = rows;
        m_ids.reserve(rows);
    }

    // Reading a table: one value per row, in row order, then finishReading().
    void appendText(std::string_view utf8)
    {
        if (m_packed && fits(utf8.size())) {
            m_spans.push_back(pack(utf8));
            return;
        }
        unpack();
        if (!m_pooling) {
            m_ids.push_back(add(textValue(utf8)));
            return;
        }
        ++m_reads;
        if (const auto it = m_seen.find(utf8); it != m_seen.end()) {
            m_ids.push_back(it->second);
            return;
        }
        const quint32 id = add(textValue(utf8));
        m_keys.emplace_back(utf8);
        m_seen.emplace(std::string_view(m_keys.back()), id);
        m_ids.push_back(id);
        if ((m_reads >= kTrial && m_values.size() * 2 > size_t(m_reads)) || m_values.size() > kMostKept)
            stopPooling();
    }

    // Appends a value of any kind (a null for a row being added, numbers and bytes read).
    void append(const QVariant &v)
    {
        if (m_packed && !v.isValid()) {
            m_spans.push_back(Span{0, kNull});
            return;
        }
        const QByteArray utf8 = m_packed && isText(v) ? v.toString().toUtf8() : QByteArray();
        if (m_packed && isText(v) && fits(size_t(utf8.size()))) {
            m_spans.push_back(pack(utf8));
            return;
        }
        unpack();
        if (!v.isValid())
            m_ids.push_back(nullId());
        else
            m_ids.push_back(add(v));
    }

    // Lets go of what only reading needed.
    void finishReading()
    {
        m_pooling = false;
        m_seen = {};
        m_keys = {};
    }

    QVariant value(size_t r) const
    {
        if (!m_packed)
            return m_values[m_ids[r]];
        const Span s = m_spans[r];
        if (s.size == kNull)
            return QVariant();
        return textValue(bytes(s));
    }

    // Puts row r's value into into, reusing the text into holds: a pass over many rows
    // (filter, find, sort) decodes their texts without making a string for each.
    void read(size_t r, QVariant &into) const
    {
        if (!m_packed) {
            into = m_values[m_ids[r]];
            return;
        }
        const Span s = m_spans[r];
        if (s.size == kNull) {
            into = QVariant();
            return;
        }
        if (!isText(into))
            into = QVariant(QString());
        decodeInto(*static_cast<QString *>(into.data()), bytes(s));
    }

    // Changes row r's value (what the database stored for it).
    void set(size_t r, const QVariant &v)
    {
        if (m_packed && !v.isValid()) {
            m_spans[r] = Span{0, kNull};
            return;
        }
        const QByteArray utf8 = m_packed && isText(v) ? v.toString().toUtf8() : QByteArray();
        if (m_packed && isText(v) && fits(size_t(utf8.size()))) {
            const Span old = m_spans[r];
            if (old.size != kNull && bytes(old) == std::string_view(utf8.constData(), size_t(utf8.size())))
                return;
            m_spans[r] = pack(utf8);
            return;
        }
        unpack();
        if (sameValue(m_values[m_ids[r]], v))
            return; // unchanged: an Update stores every field again
        m_ids[r] = v.isValid() ? add(v) : nullId();
    }

private:
    struct Span
    {
        quint32 start;
        quint32 size; // kNull for a null
    };
    static constexpr quint32 kNull = 0xffffffffu;
    static constexpr int kTrial = 2048;        // texts read before a field can be judged
    static constexpr size_t kMostKept = 50000; // different values a field of the first form holds

    // Whether a text of that many bytes can still be packed (spans reach 4 GiB of texts; a
    // field holding more goes back to the first form).
    bool fits(size_t bytes) const { return bytes < kNull && m_bytes.size() < size_t(kNull) - bytes; }

    std::string_view bytes(Span s) const { return std::string_view(m_bytes.data() + s.start, s.size); }

    Span pack(std::string_view utf8)
    {
        const Span s{quint32(m_bytes.size()), quint32(utf8.size())};
        m_bytes.insert(m_bytes.end(), utf8.begin(), utf8.end());
        return s;
    }
    Span pack(const QByteArray &utf8) { return pack(std::string_view(utf8.constData(), size_t(utf8.size()))); }

    quint32 add(const QVariant &v)
    {
        if (!v.isValid())
            return nullId();
        if (!isText(v))
            m_onlyTexts = false;
        m_values.push_back(v);
        return quint32(m_values.size() - 1);
    }

    quint32 nullId()
    {
        if (m_nullId == kNull) {
            m_nullId = quint32(m_values.size());
            m_values.emplace_back();
        }
        return m_nullId;
    }

    // Mostly different texts: from now on they are packed, if texts and nulls are all there is.
    void stopPooling()
    {
        finishReading();
        if (!m_onlyTexts)
            return;
        m_spans.reserve(std::max(m_reserved, m_ids.size()));
        for (const quint32 id : m_ids) {
            const QVariant &v = m_values[id];
            m_spans.push_back(v.isValid() ? pack(v.toString().toUtf8()) : Span{0, kNull});
        }
        m_ids = {};
        m_values = {};
        m_nullId = kNull;
        m_packed = true;
    }

    // Back to the first form, for a value that is not a text.
    void unpack()
    {
        if (!m_packed)
            return;
        m_ids.reserve(m_spans.size());
        for (size_t r = 0; r < m_spans.size(); ++r)
            m_ids.push_back(m_spans[r].size == kNull ? nullId() : add(textValue(bytes(m_spans[r]))));
        m_spans = {};
        m_bytes = {};
        m_packed = false;
    }

    bool m_packed = false;
    // The first form: every different value once, and a number into them per row.
    std::vector<quint32> m_ids;
    std::vector<QVariant> m_values;
    quint32 m_nullId = kNull;
    bool m_onlyTexts = true;
    // The second form: each row's text as a span of bytes.
    std::vector<Span> m_spans;
    std::vector<char> m_bytes;
    // While reading: the texts seen so far, so that a repeated text is kept once.
    bool m_pooling = true;
    int m_reads = 0;
    size_t m_reserved = 0;
    std::deque<std::string> m_keys; // stable storage of the keys' bytes
    std::unordered_map<std::string_view, quint32> m_seen;
};
