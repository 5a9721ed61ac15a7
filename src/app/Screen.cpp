#include "Screen.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace Screen {
namespace {
int g_pointer = Default;
}

void setMousePointer(int code)
{
    if (code == g_pointer)
        return;
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        if (g_pointer == Hourglass)
            QApplication::restoreOverrideCursor();
        if (code == Hourglass)
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    g_pointer = code;
}

int mousePointer()
{
    return g_pointer;
}

int twipsToPixels(int twips)
{
    qreal dpi = 96.0;
    if (QGuiApplication::primaryScreen())
        dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    if (dpi <= 0)
        dpi = 96.0;
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

} // namespace Screen
