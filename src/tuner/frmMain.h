#pragma once

#include "app/CommonDialog.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "data/TableCache.h"

#include <QMainWindow>
#include <QTimer>
#include <array>

class QAction;
class QDialog;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class RealAudio;
class StatusBar;
class UpDown;
class frmAbout;
class frmCategory;
class frmCheckStations;
class frmExport;
class frmFindStations;
class frmGuide;
class GuideStatus;
class DirectoryClient;
class frmImport;
class frmOptions;
class frmStation;
class frmViewCategory;
class Levelling;
class Listening;
class Timers;

// The tuner window: a radio-like display of the selected station, the station list of the
// current band, the player, ten preset buttons, the band buttons and the two steppers.
// It is the program's only main window; every other window is opened modally from its menus
// through runModal(), after which the window rebuilds its list from the database.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Reads the settings, points the data controls at the database and selects the radio
    // band. Raises the settings file's errors (missing file, a bad ShowBanner value).
    void Form_Load();
    // Runs when the window is first shown and after every modal window opened from it closes:
    // filters the list for the current band, relabels the presets, goes to the first station.
    void Form_Activate();
    // Saves the viewed categories and the banner state; runs when the window is closed.
    void Form_Unload();

    // Shows the dialog modally over this window, then runs the activation. Returns exec()'s result.
    int runModal(QDialog &dialog);

    // Rebuilds the station list from the stations of the given categories (comma-separated),
    // sorted by name, the first current. Consumes the text; never reports an error.
    void vbFilter(QString &categories);
    // Tunes the list's current station: Web Page state, caption, player source and play.
    void vbTuneIn();
    // Shows the current row of a station-shaped record set on the display.
    void UpdateDisplay(const RecordsetPtr &rs);
    // Copies the names of the ten preset rows into the buttons' hints.
    void vbGetPreset();

    // The outer height of the window in twips (title and menu bars included), as the banner
    // setting or command chooses it (see WindowLayout).
    int Height() const { return m_heightTwips; }
    void setHeight(int twips);

    // "Halcyrix v3.0.17"
    static QString startCaption();
    // Recently played titles, recording and the sleep timer (the Play menu).
    Listening &listening() const { return *m_listening; }
    // The wake-up and record timers (Play, Timers).
    Timers &timers() const { return *m_timers; }
    // True when the station database was opened at load.
    bool databaseAvailable() const { return m_databaseOk; }

    // Controls, named as the program refers to them.
    QLabel *Label2;
    QLabel *lblFrequency;
    std::array<QLabel *, 4> lblType{};
    QLabel *lblLocation;
    QLabel *Label1;
    DBList *DBList1;
    QListWidget *List1;
    QWidget *Picture1;
    // The player's elements by their places in RealAudio1: the status line, the picture (which
    // also takes the source and the play command) and the volume slider.
    enum PlayerElement : int { StatusLine = 5, Picture = 7, Volume = 8 };
    std::array<RealAudio *, 9> RealAudio1{};
    UpDown *UpDown1;
    UpDown *UpDown2;
    QPushButton *optTuner;
    QPushButton *optTV;
    std::array<QPushButton *, 10> Preset{};
    QPushButton *cmdSet;
    StatusBar *StatusBar1;
    QLabel *picBanner;
    CommonDialog CommonDialog1;
    Data *Data1;
    Data *Data2;
    QTimer Timer1;

    QMenu *mnuFile;
    QAction *mnuFileNew;
    QAction *mnuFileOpen;
    QAction *mnuFileVoid1;
    QAction *mnuFileImport;
    QAction *mnuFileExport;
    QAction *mnuFileFindStations;
    QAction *mnuFileVoid;
    QAction *mnuFileExit;
    QMenu *mnuEdit;
    QAction *mnuEditRadioStations;
    QAction *mnuEditCategories;
    QAction *mnuEditCheckStations;
    QMenu *mnuView;
    QAction *mnuViewPing;
    QAction *mnuViewChannels;
    QAction *mnuViewCategories;
    QAction *mnuvoid1;
    QAction *mnuViewWebPage;
    QAction *mnuViewFullScreen;
    QAction *mnuViewGuide;
    QAction *mnuViewBanner;
    QAction *mnuViewOptions;
    QMenu *mnuPlay;
    QAction *mnuPlayRecent;
    QAction *mnuPlayRecord;
    QAction *mnuPlayRecordFolder;
    QAction *mnuPlaySleep;
    QAction *mnuPlayVoid;
    QAction *mnuPlayNotifications;
    QAction *mnuPlayTray;
    QAction *mnuPlayTimers;
    QAction *mnuPlayLevel;
    QMenu *mnuHelp;
    QAction *mnuHelpAbout;
    QAction *mnuHelpHelp;
    QAction *mnuHelpOnlineHelp;

