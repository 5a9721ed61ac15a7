#include "app/Application.h"
#include "app/Screen.h"
#include "desktop/Mpris.h"
#include "desktop/Notifications.h"
#include "desktop/Tray.h"
#include "pictures/StationPictures.h"
#include "timers/Timers.h"
#include "tuner/Artwork.h"
#include "tuner/frmMain.h"

#include <memory>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char **argv)
{
#ifdef __GLIBC__
    // Blocks of a mebibyte and more are mapped for themselves and given back when freed. libmpv
    // takes 10 MiB to find out a stream's format each time a stream opens, on a thread of its
    // own. Each reconnect and each Record left some 10 MiB more in memory, most likely because
    // glibc's moving threshold had risen above that size and put the block in the thread's heap,
    // whose pages were kept after it was freed; with the threshold fixed, the growth is gone.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    Application app(argc, argv);
    Application::setWindowIcon(Artwork::icon());
    std::unique_ptr<frmMain> window;
    // Loading and the first activation (run when the window is first shown) are the start-up:
    // an error there is reported and ends the program with a failure status.
    const int status = Application::startUp([&] {
        window = std::make_unique<frmMain>();
        window->Form_Load();
        window->show();
    });
    if (status != 0) {
        Screen::setMousePointer(Screen::Default);
        return status;
    }
    // Media keys, the sound menu and the lock screen reach the tuner through the session bus.
    MprisService desktopControls(*window);
    // New titles as desktop notifications, and the icon in the tray where the desktop has one.
    Notifications notifications(*window);
    // The logo of the station playing: on the picture, in the media controls and notifications.
    const StationPictures pictures(*window);
    QObject::connect(&pictures, &StationPictures::logoChanged, &desktopControls, &MprisService::setArt);
    QObject::connect(&pictures, &StationPictures::logoChanged, &notifications, &Notifications::setImage);
    const TrayIcon tray(*window, desktopControls);
    // A timer's start and end, when notifications are on.
    QObject::connect(&window->timers(), &Timers::notice, &notifications,
                     [&](const QString &summary, const QString &body) {
                         if (window->mnuPlayNotifications->isChecked())
                             notifications.show(summary, body);
                     });
    return app.exec();
}
