#include "LpApp.h"

#include "LpMainWindow.h"

#include <AppConsole.h>

#include <QCommandLineParser>
#include <QTimer>

#include <cstdio>

LpApp::LpApp(int& argc, char** argv)
    : OrvApp(argc, argv, true)
{
}

// The console writes into a text view of the window, so it goes first.
LpApp::~LpApp()
{
    delete console;
    console = nullptr;
    delete window;
    window = nullptr;
}

int LpApp::Start()
{
    appName = QStringLiteral("ORV Loupe");
    versionMajor = 7;
    versionMinor = 1;
    versionPatch = 0;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("ORV Loupe, a viewer of SEG-Y files\n\n"
                       "orv-loupe --thumbnail INPUT OUTPUT SIZE (as the first arguments) writes "
                       "a PNG of INPUT's first line, SIZE pixels at most, with no window."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption(
        QStringLiteral("version"), QStringLiteral("Prints the version and stops."));
    const QCommandLineOption consoleOption(QStringLiteral("console"),
        QStringLiteral("Also writes every message to a console file: <name> with its extension "
                       "replaced by .console."),
        QStringLiteral("name"));
    parser.addOption(versionOption);
    parser.addOption(consoleOption);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("The SEG-Y file to show."),
        QStringLiteral("[file]"));
    if (!parser.parse(arguments()) || parser.positionalArguments().size() > 1) {
        const QString error = parser.errorText().isEmpty() ? QStringLiteral("one file at most")
                                                           : parser.errorText();
        std::fprintf(stderr, "orv-loupe: %s\n%s", qPrintable(error), qPrintable(parser.helpText()));
        return -1;
    }
    if (parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %d.%d.%d\n", qPrintable(appName), versionMajor, versionMinor, versionPatch);
        return 0;
    }

    window = new LpMainWindow(this);
    SetMainWidget(window);
    console = new AppConsole(this, window->ConsoleTextView(), parser.value(consoleOption), 1);
    window->SetConsole(console);
    window->show();
    if (!parser.positionalArguments().isEmpty()) {
        const QString path = parser.positionalArguments().first();
        QTimer::singleShot(0, window, [this, path] { window->OpenFile(path); });
    }
    return 1;
}
