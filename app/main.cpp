#include "ZkApp.h"

#include <cstdlib>

int main(int argc, char* argv[])
{
    ZkApp app(argc, argv, true);
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tessavo.OrvVantor"));
    const int started = app.Start();
    if (started < 1)
        std::exit(started);
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
