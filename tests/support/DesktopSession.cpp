#include "DesktopSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString scriptPath()
{
    return QDir(QStringLiteral(HX_SOURCE_DIR)).filePath(QStringLiteral("tests/support/atspi_read.py"));
}

// The first line a freshly started process writes, within the time given.
QByteArray firstLine(QProcess &process, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!process.canReadLine() && !deadline.hasExpired() && process.state() == QProcess::Running)
        process.waitForReadyRead(200);
    return process.readLine().trimmed();
}

void stop(std::unique_ptr<QProcess> &process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return;
    process->terminate();
    if (!process->waitForFinished(10000)) {
        process->kill();
        process->waitForFinished(5000);
    }
}

} // namespace

DesktopSession::DesktopSession() = default;

DesktopSession::~DesktopSession()
{
    stop(m_bus);
    stop(m_xvfb);
}

QString DesktopSession::python()
{
    // The system's interpreter: the GObject bindings of the accessibility library live there.
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFileInfo(system).isExecutable() ? system : QStandardPaths::findExecutable(QStringLiteral("python3"));
}

QString DesktopSession::missingTool()
{
    for (const char *tool : {"Xvfb", "dbus-daemon", "xdotool"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QLatin1String(tool);
    QProcess check;
    check.start(python(),
                {QStringLiteral("-c"),
                 QStringLiteral("import gi; gi.require_version('Atspi', '2.0'); from gi.repository import Atspi")});
    if (!check.waitForFinished(30000) || check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0)
        return QStringLiteral("python3 with the Atspi bindings (gir1.2-atspi-2.0, python3-gi)");
    return QString();
}

bool DesktopSession::start()
{
    // An X server of our own; it writes the display number it chose to its standard output.
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->start(QStringLiteral("Xvfb"),
                  {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                   QStringLiteral("1280x1024x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    const QByteArray number = m_xvfb->waitForStarted(10000) ? firstLine(*m_xvfb, 30000) : QByteArray();
    if (number.isEmpty()) {
        m_error = QStringLiteral("Xvfb did not start");
        return false;
    }
    m_display = ":" + number;

    // A session bus of our own, which starts the accessibility bus when first asked for it. The
    // accessibility bus names its socket by the display and the runtime folder of the bus that
    // starts it: with this session's own, two desktops at once never share one.
    m_bus = std::make_unique<QProcess>();
    QProcessEnvironment busEnvironment = QProcessEnvironment::systemEnvironment();
    busEnvironment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    busEnvironment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    m_bus->setProcessEnvironment(busEnvironment);
    m_busAddress = startSessionBus(*m_bus);
    if (m_busAddress.isEmpty()) {
        m_error = QStringLiteral("the D-Bus session bus did not start");
        return false;
    }
    // The accessibility bus runs before the program starts, so that the program offers itself.
    int exitCode = -1;
    readAccessible({QStringLiteral("bus")}, &exitCode);
    if (exitCode != 0) {
        m_error = QStringLiteral("the accessibility bus did not start");
        return false;
    }
    return true;
}

QString DesktopSession::startSessionBus(QProcess &daemon)
{
    daemon.start(QStringLiteral("dbus-daemon"),
                 {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    return daemon.waitForStarted(10000) ? QString::fromUtf8(firstLine(daemon, 30000)) : QString();
}

QProcessEnvironment DesktopSession::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    // No desktop of the caller's: Qt's own dialogs and theme.
    for (const char *name : {"QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    return env;
}

QByteArray DesktopSession::run(const QString &program, const QStringList &args, int *exitCode, int timeoutMs) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

QByteArray DesktopSession::readAccessible(const QStringList &args, int *exitCode, int timeoutMs) const
{
    return run(python(), QStringList{scriptPath()} + args, exitCode, timeoutMs);
}

std::unique_ptr<QProcess> DesktopSession::launch(const QString &program, const QStringList &args,
                                                 const QString &logFile) const
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->setProcessChannelMode(QProcess::MergedChannels);
    if (logFile.isEmpty())
        process->setStandardOutputFile(QProcess::nullDevice());
    else
        process->setStandardOutputFile(logFile, QIODevice::Append);
    process->start(program, args);
    process->waitForStarted(20000);
    return process;
}
