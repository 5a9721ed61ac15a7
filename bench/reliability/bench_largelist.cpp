// The main window on large generated station lists, 50,000 and 200,000 stations side by side:
//  - start-up: construct, load and show the window until its first activation has ended;
//  - band switch: a click on the TV band button, then on the radio band button;
//  - station editor: from the menu command until the editor is on screen;
//  - scrolling: the station list moved page by page from top to bottom, each step painted.
// Usage: bench_largelist [runs]
#include "TestAppDir.h"
#include "app/Application.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Stats
{
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    double median() const
    {
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s.empty() ? 0 : s[s.size() / 2];
    }
    double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

double elapsedMs(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

struct Figures
{
    int stations = 0;
    int listed = 0;
    int tvListed = 0;
    Stats startUp, firstPaint, toTv, toRadio, editorFirst, editorAgain, editorBack, scrollStep;
    int scrollSteps = 0;
};

// Opens the station editor from the menu; returns the milliseconds until it was on screen.
double openEditor(frmMain &w, double *backMs)
{
    QElapsedTimer timer;
    double shownMs = -1;
    QTimer::singleShot(0, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        shownMs = elapsedMs(timer);
        timer.restart();
        if (dialog)
            dialog->close();
    });
    timer.start();
    w.mnuEditRadioStations->trigger();
    *backMs = elapsedMs(timer); // closing it and the window's reactivation
    return shownMs;
}

void measure(Figures &f, int runs)
{
    // Half the categories are viewed: about 45 % of the stations are in the radio list.
    TestAppDir dir(TestAppDir::EmptyTables, TestAppDir::generatedStationsIni());
    dir.addGeneratedStations(f.stations);

    for (int run = 0; run < runs; ++run) {
        Module1::RadioMode = true;
        QElapsedTimer timer;
        timer.start();
        auto w = std::make_unique<frmMain>();
        w->Form_Load();
        w->show(); // the first activation runs as the window is first shown
        f.startUp.add(elapsedMs(timer));
        QCoreApplication::processEvents();
        f.firstPaint.add(elapsedMs(timer));
        f.listed = w->DBList1->ListCount();

        for (int i = 0; i < 3; ++i) {
            timer.restart();
            w->optTV->click();
            w->repaint();
            f.toTv.add(elapsedMs(timer));
            f.tvListed = w->DBList1->ListCount();
            timer.restart();
            w->optTuner->click();
            w->repaint();
            f.toRadio.add(elapsedMs(timer));
        }

        double back = 0;
        f.editorFirst.add(openEditor(*w, &back));
        f.editorBack.add(back);
        f.editorAgain.add(openEditor(*w, &back));
        f.editorBack.add(back);

        // Page by page through the whole list, each step painted before the next.
        QScrollBar *bar = w->DBList1->verticalScrollBar();
        const int pages = 200;
        for (int i = 0; i <= pages; ++i) {
            timer.restart();
            bar->setValue(int(qint64(bar->maximum()) * i / pages));
            w->DBList1->viewport()->repaint();
            f.scrollStep.add(elapsedMs(timer));
        }
        // And a few single lines with the keyboard at the far end.
        w->DBList1->setFocus();
        for (int i = 0; i < 50; ++i) {
            timer.restart();
            bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
            w->DBList1->viewport()->repaint();
            f.scrollStep.add(elapsedMs(timer));
        }
        f.scrollSteps = int(f.scrollStep.ms.size());
        w->hide();
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char **argv)
{
    Application app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
    MsgBox::setRecording(true);

    Figures small, large;
    small.stations = 50000;
    large.stations = 200000;
    measure(small, runs);
    measure(large, runs);
    if (!MsgBox::shown().isEmpty())
        std::printf("messages: %s\n", qPrintable(MsgBox::shown().join(QStringLiteral(" | "))));

    std::printf("%-46s %14s %14s   target\n", "median (max) in ms, over runs", "50,000", "200,000");
    auto row = [&](const char *what, const Stats Figures::*stat, const char *target) {
        std::printf("%-46s %7.1f (%5.1f) %7.1f (%5.1f)   %s\n", what, (small.*stat).median(), (small.*stat).max(),
                    (large.*stat).median(), (large.*stat).max(), target);
    };
    std::printf("%-46s %14d %14d\n", "stations in the radio list", small.listed, large.listed);
    std::printf("%-46s %14d %14d\n", "stations in the TV list", small.tvListed, large.tvListed);
    row("start-up to end of first activation", &Figures::startUp, "< 1000");
    row("start-up to first paint", &Figures::firstPaint, "");
    row("band switch to TV", &Figures::toTv, "< 100");
    row("band switch back to radio", &Figures::toRadio, "< 100");
    row("station editor opening, first time", &Figures::editorFirst, "< 300");
    row("station editor opening, again", &Figures::editorAgain, "< 300");
    row("editor closed and list rebuilt", &Figures::editorBack, "");
    row("list scroll step, painted", &Figures::scrollStep, "no stall (< 50)");
    std::printf("(%d runs, %d scroll steps per size)\n", runs, small.scrollSteps / runs);
    return 0;
}
