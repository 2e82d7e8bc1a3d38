#pragma once

class QColor;
class QString;

/// @file
/// The console interface and the kinds of messages from other threads.

/// Kind codes carried by messages that arrive from other threads.
enum ConsoleMsgType {
    MsgPlain = 0, ///< Msg, in the message's colour.
    MsgWarning = 1, ///< WarningMsg.
    MsgError = 2, ///< ErrorMsg.
    MsgDebug = 3, ///< DebugMsg.
    MsgLowLevel = 4 ///< LowLevelMsg.
};

/// The console every part of a product reports through. Callers hold a
/// pointer and never delete it; all operations are for the GUI thread.
///
/// Prefixed kinds compose "<prefix><text>" and pass it to Msg in black:
///
///     ErrorMsg     " *** Error:   "
///     WarningMsg   " ** Warning:   "
///     DebugMsg     "  * Debug:   "     shown at debug level 2 or 3 only
///     LowLevelMsg  "  * LowLevel:   "  shown at debug level 3 only
///
/// A gated-out debug or low-level call has no effect at all.
///
/// Progress is counted in traces: InitProgressBar, any number of
/// UpdateProgressBar (running count), ClearProgressBar. UpdateProgressBar
/// returns false when the user cancelled; the caller then stops.
class OrvConsole {
public:
    virtual ~OrvConsole() = default;

    /// Shows @p text in @p color (the colour matters in a text view only).
    virtual void Msg(const QString& text, const QColor& color) = 0;
    /// Shows " *** Error:   " + @p text; @p showBox asks for a modal box too.
    virtual void ErrorMsg(const QString& text, bool showBox) = 0;
    /// Shows " ** Warning:   " + @p text; @p showBox asks for a modal box too.
    virtual void WarningMsg(const QString& text, bool showBox) = 0;
    /// Shows "  * Debug:   " + @p text at debug level 2 or 3.
    virtual void DebugMsg(const QString& text) = 0;
    /// Shows "  * LowLevel:   " + @p text at debug level 3.
    virtual void LowLevelMsg(const QString& text) = 0;
    /// Starts a progress run of @p nTraces traces labelled @p text, with a
    /// dialog when @p showDialog is set.
    virtual void InitProgressBar(const QString& text, int nTraces, bool showDialog) = 0;
    /// Reports that @p trace traces are done; false when the user cancelled.
    virtual bool UpdateProgressBar(int trace) = 0;
    /// Ends the progress run.
    virtual void ClearProgressBar() = 0;
};
