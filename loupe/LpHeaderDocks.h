#pragma once

#include <QObject>

class QCheckBox;
class QDockWidget;
class QLabel;
class QMainWindow;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;
class SegyFile;

// The header docks of a window: the textual header (with its extended pages), the binary
// header and the trace header of one trace, with its 240 bytes in hexadecimal on request. The
// docks carry object names, so the window's saveState keeps where they are.
class LpHeaderDocks : public QObject {
    Q_OBJECT

public:
    // Adds the docks to `window`, tabbed on its right side and hidden until asked for.
    explicit LpHeaderDocks(QMainWindow* window);

    QDockWidget* TextDock() const { return textDock; }
    QDockWidget* BinaryDock() const { return binaryDock; }
    QDockWidget* TraceDock() const { return traceDock; }

    // The file whose headers to show (not owned; null for none). Clears the trace header.
    void SetFile(const SegyFile* file);
    // Shows the header of `trace` (0-based); -1 clears it.
    void ShowTrace(qint64 trace);
    qint64 ShownTrace() const { return shownTrace; }

    QTabWidget* TextPages() const { return textPages; }
    QLabel* TextCode() const { return textCode; }
    QTableWidget* BinaryTable() const { return binaryTable; }
    QTableWidget* TraceTable() const { return traceTable; }
    QCheckBox* HexBox() const { return hexBox; }
    QPlainTextEdit* HexView() const { return hexView; }

signals:
    // The user chose trace header field starting at `byte` to plot along the section.
    void PlotRequested(int byte);

private:
    void FillTextPages();
    void FillBinaryTable();
    void RequestPlot();

    const SegyFile* file = nullptr;
    qint64 shownTrace = -1;
    QDockWidget* textDock = nullptr;
    QDockWidget* binaryDock = nullptr;
    QDockWidget* traceDock = nullptr;
    QTabWidget* textPages = nullptr;
    QLabel* textCode = nullptr;
    QTableWidget* binaryTable = nullptr;
    QLabel* traceTitle = nullptr;
    QTableWidget* traceTable = nullptr;
    QCheckBox* hexBox = nullptr;
    QPlainTextEdit* hexView = nullptr;
};
