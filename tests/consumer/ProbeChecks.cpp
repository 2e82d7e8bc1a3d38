#include "ProbeChecks.h"

#include "ProbeApp.h"

#include <AppConsole.h>
#include <CalendarChoices.h>
#include <OrvAboutDlg.h>
#include <OrvConsole.h>
#include <SampleFormats.h>
#include <TextUtils.h>
#include <TraceHeaderNames.h>

#include <QPushButton>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

int failures = 0;

void CheckIbm(OrvConsole* console)
{
    // 0x41100000: exponent 65, fraction 1/16 -> 16 x 1/16 = 1.
    // 0xC2640000: negative, exponent 66, fraction 0x64/256 -> 256 x 100/256 = 100.
    const uint32_t words[2] = {0x41100000u, 0xC2640000u};
    const float expected[2] = {1.0f, -100.0f};
    float values[2] = {0.0f, 0.0f};
    IbmToFloat(words, values, 2);
    for (int i = 0; i < 2; ++i)
        Report(console, values[i] == expected[i],
            QStringLiteral("ibm 0x%1 -> %2")
                .arg(QString::number(words[i], 16).toUpper().rightJustified(8, QLatin1Char('0')))
                .arg(static_cast<double>(values[i])));
}

void CheckEbcdic(OrvConsole* console)
{
    char text[] = {'\xC8', '\x85', '\x93', '\x93', '\x96'};
    EbcdicToAscii(text, 5);
    const QString ascii = QString::fromLatin1(text, 5);
    Report(console, ascii == QLatin1String("Hello"),
        QStringLiteral("ebcdic C8 85 93 93 96 -> ") + ascii);
}

void CheckCalendar(OrvConsole* console)
{
    Report(console, MonthChoice(12) == QLatin1String("December"),
        QStringLiteral("month 12 -> ") + MonthChoice(12));
}

} // namespace

void Report(OrvConsole* console, bool ok, const QString& what)
{
    if (ok) {
        console->Msg(what, Qt::black);
    } else {
        console->ErrorMsg(what, false);
        ++failures;
    }
}

int Failures()
{
    return failures;
}

void CheckVocabulary(OrvConsole* console)
{
    CheckIbm(console);
    CheckEbcdic(console);
    CheckCalendar(console);
}

// The dialog derives from its generated widget tree, so this also needs
// the installed uic header and the frame's Widgets code.
void CheckAboutDialog(OrvApp* app)
{
    OrvAboutDlg dialog(app);
    Report(app->GetConsole(), dialog.Ok != nullptr && dialog.Ok->parentWidget() == &dialog,
        QStringLiteral("about dialog has its OK button"));
}

ProgressRecord::ProgressRecord(AppConsole* console)
{
    QObject::connect(console, &AppConsole::initializeProgressBar, console,
        [this](const QString& label, int nTraces) {
            text = label;
            total = nTraces;
        });
    QObject::connect(console, &AppConsole::updateProgressBar, console, [this](int traces) {
        ++updates;
        last = traces;
    });
    QObject::connect(console, &AppConsole::clearProgressBar, console, [this] { ++clears; });
}

void ProgressRecord::Reset()
{
    *this = ProgressRecord();
}

QString ProgressRecord::Summary() const
{
    return QStringLiteral("%1: %2 traces, %3 updates, last %4, cleared %5")
        .arg(text)
        .arg(total)
        .arg(updates)
        .arg(last)
        .arg(clears);
}
