// Process start to first paint, the same way for both products: ORV Vantor's main window, or
// ORV Loupe's first section of FILE. The parent gives its clock (CLOCK_REALTIME, ns) at the
// start in ORV_START_NS; the probe prints the time from then to the end of the first paint
// event that shows the content. With --pages, ORV Loupe then pages through inlines,
// crosslines and time slices and prints its resident memory.
//
// start_paint_probe vantor
// start_paint_probe loupe FILE [--pages]

#include "LpApp.h"
#include "LpMainWindow.h"
#include "ZkApp.h"
#include "ZkMainWindow.h"

#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>

namespace {

double MsSinceStart()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const double start = qEnvironmentVariable("ORV_START_NS").toDouble();
    return (double(now.tv_sec) * 1e9 + double(now.tv_nsec) - start) / 1e6;
}

double ResidentMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

// Calls `done` once, after the first paint event of `widget` for which `ready` holds has been
// handled.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, std::function<bool()> ready, std::function<void()> done)
        : ready(std::move(ready))
        , done(std::move(done))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!fired && event->type() == QEvent::Paint && ready()) {
            fired = true;
            QTimer::singleShot(0, this, [this] { done(); });
        }
        return false;
    }

private:
    std::function<bool()> ready;
    std::function<void()> done;
    bool fired = false;
};

void PageThrough(LpMainWindow* w)
{
    const std::pair<QAction*, const char*> views[]
        = {{w->actionInline, "inlines"}, {w->actionCrossline, "crosslines"},
            {w->actionTimeSlice, "time slices"}, {w->actionInline, "inlines again"}};
    for (const auto& [view, name] : views) {
        double most = 0;
        const auto note = [&] { most = std::max(most, ResidentMb("VmRSS:")); };
        view->trigger();
        note();
        for (int i = 0; i < 40; ++i) {
            w->actionNext->trigger();
            note();
        }
        w->actionLast->trigger();
        note();
        std::printf("resident while paging through %s: at most %.0f MB; after it %.0f MB "
                    "(anonymous %.0f MB, file pages %.0f MB)\n",
            name, most, ResidentMb("VmRSS:"), ResidentMb("RssAnon:"), ResidentMb("RssFile:"));
    }
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || (std::strcmp(argv[1], "loupe") == 0 && argc < 3)) {
        std::fprintf(stderr, "usage: start_paint_probe vantor | loupe FILE [--pages]\n");
        return 2;
    }
    if (std::strcmp(argv[1], "vantor") == 0) {
        int n = 1;
        ZkApp app(n, argv, true);
        app.Start();
        PaintWatch watch(
            app.MainWindow(), [] { return true; },
            [&app] {
                std::printf("orv-vantor first paint: %.1f ms\n", MsSinceStart());
                app.quit();
            });
        return app.exec();
    }
    const bool pages = argc > 3 && std::strcmp(argv[3], "--pages") == 0;
    int n = 2;
    char* loupeArgs[] = {argv[0], argv[2], nullptr};
    LpApp app(n, loupeArgs);
    app.Start();
    LpMainWindow* w = app.MainWindow();
    PaintWatch watch(
        w->SectionView, [w] { return w->Model().HasSection(); },
        [&app, w, pages] {
            std::printf("orv-loupe first section painted: %.1f ms\n", MsSinceStart());
            if (pages) {
                QCoreApplication::processEvents(); // the index of the headers
                std::printf("resident with the first inline: %.0f MB (anonymous %.0f MB, file "
                            "pages %.0f MB)\n",
                    ResidentMb("VmRSS:"), ResidentMb("RssAnon:"), ResidentMb("RssFile:"));
                PageThrough(w);
            }
            app.quit();
        });
    return app.exec();
}
