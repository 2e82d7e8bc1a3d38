// Child process of test_console_files: writes a number of messages through a
// console with a file, then dies by SIGKILL, so that only what reached the
// operating system survives.
//
// Usage: console_kill_writer <file name> <count> <length>

#include "AppConsole.h"
#include "ConsoleKillWriter.h"
#include "ConsoleTestApp.h"

#include <csignal>

int main(int argc, char* argv[])
{
    ConsoleTestApp app(argc, argv, false);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4)
        return 2;
    const int count = args.at(2).toInt();
    const int length = args.at(3).toInt();

    // Never deleted: the process ends by the signal.
    auto* console = new AppConsole(&app, nullptr, args.at(1), 1);
    for (int i = 0; i < count; ++i) {
        const QString text = KillWriterText(i, length);
        switch (KillWriterKindOf(i)) {
        case KillWriterKind::Plain:
            console->Msg(text, Qt::darkGreen);
            break;
        case KillWriterKind::Error:
            console->ErrorMsg(text, false);
            break;
        case KillWriterKind::Warning:
            console->WarningMsg(text, false);
            break;
        }
    }
    std::raise(SIGKILL);
    return 3;
}
