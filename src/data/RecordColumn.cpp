#include "data/RecordColumn.h"

#include "data/Statement.h"

#include <QStringDecoder>
#include <algorithm>

namespace {

// Decodes UTF-8 into text as textValue() does, reusing the room text already has.
void decodeInto(QString &text, std::string_view utf8)
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

} // namespace

void RecordColumn::reserve(size_t rows)
{
    m_reserved = rows;
    m_ids.reserve(rows);
}

void RecordColumn::appendOtherText(std::string_view utf8)
{
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

void RecordColumn::append(const QVariant &v)
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

void RecordColumn::finishReading()
{
    m_pooling = false;
    m_seen = {};
    m_keys = {};
}

QVariant RecordColumn::value(size_t r) const
{
    if (!m_packed)
        return m_values[m_ids[r]];
    const Span s = m_spans[r];
    if (s.size == kNull)
        return QVariant();
    return textValue(bytes(s));
}

void RecordColumn::read(size_t r, QVariant &into) const
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

void RecordColumn::set(size_t r, const QVariant &v)
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
    const QVariant &old = m_values[m_ids[r]];
    if (old.isValid() == v.isValid() && (!v.isValid() || (old.typeId() == v.typeId() && old == v)))
        return; // unchanged: an Update stores every field again
    m_ids[r] = v.isValid() ? add(v) : nullId();
}

quint32 RecordColumn::add(const QVariant &v)
{
    if (!v.isValid())
        return nullId();
    if (!isText(v))
        m_onlyTexts = false;
    m_values.push_back(v);
    return quint32(m_values.size() - 1);
}

quint32 RecordColumn::nullId()
{
    if (m_nullId == kNull) {
        m_nullId = quint32(m_values.size());
        m_values.emplace_back();
    }
    return m_nullId;
}

void RecordColumn::stopPooling()
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

void RecordColumn::unpack()
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
