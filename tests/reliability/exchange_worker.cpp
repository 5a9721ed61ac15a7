// Runs one import or export through the real dialog on the database of $HALCYRIX_HOME, for the
// kill-safety test. It prints "started" as soon as the dialog shows its first progress text, so
// the test can kill it in the middle of the work.
//   hx_exchange_worker import <station file>
//   hx_exchange_worker export <file>
#include "app/AppInfo.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"

#include <QApplication>
#include <QLineEdit>
#include <QStatusBar>
#include <cstdio>

template <typename Dialog> static int run(Dialog &dialog, const QString &file)
{
    bool told = false;
    QObject::connect(dialog.StatusBar1, &QStatusBar::messageChanged, [&told](const QString &text) {
        if (!told && !text.isEmpty()) {
            told = true;
            std::fputs("started\n", stdout);
            std::fflush(stdout);
        }
    });
    dialog.txtFile->setText(file);
    dialog.Command3_Click();
    if (!MsgBox::shown().isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(MsgBox::shown().join(QLatin1Char('\n'))));
        return 2;
    }
    std::fputs("done\n", stdout);
    return 0;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 1;
    MsgBox::setRecording(true);
    Module1::DatabasePath = App::filePath(QStringLiteral("Halcyrix.db"));
    const QString verb = QString::fromLocal8Bit(argv[1]);
    const QString file = QString::fromLocal8Bit(argv[2]);
    if (verb == QLatin1String("import")) {
        frmImport dialog;
        return run(dialog, file);
    }
    frmExport dialog;
    return run(dialog, file);
}
