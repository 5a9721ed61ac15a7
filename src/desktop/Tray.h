#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

class MprisService;
class NowPlaying;
class QAction;
class QMenu;
class QSystemTrayIcon;
class frmMain;

// The tuner's icon in the desktop's tray (a StatusNotifierItem where the desktop offers one),
// where a tray exists: the station and the title as its tool tip, and a menu to play or pause,
// tune a preset, mute, show or hide the window and quit. A click on the icon shows or hides the
// window. While Play, Keep Playing in Tray is ticked, the window's close box hides the window
// to the tray and the playing goes on; otherwise, or without a tray, the close box closes.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    TrayIcon(frmMain &window, MprisService &controls, QObject *parent = nullptr);
    ~TrayIcon() override;

    // True when the desktop has a tray and the icon is in it.
    bool isShown() const;
    QString toolTip() const;
    QMenu *menu() const { return m_menu; }

    // Shows the window when it is hidden or minimized, else hides it.
    void toggleWindow();
    // As the close box without the tray: settings saved, the program ends.
    void quit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh();

    frmMain &m_window;
    MprisService &m_controls;
    NowPlaying *m_now;
    QSystemTrayIcon *m_icon = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_playPause = nullptr;
    std::array<QAction *, 10> m_presets{};
    QAction *m_mute = nullptr;
    QAction *m_showHide = nullptr;
    QAction *m_quit = nullptr;
};
