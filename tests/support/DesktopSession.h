#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A desktop of the caller's own for driving the real program as a screen reader user does: an X
// server (Xvfb) and a private D-Bus session bus, on which the accessibility bus (AT-SPI) is
// started. Programs started with environment() show their windows there and offer them to
// screen readers; readAccessible() reads them through tests/support/atspi_read.py.
class DesktopSession
{
public:
    DesktopSession();
    ~DesktopSession();

    // Empty when every tool is installed, else the first one missing.
    static QString missingTool();

    // Starts the X server, the session bus and its accessibility bus. False on failure, with
    // errorText() saying why.
    bool start();
    QString errorText() const { return m_error; }

    // The caller's environment with this desktop's display and session bus, Qt on X11 and
    // its accessibility switched on.
    QProcessEnvironment environment() const;

    // Runs a program in the session until it ends; returns its standard output.
    QByteArray run(const QString &program, const QStringList &args, int *exitCode = nullptr,
                   int timeoutMs = 60000) const;
    // Runs the screen-reader script with the given command and arguments.
    QByteArray readAccessible(const QStringList &args, int *exitCode = nullptr, int timeoutMs = 60000) const;

    // Starts a program in the session, its output appended to logFile (or discarded).
    std::unique_ptr<QProcess> launch(const QString &program, const QStringList &args = {},
                                     const QString &logFile = QString()) const;

    // Starts a private D-Bus session bus in `daemon` and returns its address; empty when it
    // did not start.
    static QString startSessionBus(QProcess &daemon);

private:
    static QString python();
    QString m_error;
    QByteArray m_display;
    QString m_busAddress;
    QTemporaryDir m_runtime; // the session's XDG_RUNTIME_DIR
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_bus;
};
