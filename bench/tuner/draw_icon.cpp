// Writes the program icon (data/halcyrix.png) from the same drawing the window uses.
// Usage: hx_draw_icon <output.png> [size]
#include "tuner/Artwork.h"

#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s output.png [size]\n", argv[0]);
        return 2;
    }
    const int size = argc > 2 ? std::atoi(argv[2]) : 64;
    if (!Artwork::drawIcon(size).save(QString::fromLocal8Bit(argv[1]), "PNG", 9)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
