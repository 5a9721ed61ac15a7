#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Logos are outside data: a server may send anything under any content type. A picture is
// decoded only when its bytes are one of the formats below (whatever the server called it),
// its claimed size is refused before any pixel is decoded when it is too large, and the
// decoder is held to an allocation limit. Needs Qt Gui (QImage), never a widget.
namespace LogoDecoder {

// Largest claimed picture decoded: 4096 on a side (a logo needs far less; a picture of
// 40,000 x 40,000 in a small file would take gigabytes).
constexpr int MaxClaimedSide = 4096;
// What the decoder may allocate, in MiB.
constexpr int AllocationLimitMiB = 96;
// The side a stored logo fits in.
constexpr int StoredSide = 256;

// True for the formats decoded: PNG, JPEG, GIF (its first frame), ICO and WebP.
bool isAcceptedFormat(const QByteArray &format);

// The picture in data, scaled down to fit `fit` (kept as it is when smaller), or a null image
// with *error saying why it was refused.
QImage decode(const QByteArray &data, const QSize &fit, QString *error = nullptr);

// The picture as PNG bytes.
QByteArray encodePng(const QImage &image);

} // namespace LogoDecoder
