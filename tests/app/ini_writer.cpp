// Rewrites the settings file of $HALCYRIX_HOME over and over, alternating two values, until
// it is killed. The kill-safety test kills it at random moments.
#include "app/Module1.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (unsigned long i = 0;; ++i) {
        Module1::vbWriteIni(QStringLiteral("Categories"), (i % 2) ? QStringLiteral("Odd") : QStringLiteral("Even"));
        if (i == 0) {
            std::puts("writing");
            std::fflush(stdout);
        }
    }
}
