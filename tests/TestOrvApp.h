#pragma once

// A frame application with no windows of its own, for tests and probes
// that need a real OrvApp: Start() gives it ORV Vantor's identity.

#include "OrvApp.h"

class TestOrvApp : public OrvApp {
public:
    using OrvApp::OrvApp;

    int Start() override
    {
        SetIdentity(QStringLiteral("ORV Vantor"), 7, 1, 0);
        return 1;
    }

    void SetIdentity(const QString& name, int major, int minor, int patch)
    {
        appName = name;
        versionMajor = major;
        versionMinor = minor;
        versionPatch = patch;
    }

    static TestOrvApp* Instance() { return static_cast<TestOrvApp*>(QCoreApplication::instance()); }
};

// main() for a QtTest object that needs the application object to be an
// OrvApp rather than the plain QApplication of QTEST_MAIN.
#define ORV_TEST_MAIN(TestObject)                                                                  \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);                                         \
        TestOrvApp app(argc, argv, true);                                                          \
        app.Start();                                                                               \
        TestObject tc;                                                                             \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
