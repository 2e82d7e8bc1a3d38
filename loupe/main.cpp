#include "LpApp.h"

int main(int argc, char* argv[])
{
    LpApp app(argc, argv);
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tessavo.OrvLoupe"));
    const int started = app.Start();
    if (started < 1)
        return started;
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
