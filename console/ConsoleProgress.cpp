#include "ConsoleProgress.h"

#include "OrvConsole.h"

#include <climits>

ConsoleProgress::ConsoleProgress(OrvConsole* console, const QString& text, bool showDialog)
    : console(console)
    , text(text)
    , showDialog(showDialog)
{
}

ConsoleProgress::~ConsoleProgress()
{
    if (started)
        console->ClearProgressBar();
}

bool ConsoleProgress::Report(qint64 done, qint64 newTotal)
{
    if (cancelled)
        return false;
    if (!started || newTotal != total) {
        // A scan's estimate may grow; the console starts again with the new total.
        if (started)
            console->ClearProgressBar();
        total = newTotal;
        scale = total / INT_MAX + 1;
        console->InitProgressBar(text, int(total / scale), showDialog);
        started = true;
    }
    // Every trace is passed on (not only every scale-th), so that the console's own
    // thousands, where its dialog moves and notices Abort, are all seen.
    if (scale == 1 || done % scale == 0) {
        if (!console->UpdateProgressBar(int(done / scale)))
            cancelled = true;
    }
    return !cancelled;
}

std::function<bool(qint64, qint64)> ConsoleProgress::Callback()
{
    return [this](qint64 done, qint64 total) { return Report(done, total); };
}
