#pragma once

#include <QVariant>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One field's values for every row of a record set, kept compactly. A field whose values repeat
// (categories, types, places) holds each different value once and, for each row, the number
// of its value. A field whose texts are mostly different (names, addresses) holds them as UTF-8 one
// after the other, with where each row's text starts and how long it is; a value of it is
// made when asked for. Which of the two a field is, the first rows read decide; a value other
// than a text or a null turns a field of the second form into the first.
class RecordColumn
{
public:
    void reserve(size_t rows);

    // Reading a table: one value per row, in row order, then finishReading().
    void appendText(std::string_view utf8)
    {
        // The usual case, kept inline: a text of a field of mostly different texts.
        if (m_packed && fits(utf8.size()))
            m_spans.push_back(pack(utf8));
        else
            appendOtherText(utf8);
    }
    // Appends a value of any kind (a null for a row being added, numbers and bytes read).
    void append(const QVariant &v);
    // Lets go of what only reading needed.
    void finishReading();

    QVariant value(size_t r) const;
    // Puts row r's value into into, reusing the text into holds: a pass over many rows
    // (filter, find, sort) decodes their texts without making a string for each.
    void read(size_t r, QVariant &into) const;
    // Changes row r's value (what the database stored for it).
    void set(size_t r, const QVariant &v);

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
    void appendOtherText(std::string_view utf8);
    Span pack(const QByteArray &utf8) { return pack(std::string_view(utf8.constData(), size_t(utf8.size()))); }
    quint32 add(const QVariant &v);
    quint32 nullId();
    // Mostly different texts: from now on they are packed, if texts and nulls are all there is.
    void stopPooling();
    // Back to the first form, for a value that is not a text.
    void unpack();

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
