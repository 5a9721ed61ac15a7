#include "TextCodec.h"

#include "IniFile.h"

#include <QStringDecoder>

namespace TextCodec {

bool isValidUtf8(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80)
            continue;
        int more;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p < more)
            return false;
        for (int i = 0; i < more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        p += more;
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

QString fromWindows1252(const QByteArray &bytes)
{
    // 0x80..0x9F differ from Latin-1; the five unassigned bytes map to themselves.
    static const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.resize(bytes.size());
    QChar *dst = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= 0x80 && b <= 0x9F) ? QChar(high[b - 0x80]) : QChar(b);
    }
    return out;
}

QString decode(const QByteArray &bytes)
{
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

QString fromUtf8Inside(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QStringList decodeLines(const QByteArray &bytes)
{
    QStringList out;
    for (const QByteArray &line : IniFile::splitLines(bytes))
        out << decode(line);
    return out;
}

} // namespace TextCodec
