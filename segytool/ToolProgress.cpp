#include "ToolProgress.h"

#include <QByteArray>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void RecordStopSignal(int signal)
{
    stopSignal = signal;
}

QByteArray Duration(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = RecordStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int StopSignal()
{
    return int(stopSignal);
}

ProgressBar::ProgressBar(bool shown)
    : shown(shown)
    , start(Clock::now())
    , lastDraw(start)
{
}

bool ProgressBar::Update(qint64 done, qint64 total)
{
    if (stopSignal != 0)
        return false;
    // The clock is read once per block of traces only.
    if (!shown || (done % 256 != 0 && done != total))
        return true;
    const Clock::time_point now = Clock::now();
    const double elapsed = Seconds(now - start);
    if (elapsed < 0.5 || (Seconds(now - lastDraw) < 0.1 && done != total))
        return true;
    lastDraw = now;
    Draw(done, total, elapsed);
    return true;
}

void ProgressBar::Clear()
{
    if (drawn)
        std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void ProgressBar::Draw(qint64 done, qint64 total, double elapsed)
{
    const double fraction = total > 0 ? double(done) / double(total) : 1.0;
    const double rate = elapsed > 0 ? double(done) / elapsed : 0;
    const QByteArray left = rate > 0 ? Duration(double(total - done) / rate) : "?";
    char status[160];
    std::snprintf(status, sizeof status, " %3d%%  %lld/%lld traces  %.0f traces/s  %s left",
        int(fraction * 100), static_cast<long long>(done), static_cast<long long>(total), rate,
        left.constData());
    struct winsize size = {};
    const int columns
        = ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    const int barWidth = std::max(10, std::min(40, columns - int(qstrlen(status)) - 3));
    QByteArray line = "\r[";
    const int filled = int(fraction * barWidth);
    line += QByteArray(filled, '#') + QByteArray(barWidth - filled, '.') + ']' + QByteArray(status);
    line += "\033[K";
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
    drawn = true;
}
