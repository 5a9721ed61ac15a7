#pragma once

// Tunings in a row through the real main window and its player, on four kinds of station: a live
// stream from a local icecast2 server, a file served by a local HTTP server, an address where
// nothing listens and an address that answers 404. Shared by the soak test and its benchmark.

#include "StreamServers.h"
#include "TestAppDir.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "player/Player.h"
#include "tuner/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <unistd.h>

namespace Soak {

// What the process holds at one moment.
struct Sample
{
    int tuning = 0;
    qint64 rssKb = 0;
    int threads = 0;
    int files = 0;
};

inline Sample sample(int tuning)
{
    Sample s;
    s.tuning = tuning;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> parts = statm.readAll().split(' ');
        if (parts.size() > 1)
            s.rssKb = parts[1].toLongLong() * (sysconf(_SC_PAGESIZE) / 1024);
    }
    s.threads = int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
    s.files = int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
    return s;
}

inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

class Run
{
public:
    // The four stations, in list order.
    static constexpr const char *Names[4] = {"A Live", "B File", "C Dead", "D Missing"};

    // Starts the servers and opens the window; errorText() says what failed.
    bool start()
    {
        Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
        Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
        MsgBox::setRecording(true);
        if (!IcecastServer::available()) {
            m_error = QStringLiteral("icecast2 and ffmpeg are needed");
            return false;
        }
        const QString tone = m_files.filePath(QStringLiteral("tone.mp3"));
        if (!StreamTools::makeTone(tone, 440, 60)) {
            m_error = QStringLiteral("ffmpeg could not make a tone");
            return false;
        }
        m_http = std::make_unique<LocalHttpServer>();
        m_http->serveFile(QStringLiteral("/tone.mp3"), tone, "audio/mpeg");
        m_icecast = std::make_unique<IcecastServer>();
        if (!m_icecast->start()) {
            m_error = m_icecast->errorText();
            return false;
        }
        m_dir = std::make_unique<TestAppDir>(TestAppDir::EmptyTables,
                                             "DataBase=Halcyrix.db\r\nShowBanner=False\r\nCategories=Jazz\r\n");
        const QString addresses[4] = {m_icecast->streamUrl(), m_http->url(QStringLiteral("/tone.mp3")),
                                      QStringLiteral("http://127.0.0.1:%1/dead.mp3").arg(StreamTools::freePort()),
                                      m_http->url(QStringLiteral("/missing.mp3"))};
        std::copy(std::begin(addresses), std::end(addresses), std::begin(m_addresses));
        for (int i = 0; i < 4; ++i)
            m_dir->addStation(QString::fromLatin1(Names[i]), QStringLiteral("Jazz"), addresses[i]);

        Module1::RadioMode = true;
        Module1::PresetArmed = false;
        m_window = std::make_unique<frmMain>();
        m_window->Form_Load();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()) || m_window->DBList1->ListCount() != 4) {
            m_error = QStringLiteral("the window did not show the four stations");
            return false;
        }
        return true;
    }

    QString errorText() const { return m_error; }
    frmMain &window() { return *m_window; }
    Player *player() const { return Player::forConsole(QStringLiteral("Radio")); }

    // Tuning number n: a double click on station n % 4, then the pause of a fast user — until the
    // station plays or fails, at least a quarter and at most one and a half seconds, and every
    // seventh time only a moment, so that some tunings cut into a stream still connecting.
    // Returns whether the double click reached the player with that station's address.
    bool tune(int n)
    {
        const int station = n % 4;
        doubleClick(station);
        const bool reached = player()->source() == m_addresses[station];
        if (qEnvironmentVariableIsSet("SOAK_DEBUG"))
            qWarning("tuning %d: station %d, source %s, list text %s, title %s", n, station,
                     qPrintable(player()->source()), qPrintable(m_window->DBList1->Text()),
                     qPrintable(m_window->windowTitle()));
        const int limit = n % 7 == 6 ? 80 : 1500;
        const int least = n % 7 == 6 ? 80 : 250;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < limit) {
            spin(20);
            const Player::State s = player()->state();
            if (s == Player::State::Playing || s == Player::State::Failed)
                break;
        }
        // Even a fast user takes a quarter of a second to reach the next entry.
        if (clock.elapsed() < least)
            spin(int(least - clock.elapsed()));
        return reached;
    }

    // Tunes the live station and waits until its audio plays.
    bool playsLive(int timeoutMs = 15000)
    {
        bool started = false;
        auto c = QObject::connect(player(), &Player::playbackStarted, [&started] { started = true; });
        doubleClick(0);
        QElapsedTimer clock;
        clock.start();
        while (!started && clock.elapsed() < timeoutMs)
            spin(20);
        QObject::disconnect(c);
        return started && player()->state() == Player::State::Playing;
    }

private:
    // What a double click on a list entry makes the list do: select it, then its click and
    // double-click signals. (Synthetic mouse events are not used here: after some tunings the
    // list's double click was lost to them, which hid the player from the soak.)
    void doubleClick(int row)
    {
        QListView *list = m_window->DBList1;
        const QModelIndex index = list->model()->index(row, 0);
        list->setCurrentIndex(index);
        emit list->clicked(index);
        emit list->doubleClicked(index);
    }

    QTemporaryDir m_files;
    std::unique_ptr<LocalHttpServer> m_http;
    std::unique_ptr<IcecastServer> m_icecast;
    std::unique_ptr<TestAppDir> m_dir;
    std::unique_ptr<frmMain> m_window;
    QString m_addresses[4];
    QString m_error;
};

} // namespace Soak
