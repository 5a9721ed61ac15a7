#include "desktop/Tray.h"

#include "app/AppInfo.h"
#include "app/PlainText.h"
#include "desktop/Mpris.h"
#include "listening/NowPlaying.h"
#include "player/Player.h"
#include "player/RealAudio.h"
#include "timers/Timers.h"
#include "tuner/Artwork.h"
#include "tuner/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

TrayIcon::TrayIcon(frmMain &window, MprisService &controls, QObject *parent)
    : QObject(parent), m_window(window), m_controls(controls), m_now(new NowPlaying(window, this))
{
    m_window.installEventFilter(this);
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_menu = new QMenu();
    m_menu->setObjectName(QStringLiteral("mnuTray"));
    m_playPause = m_menu->addAction(tr("&Play"), this, [this] { m_controls.playPause(); });
    m_menu->addSeparator();
    // The presets in the keypad's order, 1 to 9 and 0.
    for (int i : {1, 2, 3, 4, 5, 6, 7, 8, 9, 0}) {
        m_presets[i] = m_menu->addAction(QString(), this, [this, i] {
            if (!QApplication::activeModalWidget() && m_window.Preset[i]->isEnabled())
                m_window.Preset[i]->click();
        });
    }
    m_menu->addSeparator();
    m_mute = m_menu->addAction(tr("&Mute"), this, [this] {
        if (auto *mute = m_window.RealAudio1[frmMain::Volume]->findChild<QToolButton *>(QStringLiteral("cmdMute")))
            mute->click();
    });
    m_mute->setCheckable(true);
    m_showHide = m_menu->addAction(tr("&Hide Window"), this, &TrayIcon::toggleWindow);
    m_menu->addSeparator();
    m_quit = m_menu->addAction(tr("&Quit"), this, &TrayIcon::quit);
    connect(m_menu, &QMenu::aboutToShow, this, &TrayIcon::refresh);

    m_icon = new QSystemTrayIcon(Artwork::icon(), this);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            toggleWindow();
    });
    connect(m_now, &NowPlaying::changed, this, &TrayIcon::refresh);
    connect(&m_window.timers(), &Timers::changed, this, &TrayIcon::refresh);
    if (Player *player = m_now->player()) {
        connect(player, &Player::stateChanged, this, &TrayIcon::refresh);
        connect(player, &Player::mutedChanged, this, &TrayIcon::refresh);
    }
    refresh();
    m_icon->show();
}

TrayIcon::~TrayIcon()
{
    m_window.removeEventFilter(this);
    delete m_menu;
}

bool TrayIcon::isShown() const
{
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

QString TrayIcon::toolTip() const
{
    const NowPlaying::Station station = m_now->station();
    QString text = station.name.isEmpty()     ? App::title()
                   : m_now->title().isEmpty() ? station.name
                                              : station.name + QLatin1Char('\n') + m_now->title();
    // The timer that runs, else the next.
    if (const QString timer = m_window.timers().trayText(); !timer.isEmpty())
        text += QLatin1Char('\n') + timer;
    return text;
}

void TrayIcon::refresh()
{
    if (!m_icon)
        return;
    m_icon->setToolTip(PlainText::toolTip(toolTip()));
    m_playPause->setText(m_controls.playbackStatus() == QLatin1String("Playing") ? tr("&Pause") : tr("&Play"));
    for (int i = 0; i < 10; ++i) {
        m_presets[i]->setText(
            QStringLiteral("&%1  %2").arg(i).arg(PlainText::fromToolTip(m_window.Preset[i]->toolTip())));
        m_presets[i]->setEnabled(m_window.Preset[i]->isEnabled());
    }
    if (Player *player = m_now->player())
        m_mute->setChecked(player->muted());
    m_showHide->setText(m_window.isVisible() && !m_window.isMinimized() ? tr("&Hide Window") : tr("&Show Window"));
}

void TrayIcon::toggleWindow()
{
    if (m_window.isVisible() && !m_window.isMinimized())
        m_window.hide();
    else
        m_controls.raise();
}

void TrayIcon::quit()
{
    // The window closes as by its close box (open dialogs cancelled, settings saved), and the
    // program ends also when the window was hidden (see eventFilter).
    m_controls.quit();
}

bool TrayIcon::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_window) {
        switch (event->type()) {
        case QEvent::Close:
            // Only the window system's close (the close box, Alt+F4); the program's own closing
            // (File, Exit, Quit) always closes.
            if (event->spontaneous() && m_window.mnuPlayTray->isChecked() && isShown()) {
                event->ignore();
                m_window.hide();
                return true;
            }
            // Closed by the program (MPRIS Quit, say) while hidden in the tray: Qt does not take
            // the close of a hidden window for the last window closing, so the program ends here.
            if (!event->spontaneous() && !m_window.isVisible() && m_icon)
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
            break;
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            QTimer::singleShot(0, this, &TrayIcon::refresh);
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