public slots:
    void DBList1_Click();
    void DBList1_DblClick();
    void Data1_Reposition();
    void cmdSet_Click();
    void Preset_Click(int Index);
    void optTuner_Click();
    void optTV_Click();
    void UpDown1_UpClick();
    void UpDown1_DownClick();
    void UpDown2_UpClick();
    void UpDown2_DownClick();

    // Menu commands.
    void mnuFileImport_Click();
    void mnuFileExport_Click();
    void mnuFileFindStations_Click();
    void mnuFileExit_Click();
    void mnuEditRadioStations_Click();
    void mnuEditCategories_Click();
    void mnuEditCheckStations_Click();
    // Tunes a station by name: from the list when it lists it, else by its address alone.
    void tuneStation(const QString &name, const QString &address);
    void mnuViewPing_Click();
    void mnuViewCategories_Click();
    void mnuViewWebPage_Click();
    void mnuViewFullScreen_Click();
    void mnuViewGuide_Click();
    void mnuViewBanner_Click();
    void mnuViewOptions_Click();
    void mnuPlayRecent_Click();
    void mnuPlayRecord_Click();
    void mnuPlayRecordFolder_Click();
    void mnuPlaySleep_Click();
    void mnuPlayNotifications_Click();
    void mnuPlayTray_Click();
    void mnuPlayTimers_Click();
    void mnuHelpAbout_Click();
    void mnuHelpHelp_Click();
    void mnuHelpOnlineHelp_Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    // The full-screen picture: the item's state, and the channel keys it passes on.
    void connectFullScreen();
    // Loads the TV guide's sources not loaded in the last day, off the window thread.
    void loadStaleGuides();
    void layoutBanner();
    void showBanner(bool on);
    void applyPresetStates();
    // The hover hint of a preset button, and the name a screen reader reads for it.
    void setPresetHint(int index, const QString &hint);
    void showCategoryOf(const RecordsetPtr &rs);
    void speakStation(const RecordsetPtr &rs);
    void showListFocus(bool focused);
    // The categories the current band lists: the viewed ones for radio, "Television" for TV.
    static QString bandCategories();
    // Enables the band's stepper and presets and lists the band's stations.
    void selectBand(bool radio);
    // Moves the list one station on (or back) and tunes it; nothing past either end.
    void stepStation(bool forward);
    RecordsetPtr stations() const;
    RecordsetPtr presets() const;
    // Plays a stream address through the player, the station's name in the caption.
    void playStation(const QString &name, const QString &address);
    // One play of a station found in the directory counts one click there.
    void countDirectoryClick(const QString &stationName);

    int m_heightTwips = 0;
    bool m_activated = false; // the first activation has run
    bool m_databaseOk = true;
    bool m_refreshing = false; // the filter is rereading the table
    int m_presetRows = 10;     // preset rows found by the last vbGetPreset (at most 10)
    QWidget *m_face = nullptr;
    TableCache m_stationTable; // the Station table as last read
    bool m_exiting = false;    // File, Exit: the window closes without saving

    // The windows opened from the menus: one instance each, made on first use.
    frmImport *m_frmImport = nullptr;
    frmExport *m_frmExport = nullptr;
    frmFindStations *m_frmFindStations = nullptr;
    DirectoryClient *m_directory = nullptr; // made on the first click to count
    frmStation *m_frmStation = nullptr;
    frmCategory *m_frmCategory = nullptr;
    frmCheckStations *m_frmCheckStations = nullptr; // not modal: the main window stays usable
    frmViewCategory *m_frmViewCategory = nullptr;
    frmOptions *m_frmOptions = nullptr;
    frmAbout *m_frmAbout = nullptr;
    Listening *m_listening = nullptr;
    Timers *m_timers = nullptr;
    frmGuide *m_frmGuide = nullptr; // not modal
    GuideStatus *m_guideStatus = nullptr;
    Levelling *m_levelling = nullptr;
};
