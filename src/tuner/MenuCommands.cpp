// The main window's menu bar and its commands: the windows they open, the web addresses,
// help, banner, exit.
#include "tuner/frmMain.h"

#include "tuner/UpDown.h"
#include "tuner/WindowLayout.h"

#include "data/StationColumn.h"

#include "app/AppInfo.h"
#include "app/Module1.h"
#include "app/Preferences.h"
#include "app/Shell.h"
#include "data/Database.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"
#include "directory/frmFindStations.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"
#include "guide/GuideLoader.h"
#include "guide/GuideSources.h"
#include "guide/GuideStatus.h"
#include "guide/frmGuide.h"
#include "health/frmCheckStations.h"
#include "listening/Listening.h"
#include "maintenance/frmCategory.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "timers/Timers.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QVariant>

namespace {
// Makes the window on first use, then shows the one instance modally over the main window.
template <typename Window, typename... Args> void openModal(frmMain *main, Window *&instance, Args &&...args)
{
    if (!instance)
        instance = new Window(std::forward<Args>(args)..., main);
    main->runModal(*instance);
}
} // namespace

void frmMain::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [&](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };
    auto item = [&](QMenu *m, const char *name, const QString &caption, bool shown = true) {
        QAction *a = m->addAction(caption);
        a->setObjectName(QLatin1String(name));
        a->setVisible(shown);
        return a;
    };
    auto separator = [&](QMenu *m, const char *name, bool shown = true) {
        QAction *a = m->addSeparator();
        a->setObjectName(QLatin1String(name));
        a->setVisible(shown);
        return a;
    };

    mnuFile = menu("mnuFile", tr("&File"));
    mnuFileNew = item(mnuFile, "mnuFileNew", tr("&New"), false);
    mnuFileOpen = item(mnuFile, "mnuFileOpen", tr("&Open"), false);
    mnuFileVoid1 = separator(mnuFile, "mnuFileVoid1", false);
    mnuFileImport = item(mnuFile, "mnuFileImport", tr("&Import"));
    mnuFileExport = item(mnuFile, "mnuFileExport", tr("&Export"));
    mnuFileFindStations = item(mnuFile, "mnuFileFindStations", tr("&Find Stations..."));
    mnuFileFindStations->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    mnuFileVoid = separator(mnuFile, "mnuFileVoid");
    mnuFileExit = item(mnuFile, "mnuFileExit", tr("E&xit"));

    mnuEdit = menu("mnuEdit", tr("&Edit"));
    mnuEditRadioStations = item(mnuEdit, "mnuEditRadioStations", tr("&Stations"));
    mnuEditCategories = item(mnuEdit, "mnuEditCategories", tr("&Categories"));
    mnuEditCheckStations = item(mnuEdit, "mnuEditCheckStations", tr("Check Sta&tions..."));

    mnuView = menu("mnuView", tr("&View"));
    mnuViewPing = item(mnuView, "mnuViewPing", tr("&Ping"), false);
    mnuViewChannels = item(mnuView, "mnuViewChannels", tr("&Channels"), false);
    mnuViewCategories = item(mnuView, "mnuViewCategories", tr("C&ategories"));
    mnuvoid1 = separator(mnuView, "mnuvoid1");
    mnuViewWebPage = item(mnuView, "mnuViewWebPage", tr("&Web Page"));
    mnuViewWebPage->setEnabled(false); // until a station with a web page is tuned
    mnuViewFullScreen = item(mnuView, "mnuViewFullScreen", tr("&Full Screen"));
    mnuViewFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    mnuViewFullScreen->setShortcutContext(Qt::WindowShortcut);
    mnuViewFullScreen->setEnabled(false); // until a stream shows a picture
    mnuViewGuide = item(mnuView, "mnuViewGuide", tr("TV &Guide..."));
    mnuViewBanner = item(mnuView, "mnuViewBanner", tr("&Banner"), false);
    mnuViewBanner->setCheckable(true);
    mnuViewBanner->setChecked(true);
    mnuViewOptions = item(mnuView, "mnuViewOptions", tr("&Options"), false);

    mnuPlay = menu("mnuPlay", tr("&Play"));
    mnuPlayRecent = item(mnuPlay, "mnuPlayRecent", tr("Recently &Played"));
    mnuPlayRecord = item(mnuPlay, "mnuPlayRecord", tr("&Record"));
    mnuPlayRecord->setCheckable(true);
    mnuPlayRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    mnuPlayRecord->setShortcutContext(Qt::WindowShortcut);
    mnuPlayRecordFolder = item(mnuPlay, "mnuPlayRecordFolder", tr("Recording &Folder..."));
    mnuPlaySleep = item(mnuPlay, "mnuPlaySleep", tr("&Sleep Timer..."));
    mnuPlayVoid = separator(mnuPlay, "mnuPlayVoid");
    mnuPlayNotifications = item(mnuPlay, "mnuPlayNotifications", tr("Show &Notifications"));
    mnuPlayNotifications->setCheckable(true);
    mnuPlayNotifications->setChecked(Preferences::value(QStringLiteral("Notifications/Show"), false).toBool());
    mnuPlayTray = item(mnuPlay, "mnuPlayTray", tr("Keep Playing in &Tray"));
    mnuPlayTray->setCheckable(true);
    mnuPlayTray->setChecked(Preferences::value(QStringLiteral("Tray/KeepPlaying"), false).toBool());
    mnuPlayTimers = item(mnuPlay, "mnuPlayTimers", tr("&Timers..."));
    mnuPlayLevel = item(mnuPlay, "mnuPlayLevel", tr("Level &Loudness")); // its check mark: Levelling
    mnuPlayLevel->setCheckable(true);

    mnuHelp = menu("mnuHelp", tr("&Help"));
    mnuHelpAbout = item(mnuHelp, "mnuHelpAbout", tr("&About"));
    mnuHelpHelp = item(mnuHelp, "mnuHelpHelp", tr("&Help"));
    mnuHelpHelp->setShortcut(QKeySequence(Qt::Key_F1));
    mnuHelpHelp->setShortcutContext(Qt::WindowShortcut);
    mnuHelpOnlineHelp = item(mnuHelp, "mnuHelpOnlineHelp", tr("&Online Help"));

    connect(mnuFileImport, &QAction::triggered, this, &frmMain::mnuFileImport_Click);
    connect(mnuFileExport, &QAction::triggered, this, &frmMain::mnuFileExport_Click);
    connect(mnuFileFindStations, &QAction::triggered, this, &frmMain::mnuFileFindStations_Click);
    connect(mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    connect(mnuEditRadioStations, &QAction::triggered, this, &frmMain::mnuEditRadioStations_Click);
    connect(mnuEditCategories, &QAction::triggered, this, &frmMain::mnuEditCategories_Click);
    connect(mnuEditCheckStations, &QAction::triggered, this, &frmMain::mnuEditCheckStations_Click);
    connect(mnuViewPing, &QAction::triggered, this, &frmMain::mnuViewPing_Click);
    connect(mnuViewCategories, &QAction::triggered, this, &frmMain::mnuViewCategories_Click);
    connect(mnuViewWebPage, &QAction::triggered, this, &frmMain::mnuViewWebPage_Click);
    connect(mnuViewFullScreen, &QAction::triggered, this, &frmMain::mnuViewFullScreen_Click);
    connect(mnuViewGuide, &QAction::triggered, this, &frmMain::mnuViewGuide_Click);
    connect(mnuViewBanner, &QAction::triggered, this, &frmMain::mnuViewBanner_Click);
    connect(mnuViewOptions, &QAction::triggered, this, &frmMain::mnuViewOptions_Click);
    connect(mnuPlayRecent, &QAction::triggered, this, &frmMain::mnuPlayRecent_Click);
    connect(mnuPlayRecord, &QAction::triggered, this, &frmMain::mnuPlayRecord_Click);
    connect(mnuPlayRecordFolder, &QAction::triggered, this, &frmMain::mnuPlayRecordFolder_Click);
    connect(mnuPlaySleep, &QAction::triggered, this, &frmMain::mnuPlaySleep_Click);
    connect(mnuPlayNotifications, &QAction::triggered, this, &frmMain::mnuPlayNotifications_Click);
    connect(mnuPlayTray, &QAction::triggered, this, &frmMain::mnuPlayTray_Click);
    connect(mnuPlayTimers, &QAction::triggered, this, &frmMain::mnuPlayTimers_Click);
    connect(mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
    connect(mnuHelpHelp, &QAction::triggered, this, &frmMain::mnuHelpHelp_Click);
    connect(mnuHelpOnlineHelp, &QAction::triggered, this, &frmMain::mnuHelpOnlineHelp_Click);
}

void frmMain::mnuFileImport_Click()
{
    openModal(this, m_frmImport);
    loadStaleGuides(); // the guides of an imported playlist
}
void frmMain::mnuFileExport_Click()
{
    openModal(this, m_frmExport);
}
void frmMain::mnuFileFindStations_Click()
{
    const frmFindStations::Listen listen = [this](const QString &name, const QString &address) {
        playStation(name, address);
    };
    openModal(this, m_frmFindStations, listen);
}
void frmMain::mnuEditRadioStations_Click()
{
    openModal(this, m_frmStation, Data1);
}
void frmMain::mnuEditCategories_Click()
{
    openModal(this, m_frmCategory);
}
// The check runs beside the main window; what it changes shows in the list at once.
void frmMain::mnuEditCheckStations_Click()
{
    if (!m_frmCheckStations) {
        m_frmCheckStations = new frmCheckStations(this);
        connect(m_frmCheckStations, &frmCheckStations::tuneRequested, this, &frmMain::tuneStation);
        connect(m_frmCheckStations, &frmCheckStations::stationsChanged, this, &frmMain::Form_Activate);
    }
    m_frmCheckStations->show();
    m_frmCheckStations->raise();
    m_frmCheckStations->activateWindow();
}
void frmMain::mnuViewGuide_Click()
{
    if (!m_frmGuide) {
        m_frmGuide = new frmGuide(this);
        connect(m_frmGuide, &frmGuide::tuneRequested, this, &frmMain::tuneStation);
        connect(m_frmGuide, &frmGuide::recordRequested, this,
                [this](const QString &station, const QString &title, const QDateTime &start, const QDateTime &stop) {
                    m_timers->edit(TimerRules::forProgramme(station, title, start, stop), m_frmGuide);
                });
    }
    m_frmGuide->show();
    m_frmGuide->raise();
    m_frmGuide->activateWindow();
}
void frmMain::loadStaleGuides()
{
    const QStringList sources = GuideSources::list();
    if (sources.isEmpty())
        return;
    const QStringList stale = GuideLoader::instance().stale(sources);
    if (stale.isEmpty() || GuideLoader::instance().isRunning())
        return;
    try {
        GuideLoader::instance().load(stale, ChannelMatch::televisionStations(*Database::open(Module1::DatabasePath)));
    } catch (const std::exception &) {
        // No station database: no channels to load a guide for.
    }
}
void frmMain::mnuViewCategories_Click()
{
    openModal(this, m_frmViewCategory);
}
void frmMain::mnuViewOptions_Click()
{
    openModal(this, m_frmOptions);
}
void frmMain::mnuHelpAbout_Click()
{
    openModal(this, m_frmAbout);
}

// Ends the program at once: the window closes without saving the settings.
void frmMain::mnuFileExit_Click()
{
    m_exiting = true;
    QApplication::closeAllWindows();
    QApplication::quit();
}

// The hidden Ping item has no window behind it; it stays hidden and does nothing.
void frmMain::mnuViewPing_Click() {}

// Opens the web page of the list's current station; nothing when it has none.
void frmMain::mnuViewWebPage_Click()
{
    const RecordsetPtr rs = Data1 ? Data1->Recordset() : nullptr;
    if (!rs || rs->BOF() || rs->EOF_() || rs->EditMode() == Recordset::EditAdd)
        return;
    QString address;
    try {
        address = rs->Fields(StationColumn::WebPage).toString();
    } catch (const std::exception &) {
        return; // no current station (deleted in the editor): nothing to open
    }
    if (!address.isEmpty())
        Shell::open(address);
}

void frmMain::connectFullScreen()
{
    RealAudio *picture = RealAudio1[Picture];
    // What the guide says is on the tuned TV station, on the status line and the picture.
    m_guideStatus = new GuideStatus(RealAudio1[StatusLine], picture, this);
    connect(picture->player(), &Player::videoChanged, mnuViewFullScreen, &QAction::setEnabled);
    // The channel keys of the full-screen picture step the list as the band's stepper does.
    connect(picture, &RealAudio::stepRequested, this, [this](bool forward) {
        if (UpDown1->isEnabled() || UpDown2->isEnabled())
            stepStation(forward);
    });
}

// The picture alone on the screen; Escape, F11 or a double click brings the window back.
void frmMain::mnuViewFullScreen_Click()
{
    RealAudio1[Picture]->setFullScreen(true);
}

// The item toggles its own check mark when chosen; the banner strip and the height follow it.
void frmMain::mnuViewBanner_Click()
{
    const bool show = mnuViewBanner->isChecked();
    showBanner(show);
    setHeight(show ? WindowLayout::HeightWithBanner : WindowLayout::HeightBannerHiddenByMenu);
}

// Shows the help file; any failure to show it is passed over.
void frmMain::mnuHelpHelp_Click()
{
    HelpWindow::showHelp(this);
}

void frmMain::mnuHelpOnlineHelp_Click()
{
    Shell::open(App::productPage());
}

void frmMain::mnuPlayRecent_Click()
{
    m_listening->showRecentlyPlayed();
}

// The item toggles its own check mark; the recording follows it (and clears it on failure).
void frmMain::mnuPlayRecord_Click()
{
    m_listening->record(mnuPlayRecord->isChecked());
}

void frmMain::mnuPlayRecordFolder_Click()
{
    m_listening->chooseRecordingFolder();
}

void frmMain::mnuPlaySleep_Click()
{
    m_listening->showSleepTimer();
}

// The desktop services read the check marks; the choices are kept for the next start.
void frmMain::mnuPlayNotifications_Click()
{
    Preferences::setValue(QStringLiteral("Notifications/Show"), mnuPlayNotifications->isChecked());
}

void frmMain::mnuPlayTray_Click()
{
    Preferences::setValue(QStringLiteral("Tray/KeepPlaying"), mnuPlayTray->isChecked());
}

void frmMain::mnuPlayTimers_Click()
{
    m_timers->showTimers();
}
