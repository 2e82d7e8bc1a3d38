#include "SegyWriter.h"
#include "ToolCommands.h"
#include "ToolOutput.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void RecordStopSignal(int signal)
{
    stopSignal = signal;
}

// Ctrl-C (and a polite kill) only sets a flag; the progress callback sees it and cancels the
// copy, so that the library removes its temporary file.
void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = RecordStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa = {};
    struct stat sb = {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
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

// The progress bar on a terminal's standard error: traces done, rate and time left, drawn at
// most ten times a second once the work has taken half a second.
class ProgressBar {
public:
    explicit ProgressBar(bool shown)
        : shown(shown)
        , start(Clock::now())
        , lastDraw(start)
    {
    }

    bool Update(qint64 done, qint64 total)
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

    void Clear()
    {
        if (drawn)
            std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }

private:
    using Clock = std::chrono::steady_clock;

    static double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

    void Draw(qint64 done, qint64 total, double elapsed)
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
        line += QByteArray(filled, '#') + QByteArray(barWidth - filled, '.') + ']'
            + QByteArray(status);
        line += "\033[K";
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        drawn = true;
    }

    bool shown;
    bool drawn = false;
    Clock::time_point start;
    Clock::time_point lastDraw;
};

} // namespace

QList<QCommandLineOption> ConvertOptions()
{
    return {{QStringLiteral("format"),
                QStringLiteral("Sample format of OUT, as a code (5) or a name; default: IN's."),
                QStringLiteral("CODE")},
        {QStringLiteral("endian"),
            QStringLiteral("Byte order of OUT: big or little; default: IN's."),
            QStringLiteral("ORDER")}};
}

int RunConvert(const QCommandLineParser& parser, const QStringList& arguments)
{
    const ToolCommand* command = FindToolCommand(QStringLiteral("convert"));
    const QString& inPath = arguments[0];
    const QString& outPath = arguments[1];
    const SegyFormat* format = nullptr;
    if (parser.isSet(QStringLiteral("format"))) {
        format = FindSegyFormat(parser.value(QStringLiteral("format")));
        if (!format)
            return ReportUsageError(command,
                QStringLiteral("unknown sample format '%1'")
                    .arg(parser.value(QStringLiteral("format"))));
    }
    SegyByteOrder order = SegyByteOrder::Auto;
    if (parser.isSet(QStringLiteral("endian"))) {
        const QString endian = parser.value(QStringLiteral("endian"));
        if (endian == QLatin1String("big"))
            order = SegyByteOrder::Big;
        else if (endian == QLatin1String("little"))
            order = SegyByteOrder::Little;
        else
            return ReportUsageError(
                command, QStringLiteral("byte order '%1' is neither big nor little").arg(endian));
    }
    if (SameFile(inPath, outPath))
        return ReportUsageError(command, outPath + QStringLiteral(": is the input file"));

    CatchStopSignals();
    QString error;
    SegyOpenOptions openOptions;
    // A variable-length file is scanned on opening: Ctrl-C stops that too.
    openOptions.progress = [](qint64, qint64) { return stopSignal == 0; };
    const std::unique_ptr<SegyFile> in = SegyFile::Open(inPath, &error, openOptions);
    if (!in) {
        ReportError(error);
        return stopSignal != 0 ? 128 + int(stopSignal) : int(kExitFailed);
    }
    ReportWarnings(*in);

    SegyWriteOptions options;
    options.format = format ? format->code : in->Format().code;
    options.byteOrder = order == SegyByteOrder::Auto ? in->ByteOrder() : order;
    options.textEncoding = in->TextEncoding();
    ProgressBar bar(isatty(STDERR_FILENO) == 1);
    const bool copied = SegyCopy(*in, outPath, options, &error,
        [&bar](qint64 done, qint64 total) { return bar.Update(done, total); });
    bar.Clear();
    if (!copied) {
        ReportError(error);
        return stopSignal != 0 ? 128 + int(stopSignal) : int(kExitFailed);
    }
    return kExitOk;
}
