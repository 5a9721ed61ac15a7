// Writes the program's icon, as the program draws it, at the sizes of the desktop's icon theme:
//   hx_make_icons OUTPUT_DIR SIZE...   ->  OUTPUT_DIR/<SIZE>x<SIZE>/apps/halcyrix.png
#include "tuner/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: hx_make_icons OUTPUT_DIR SIZE...\n");
        return 2;
    }
    for (qsizetype i = 2; i < args.size(); ++i) {
        const int size = args[i].toInt();
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(args[1]).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) || !Artwork::drawIcon(size).save(dir + QStringLiteral("/halcyrix.png"))) {
            std::fprintf(stderr, "hx_make_icons: cannot write the %s pixel icon\n", qPrintable(args[i]));
            return 1;
        }
    }
    return 0;
}
