#include "ZkApp.h"

#include <cstdlib>

int main(int argc, char* argv[])
{
    ZkApp app(argc, argv, true);
    const int started = app.Start();
    if (started < 1)
        std::exit(started);
    QObject::connect(&app, SIGNAL(lastWindowClosed()), &app, SLOT(quit()));
    return app.exec();
}
