// The main window's menu commands: the windows they open, the web addresses, help, banner, exit.
#include "tuner/frmMain.h"

#include "app/AppInfo.h"
#include "app/Shell.h"
#include "dialogs/HelpWindow.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"
#include "exchange/frmExport.h"
#include "exchange/frmImport.h"
#include "maintenance/frmCategory.h"
#include "maintenance/frmStation.h"
#include "maintenance/frmViewCategory.h"

#include <QAction>
#include <QApplication>
#include <QVariant>

namespace {
constexpr int kHeightWithBanner = 4155;
constexpr int kHeightBannerHidden = 3345;

// Makes the window on first use, then shows the one instance modally over the main window.
template <typename Window, typename... Args> void openModal(frmMain *main, Window *&instance, Args &&...args)
{
    if (!instance)
        instance = new Window(std::forward<Args>(args)..., main);
    main->runModal(*instance);
}
} // namespace

void frmMain::mnuFileImport_Click()
{
    openModal(this, m_frmImport);
}
void frmMain::mnuFileExport_Click()
{
    openModal(this, m_frmExport);
}
void frmMain::mnuEditRadioStations_Click()
{
    openModal(this, m_frmStation, Data1);
}
void frmMain::mnuEditCategories_Click()
{
    openModal(this, m_frmCategory);
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
    if (!rs || rs->BOF() || rs->EOF_() || rs->EditMode() == 2)
        return;
    QString address;
    try {
        address = rs->Fields(7).toString();
    } catch (const std::exception &) {
        return; // no current station (deleted in the editor): nothing to open
    }
    if (!address.isEmpty())
        Shell::open(address);
}

// The item toggles its own check mark when chosen; the banner strip and the height follow it.
void frmMain::mnuViewBanner_Click()
{
    const bool show = mnuViewBanner->isChecked();
    showBanner(show);
    setHeight(show ? kHeightWithBanner : kHeightBannerHidden);
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
