// The product's main: build the application object, let Start() set the
// product up, run the event loop, return its exit status.
#include "ProbeApp.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: orv-probe <console file name>\n");
        return 2;
    }
    ProbeApp app(argc, argv, QString::fromLocal8Bit(argv[1]));
    const int started = app.Start();
    if (started < 1)
        return started;
    return app.exec();
}
