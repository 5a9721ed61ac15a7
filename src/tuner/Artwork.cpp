#include "Artwork.h"

#include "app/AppInfo.h"

#include <QCoreApplication>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace Artwork {
namespace {

const QColor kGreen(0, 255, 0);
const QColor kDarkGreen(0, 128, 0);

// A small table radio in a square of side s: cabinet, display, speaker grille, knob, antenna.
void paintRadio(QPainter &p, qreal s)
{
    p.setRenderHint(QPainter::Antialiasing);

    // Antenna.
    QPen antenna(QColor(70, 70, 70), std::max(1.0, s * 0.035), Qt::SolidLine, Qt::RoundCap);
    p.setPen(antenna);
    p.drawLine(QPointF(s * 0.68, s * 0.30), QPointF(s * 0.86, s * 0.05));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawEllipse(QPointF(s * 0.86, s * 0.05), s * 0.045, s * 0.045);

    // Cabinet.
    const QRectF body(s * 0.04, s * 0.28, s * 0.92, s * 0.64);
    QLinearGradient wood(body.topLeft(), body.bottomLeft());
    wood.setColorAt(0.0, QColor(96, 98, 104));
    wood.setColorAt(0.5, QColor(52, 54, 60));
    wood.setColorAt(1.0, QColor(28, 29, 33));
    p.setBrush(wood);
    p.setPen(QPen(QColor(16, 16, 18), std::max(1.0, s * 0.02)));
    p.drawRoundedRect(body, s * 0.09, s * 0.09);

    // Display window with a green frequency readout.
    const QRectF display(s * 0.11, s * 0.36, s * 0.78, s * 0.22);
    p.setPen(QPen(QColor(150, 150, 150), std::max(1.0, s * 0.012)));
    p.setBrush(Qt::black);
    p.drawRoundedRect(display, s * 0.03, s * 0.03);
    p.setPen(Qt::NoPen);
    const int bars = 7;
    const qreal barWidth = display.width() * 0.8 / (bars * 1.6);
    for (int i = 0; i < bars; ++i) {
        const qreal h = display.height() * (0.25 + 0.6 * std::fabs(std::sin(i * 1.3 + 0.6)));
        const QRectF bar(display.left() + display.width() * 0.1 + i * barWidth * 1.6,
                         display.bottom() - display.height() * 0.12 - h, barWidth, h);
        p.setBrush(i == 3 ? kGreen : kDarkGreen.lighter(130));
        p.drawRect(bar);
    }

    // Speaker grille.
    p.setBrush(QColor(20, 20, 22));
    const QRectF grille(s * 0.11, s * 0.64, s * 0.48, s * 0.21);
    p.drawRoundedRect(grille, s * 0.03, s * 0.03);
    p.setPen(QPen(QColor(90, 92, 98), std::max(1.0, s * 0.014)));
    for (int i = 1; i < 5; ++i) {
        const qreal y = grille.top() + grille.height() * i / 5.0;
        p.drawLine(QPointF(grille.left() + s * 0.02, y), QPointF(grille.right() - s * 0.02, y));
    }

    // Tuning knob.
    QRadialGradient knob(QPointF(s * 0.74, s * 0.72), s * 0.12, QPointF(s * 0.71, s * 0.69));
    knob.setColorAt(0.0, QColor(235, 235, 235));
    knob.setColorAt(1.0, QColor(120, 120, 125));
    p.setPen(QPen(QColor(30, 30, 30), std::max(1.0, s * 0.012)));
    p.setBrush(knob);
    p.drawEllipse(QPointF(s * 0.74, s * 0.745), s * 0.11, s * 0.11);
    p.setPen(QPen(QColor(200, 40, 40), std::max(1.0, s * 0.02), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.74, s * 0.745), QPointF(s * 0.80, s * 0.685));
}

} // namespace

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintRadio(p, size);
    return image;
}

QIcon icon()
{
    QIcon result;
    for (int size : {16, 24, 32, 48, 64, 128})
        result.addPixmap(QPixmap::fromImage(drawIcon(size)));
    return result;
}

