// Child process of test_console_files: writes a number of messages through a
// console with a file (no GUI: standard output channel) under a file size
// limit, so that writes to the console file fail with EFBIG, then ends
// normally.
//
// Usage: console_limit_writer <file name> <count> <length> <limit in bytes>
// Exit status 0, or 4 when the console still holds a file at the end or has
// changed its name.

#include "AppConsole.h"
#include "ConsoleKillWriter.h"
#include "ConsoleTestApp.h"

#include <csignal>
#include <sys/resource.h>

int main(int argc, char* argv[])
{
    ConsoleTestApp app(argc, argv, false);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5)
        return 2;
    const int count = args.at(2).toInt();
    const int length = args.at(3).toInt();

    // Past the limit a write fails with EFBIG instead of raising SIGXFSZ;
    // one that crosses it writes what fits.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = args.at(4).toULongLong();
    limit.rlim_max = limit.rlim_cur;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 3;

    AppConsole console(&app, nullptr, args.at(1), 1);
    const QString name = console.ConsoleFileName();
    for (int i = 0; i < count; ++i) {
        const QString text = KillWriterText(i, length);
        switch (KillWriterKindOf(i)) {
        case KillWriterKind::Plain:
            console.Msg(text, Qt::darkGreen);
            break;
        case KillWriterKind::Error:
            console.ErrorMsg(text, false);
            break;
        case KillWriterKind::Warning:
            console.WarningMsg(text, false);
            break;
        }
    }
    return console.HasOpenConsoleFile() || console.ConsoleFileName() != name ? 4 : 0;
}
