#include "LpApp.h"
#include "LpThumbnail.h"

#include <cstring>

int main(int argc, char* argv[])
{
    // A file manager asking for a thumbnail: no window, no display.
    if (argc > 1 && std::strcmp(argv[1], "--thumbnail") == 0)
        return LpThumbnailMain(argc, argv);
    LpApp app(argc, argv);
    // Lets desktops match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.tessavo.OrvLoupe"));
    const int started = app.Start();
    if (started < 1)
        return started;
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
