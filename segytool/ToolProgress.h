#pragma once

#include <QString>

#include <chrono>
#include <csignal>

// What the commands that write files share: Ctrl-C (and a polite kill) only records the signal,
// and the progress callback sees it and cancels, so that the library removes what it had begun.

// The signal that asked to stop, or 0.
extern volatile std::sig_atomic_t stopSignal;

// Records SIGINT, SIGTERM and SIGHUP in stopSignal instead of ending the process.
void CatchStopSignals();

// The exit status of a failed command: 128 + the signal after a stop, else kExitFailed.
int FailureStatus();

// True when both paths name the same file.
bool SameFile(const QString& a, const QString& b);

// The progress bar on a terminal's standard error: traces done, rate and time left, drawn at
// most ten times a second once the work has taken half a second.
class ProgressBar {
public:
    explicit ProgressBar(bool shown);
    // False once a stop signal came.
    bool Update(qint64 done, qint64 total);
    void Clear();

private:
    using Clock = std::chrono::steady_clock;

    void Draw(qint64 done, qint64 total, double elapsed);

    bool shown;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDraw;
};
