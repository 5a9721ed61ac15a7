#pragma once

// Pictures the logo tests serve: good ones in each format, and hostile ones.

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRandomGenerator>
#include <QtEndian>

namespace LogoSamples {

inline QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QImage filled(int width, int height, const QColor &color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A PNG whose header claims width x height while the file holds a few KiB of compressed
// zeros: decoding it as claimed would take gigabytes.
inline QByteArray claimingPng(quint32 width, quint32 height)
{
    auto crc = [](const QByteArray &data) {
        quint32 c = 0xffffffffu;
        for (const char byte : data) {
            c ^= quint8(byte);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
        }
        return c ^ 0xffffffffu;
    };
    auto chunk = [&](const QByteArray &type, const QByteArray &data) {
        QByteArray out(4, '\0');
        qToBigEndian<quint32>(quint32(data.size()), out.data());
        QByteArray crcBytes(4, '\0');
        qToBigEndian<quint32>(crc(type + data), crcBytes.data());
        return out + type + data + crcBytes;
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(width, header.data());
    qToBigEndian<quint32>(height, header.data() + 4);
    header[8] = 8;                                                                   // bits per sample
    header[9] = 2;                                                                   // RGB
    const QByteArray zeros = qCompress(QByteArray(2 * 1024 * 1024, '\0'), 9).mid(4); // a zlib stream
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zeros) + chunk("IEND", {});
}

// The first part of a PNG of noise (which does not compress), cut off.
inline QByteArray truncatedPng()
{
    QImage noise(200, 200, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random.generate());
    const QByteArray whole = encoded(noise, "png");
    return whole.left(whole.size() / 3);
}

} // namespace LogoSamples
