#include "Application.h"

#include "AppInfo.h"
#include "MsgBox.h"
#include "RuntimeError.h"

#include <clocale>

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(App::title());
    setApplicationVersion(App::version());
    // libmpv needs the C locale for numbers; the toolkit sets the user's locale above.
    std::setlocale(LC_NUMERIC, "C");
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportError(error);
    } catch (...) {
        reportError(RuntimeError(51, QStringLiteral("Internal error")));
    }
    return false;
}

void Application::reportError(const std::exception &error)
{
    if (const auto *runtime = dynamic_cast<const RuntimeError *>(&error))
        MsgBox::show(runtime->report());
    else
        MsgBox::show(QStringLiteral("Run-time error:\n\n%1").arg(QString::fromLocal8Bit(error.what())));
}

int Application::startUp(const std::function<void()> &steps)
{
    try {
        steps();
    } catch (const std::exception &error) {
        reportError(error);
        return 1;
    }
    return 0;
}
