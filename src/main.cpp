#include "app/Application.h"
#include "app/AppInfo.h"
#include "app/IniFile.h"
#include "app/Module1.h"

#include <QLabel>
#include <memory>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    std::unique_ptr<QLabel> window;
    const int status = Application::startUp([&] {
        Module1::DatabasePath = App::filePath(Module1::vbReadIni(QStringLiteral("DataBase")).value_or(QString()));
        IniFile::toBool(Module1::vbReadIni(QStringLiteral("ShowBanner")));
        window = std::make_unique<QLabel>(QStringLiteral("%1 v%2").arg(App::title(), App::version()));
        window->setWindowTitle(App::title());
        window->show();
    });
    if (status != 0)
        return status;
    return app.exec();
}
