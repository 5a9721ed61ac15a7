#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object. An error that escapes an event handler is reported in a message
// box and the program goes on; one action failing never ends the program.
class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Shows the error the way the runtime reports it ("Run-time error 'N': text").
    static void reportError(const std::exception &error);

    // Runs the start-up steps; an error there is reported and yields a non-zero exit status.
    static int startUp(const std::function<void()> &steps);
};
