#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSize>

// The program's own pictures, drawn at run time so they stay sharp at any size:
// the icon (a small table radio with a green display) and the banner strip (the
// program's name beside a tuning dial).
namespace Artwork {

QImage drawIcon(int size);
QIcon icon();
QPixmap drawBanner(const QSize &size, qreal devicePixelRatio = 1.0);

} // namespace Artwork
