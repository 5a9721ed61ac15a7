// The memory curve of tuning: 300 tunings (or as many as asked) through the real main window and
// player, alternating a live icecast2 stream, a file over local HTTP, a dead address and a 404.
// Prints one CSV line per tuning: tuning, rss_kb, threads, open_files.
//   bench_soak [tunings]
#include "SoakRun.h"

#include "app/Application.h"

#include <cstdio>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    const int tunings = argc > 1 ? std::max(20, std::atoi(argv[1])) : 300;
    Soak::Run run;
    if (!run.start()) {
        std::fprintf(stderr, "cannot start: %s\n", qPrintable(run.errorText()));
        return 1;
    }
    std::printf("tuning,rss_kb,threads,open_files\n");
    const Soak::Sample first = Soak::sample(0);
    std::printf("%d,%lld,%d,%d\n", first.tuning, first.rssKb, first.threads, first.files);
    Soak::Sample after20;
    QElapsedTimer clock;
    clock.start();
    int missed = 0;
    for (int n = 0; n < tunings; ++n) {
        if (!run.tune(n))
            ++missed;
        const Soak::Sample s = Soak::sample(n + 1);
        if (n == 19)
            after20 = s;
        std::printf("%d,%lld,%d,%d\n", s.tuning, s.rssKb, s.threads, s.files);
        std::fflush(stdout);
    }
    const double seconds = clock.elapsed() / 1000.0;
    const bool plays = run.playsLive();
    const Soak::Sample last = Soak::sample(tunings);
    std::fprintf(stderr,
                 "%d tunings in %.1f s (%.0f ms each); plays afterwards: %s; RSS after 20: %lld kB, at the end: "
                 "%lld kB (%+lld kB); threads %d -> %d; open files %d -> %d; message boxes: %lld; "
                 "double clicks that did not tune: %d\n",
                 tunings, seconds, seconds * 1000 / tunings, plays ? "yes" : "NO", after20.rssKb, last.rssKb,
                 last.rssKb - after20.rssKb, after20.threads, last.threads, after20.files, last.files,
                 qint64(MsgBox::shown().size()), missed);
    return plays ? 0 : 1;
}