QPixmap drawBanner(const QSize &size, qreal devicePixelRatio)
{
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    const qreal w = size.width();
    const qreal h = size.height();

    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // Brushed-metal face.
    QLinearGradient face(0, 0, 0, h);
    face.setColorAt(0.0, QColor(226, 226, 226));
    face.setColorAt(0.5, QColor(192, 192, 192));
    face.setColorAt(1.0, QColor(164, 164, 164));
    p.fillRect(QRectF(0, 0, w, h), face);
    p.setPen(QColor(240, 240, 240));
    p.drawLine(QPointF(0, 0.5), QPointF(w, 0.5));
    p.setPen(QColor(120, 120, 120));
    p.drawLine(QPointF(0, h - 0.5), QPointF(w, h - 0.5));

    // The radio and the program's name.
    const qreal iconSide = h * 0.86;
    p.save();
    p.translate(h * 0.12, (h - iconSide) / 2);
    paintRadio(p, iconSide);
    p.restore();

    const qreal textLeft = h * 0.2 + iconSide;
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setBold(true);
    name.setItalic(true);
    name.setPixelSize(std::max(8, int(h * 0.40)));
    p.setFont(name);
    p.setPen(QColor(255, 255, 255, 160));
    p.drawText(QPointF(textLeft + 1, h * 0.52 + 1), App::title());
    p.setPen(QColor(34, 36, 42));
    p.drawText(QPointF(textLeft, h * 0.52), App::title());
    const qreal nameWidth = QFontMetricsF(name).horizontalAdvance(App::title());

    QFont tag(QStringLiteral("DejaVu Sans"));
    tag.setPixelSize(std::max(6, int(h * 0.17)));
    p.setFont(tag);
    p.setPen(QColor(70, 72, 78));
    const QString tagline = QCoreApplication::translate("Artwork", "Internet radio & television");
    p.drawText(QPointF(textLeft + 2, h * 0.80), tagline);
    const qreal textRight = textLeft + std::max(nameWidth, QFontMetricsF(tag).horizontalAdvance(tagline)) + h * 0.3;

    // Tuning dial: a black scale with green markings and a red pointer.
    const QRectF dial(textRight, h * 0.16, w - textRight - h * 0.16, h * 0.68);
    if (dial.width() > h) {
        p.setPen(QPen(QColor(90, 90, 90), 1));
        QLinearGradient glass(dial.topLeft(), dial.bottomLeft());
        glass.setColorAt(0.0, QColor(24, 24, 24));
        glass.setColorAt(1.0, QColor(0, 0, 0));
        p.setBrush(glass);
        p.drawRoundedRect(dial, h * 0.08, h * 0.08);

        const qreal left = dial.left() + dial.height() * 0.35;
        const qreal right = dial.right() - dial.height() * 0.35;
        const qreal baseline = dial.top() + dial.height() * 0.62;
        QFont scale(QStringLiteral("DejaVu Sans"));
        scale.setPixelSize(std::max(6, int(dial.height() * 0.26)));
        p.setFont(scale);
        const int firstMhz = 88;
        const int lastMhz = 108;
        for (int mhz = firstMhz; mhz <= lastMhz; ++mhz) {
            const qreal x = left + (right - left) * (mhz - firstMhz) / (lastMhz - firstMhz);
            const bool major = mhz % 4 == 0;
            p.setPen(QPen(major ? kGreen : kDarkGreen, 1));
            p.drawLine(QPointF(x, baseline), QPointF(x, baseline - dial.height() * (major ? 0.22 : 0.12)));
            if (major) {
                const QString label = QString::number(mhz);
                const qreal tw = QFontMetricsF(scale).horizontalAdvance(label);
                p.drawText(QPointF(x - tw / 2, dial.top() + dial.height() * 0.30), label);
            }
        }
        p.setPen(QPen(kDarkGreen, 1));
        p.drawLine(QPointF(left, baseline), QPointF(right, baseline));
        p.setPen(QPen(kGreen, 1));
        QFont unit = scale;
        unit.setPixelSize(std::max(5, int(dial.height() * 0.2)));
        p.setFont(unit);
        p.drawText(QRectF(left, baseline + 1, right - left, dial.bottom() - baseline - 1), Qt::AlignCenter,
                   QStringLiteral("FM  MHz"));

        const qreal pointer = left + (right - left) * 0.58;
        p.setPen(QPen(QColor(255, 40, 30), std::max(1.5, h * 0.03)));
        p.drawLine(QPointF(pointer, dial.top() + 2), QPointF(pointer, dial.bottom() - 2));
    }
    p.end();
    return pixmap;
}

} // namespace Artwork
