#pragma once

class QColor;
class QString;

// Kind codes carried by messages that arrive from other threads.
enum ConsoleMsgType { MsgPlain = 0, MsgWarning = 1, MsgError = 2, MsgDebug = 3, MsgLowLevel = 4 };

// The console every part of a product reports through. Callers hold a
// pointer and never delete it; all operations are for the GUI thread.
//
// Prefixed kinds compose "<prefix><text>" and pass it to Msg in black:
//   ErrorMsg     " *** Error:   "
//   WarningMsg   " ** Warning:   "
//   DebugMsg     "  * Debug:   "     shown at debug level 2 or 3 only
//   LowLevelMsg  "  * LowLevel:   "  shown at debug level 3 only
// A gated-out debug or low-level call has no effect at all.
//
// Progress is counted in traces: InitProgressBar, any number of
// UpdateProgressBar (running count), ClearProgressBar. UpdateProgressBar
// returns false when the user cancelled; the caller then stops.
class OrvConsole {
public:
    virtual ~OrvConsole() = default;

    virtual void Msg(const QString& text, const QColor& color) = 0;
    virtual void ErrorMsg(const QString& text, bool showBox) = 0;
    virtual void WarningMsg(const QString& text, bool showBox) = 0;
    virtual void DebugMsg(const QString& text) = 0;
    virtual void LowLevelMsg(const QString& text) = 0;
    virtual void InitProgressBar(const QString& text, int nTraces, bool showDialog) = 0;
    virtual bool UpdateProgressBar(int trace) = 0;
    virtual void ClearProgressBar() = 0;
};
