#include "pictures/LogoDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

namespace LogoDecoder {

bool isAcceptedFormat(const QByteArray &format)
{
    static const QByteArray accepted[] = {"png", "jpeg", "jpg", "gif", "ico", "webp"};
    const QByteArray lower = format.toLower();
    for (const QByteArray &f : accepted)
        if (lower == f)
            return true;
    return false;
}

namespace {

bool claimsTooMuch(const QSize &size)
{
    return size.width() > MaxClaimedSide || size.height() > MaxClaimedSide;
}

QString sizeText(const QSize &size)
{
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

// An icon file holds several pictures: the largest one that is not too large.
void chooseLargest(QImageReader &reader)
{
    const int count = qMin(reader.imageCount(), 32);
    int best = 0;
    qint64 bestArea = -1;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            break;
        const QSize size = reader.size();
        const qint64 area = qint64(size.width()) * size.height();
        if (size.isValid() && !claimsTooMuch(size) && area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    reader.jumpToImage(best);
}

} // namespace

QImage decode(const QByteArray &data, const QSize &fit, QString *error)
{
    auto refuse = [error](const QString &why) {
        if (error)
            *error = why;
        return QImage();
    };
    if (data.isEmpty())
        return refuse(QStringLiteral("it is empty"));
    QByteArray bytes = data; // the buffer reads a copy that shares the data
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    // The format is told by the bytes alone, never by a name or a content type.
    const QByteArray format = QImageReader::imageFormat(&buffer);
    if (!isAcceptedFormat(format))
        return refuse(
            format.isEmpty()
                ? QStringLiteral("it is not a picture")
                : QStringLiteral("it is a %1 picture, which is not shown").arg(QString::fromLatin1(format.toUpper())));
    buffer.seek(0);
    QImageReader reader(&buffer, format);
    reader.setAllocationLimit(AllocationLimitMiB);
    if (format == "ico")
        chooseLargest(reader);
    const QSize claimed = reader.size();
    if (claimed.isValid() && claimsTooMuch(claimed))
        return refuse(QStringLiteral("it claims %1 pixels").arg(sizeText(claimed)));
    if (claimed.isValid() && fit.isValid() && (claimed.width() > fit.width() || claimed.height() > fit.height()))
        reader.setScaledSize(claimed.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return refuse(QStringLiteral("it cannot be decoded (%1)").arg(reader.errorString()));
    if (claimsTooMuch(image.size()))
        return refuse(QStringLiteral("it claims %1 pixels").arg(sizeText(image.size())));
    if (fit.isValid() && (image.width() > fit.width() || image.height() > fit.height()))
        image = image.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

QByteArray encodePng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(9);
    if (!writer.write(image))
        return {};
    return png;
}

} // namespace LogoDecoder
