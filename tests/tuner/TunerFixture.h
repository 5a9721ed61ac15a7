#pragma once

// Shared set-up of the tuner window tests: a temporary application directory with a small,
// known station list, and the real window loaded and shown over it.

#include "TestAppDir.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/Shell.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "tuner/StatusBar.h"
#include "tuner/UpDown.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <memory>

inline QString stream(const QString &name)
{
    return QStringLiteral("http://127.0.0.1:9/%1.mp3").arg(name);
}

// Stations of several categories; the radio band shows Jazz and Pop.
inline void addStations(const TestAppDir &dir)
{
    dir.addStation("WJZZ", "Jazz", stream("wjzz"), "FM", "88.1", "Atlanta", "http://wjzz.example/");
    dir.addStation("Blue Note", "Jazz", stream("bluenote"), "AM", "1010", "New York");
    dir.addStation("Pop One", "Pop", stream("popone"), "NET", "", "Online", "http://popone.example/");
    dir.addStation("Zed Pop", "Pop", stream("zed"), "fm", "99.9", "Leeds");
    dir.addStation("Talk Time", "Talk", stream("talk"), "", "101", "Boston");
    dir.addStation("Channel 5", "Television", stream("ch5"), "TV", "5", "London");
    dir.addStation("Channel 2", "Television", stream("ch2"), "TV", "2", "Paris");
    dir.addStation("Joe's Place", "Rock 'n' Roll", stream("joe"), "FM", "92", "Memphis");
    dir.addStation("No Stream", "Pop", "", "FM", "77.7", "Nowhere", "http://nostream.example/");
}

// Preset rows P0..P(n-1), each with a stream of its own and no category.
inline void addPresets(const TestAppDir &dir, int rows = 10)
{
    for (int i = 0; i < rows; ++i)
        dir.exec(QStringLiteral("INSERT INTO Preset (SName, Frequency, Type, Location, RAMFile) "
                                "VALUES ('P%1', '10%1', 'AM', 'Slot %1', '%2')")
                     .arg(i)
                     .arg(stream(QStringLiteral("p%1").arg(i))));
}

inline QByteArray iniText(const QByteArray &categories = "Jazz, Pop", const QByteArray &banner = "False")
{
    QByteArray ini = "DataBase=Halcyrix.db\r\n";
    if (!banner.isEmpty())
        ini += "ShowBanner=" + banner + "\r\n";
    return ini + "Categories=" + categories + "\r\n";
}

inline void startTests()
{
    Player::setDefaultOption(QStringLiteral("ao"), QStringLiteral("null"));
    Player::setDefaultOption(QStringLiteral("vo"), QStringLiteral("null"));
    MsgBox::setRecording(true);
    Shell::setRecording(true);
}

// Loads and shows the window as the program does at start-up.
inline std::unique_ptr<frmMain> openWindow()
{
    Module1::RadioMode = true;
    Module1::PresetArmed = false;
    auto w = std::make_unique<frmMain>();
    w->Form_Load();
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get()))
        qWarning("window not exposed");
    return w;
}

inline QStringList listed(const frmMain &w)
{
    QStringList names;
    for (int i = 0; i < w.DBList1->ListCount(); ++i)
        names << w.DBList1->List(i);
    return names;
}

inline QPoint entryPoint(const frmMain &w, const QString &name)
{
    const int row = listed(w).indexOf(name);
    return w.DBList1->visualRect(w.DBList1->model()->index(row, 0)).center();
}

inline void clickEntry(frmMain &w, const QString &name)
{
    QTest::mouseClick(w.DBList1->viewport(), Qt::LeftButton, {}, entryPoint(w, name));
}

inline void doubleClickEntry(frmMain &w, const QString &name)
{
    clickEntry(w, name);
    QTest::mouseDClick(w.DBList1->viewport(), Qt::LeftButton, {}, entryPoint(w, name));
}

// Index of the lit band light, -1 when none is lit; fails on any other colour.
inline int litBand(const frmMain &w)
{
    int lit = -1;
    for (int i = 0; i < 4; ++i) {
        const QColor c = w.lblType[i]->palette().color(QPalette::WindowText);
        if (c == QColor(0, 255, 0))
            lit = lit < 0 ? i : 99;
        else if (c != QColor(0, 128, 0))
            return 100;
    }
    return lit;
}

inline Player *player()
{
    return Player::forConsole(QStringLiteral("Radio"));
}

// The window over the stations above, with presets rows and extra SQL run before it loads.
struct Radio
{
    TestAppDir dir;
    std::unique_ptr<frmMain> window;
    explicit Radio(const QByteArray &ini = iniText(), int presets = 10, const QString &sql = QString())
        : dir(TestAppDir::EmptyTables, ini)
    {
        addStations(dir);
        addPresets(dir, presets);
        if (!sql.isEmpty())
            dir.exec(sql);
        window = openWindow();
    }
};

// Opens a dialog modally from the window and closes it at once, as a user would.
inline void openAndCloseDialog(frmMain &w)
{
    QDialog dialog;
    QTimer::singleShot(0, &dialog, &QDialog::accept);
    w.runModal(dialog);
}
