#pragma once

#include <QtGlobal>

#include <chrono>

/// Ctrl-C (and a polite kill: SIGTERM, SIGHUP) only records the signal; a command's progress
/// callback sees it and cancels the work, so that the library cleans up after itself (a writer
/// removes its temporary file).
void CatchStopSignals();

/// The signal that asked the tool to stop, or 0.
int StopSignal();

/// The progress bar on a terminal's standard error: traces done, rate and time left, drawn at
/// most ten times a second once the work has taken half a second.
class ProgressBar {
public:
    /// A bar that draws nothing unless `shown`; Update still reports a stop signal.
    explicit ProgressBar(bool shown);

    /// Draws `done` of `total` traces when due; false once a stop signal came.
    bool Update(qint64 done, qint64 total);
    /// Removes the bar from the terminal.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    void Draw(qint64 done, qint64 total, double elapsed);

    bool shown;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDraw;
};
