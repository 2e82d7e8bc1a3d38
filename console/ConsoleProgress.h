#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class OrvConsole;

/// Drives a console's progress (InitProgressBar, UpdateProgressBar, ClearProgressBar) from a
/// progress callback counted in traces, such as the SEG-Y library's: pass Callback() to the long
/// work. The first report starts the progress with its total, every report moves it, and the
/// adapter's end clears it. When the console reports a cancellation (its dialog's Abort button),
/// the callback returns false and the work stops.
///
/// For the GUI thread, like the console itself. Totals above the console's int range are scaled
/// down.
class ConsoleProgress {
public:
    /// Progress on `console` (not owned) under `text`, with the dialog when `showDialog` is set.
    ConsoleProgress(OrvConsole* console, const QString& text, bool showDialog = true);
    /// Clears the progress if it was started.
    ~ConsoleProgress();
    ConsoleProgress(const ConsoleProgress&) = delete;
    ConsoleProgress& operator=(const ConsoleProgress&) = delete;

    /// Reports `done` of `total` traces; false when the user cancelled.
    bool Report(qint64 done, qint64 total);
    /// A callback that reports through this adapter, which must outlive it.
    std::function<bool(qint64, qint64)> Callback();
    /// True once a report was refused.
    bool Cancelled() const { return cancelled; }

private:
    OrvConsole* console;
    QString text;
    bool showDialog;
    bool started = false;
    bool cancelled = false;
    qint64 total = 0;
    qint64 scale = 1;
};
