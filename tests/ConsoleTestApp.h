#pragma once

// The application object behind the console tests: an OrvApp with a display
// name, whose GUI flag and main widget a test may change before it creates a
// console (the console copies them at construction).

#include "OrvApp.h"

class ConsoleTestApp : public OrvApp {
public:
    ConsoleTestApp(int& argc, char** argv, bool gui)
        : OrvApp(argc, argv, gui)
    {
        appName = QStringLiteral("Console Test");
    }

    int Start() override { return 1; }

    void SetGuiEnabled(bool on) { guiEnabled = on; }

    static ConsoleTestApp* Instance()
    {
        return static_cast<ConsoleTestApp*>(QCoreApplication::instance());
    }
};

#define CONSOLE_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        ConsoleTestApp app(argc, argv, true);                                                      \
        TestObject tc;                                                                             \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
