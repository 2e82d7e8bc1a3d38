#pragma once

#include <OrvConsole.h>

#include <QColor>
#include <QObject>
#include <QString>

// Work done on another thread. It never touches the console: its signals are
// connected to the console's queued Process... slots, which run the calls on
// the GUI thread.
class ProbeWorker : public QObject {
    Q_OBJECT

public:
    // Counts through nTraces traces, reporting every thousandth.
    void Run(int nTraces)
    {
        emit InitProgress(QStringLiteral("Worker traces"), nTraces);
        for (int trace = 1; trace <= nTraces; ++trace) {
            if (trace % 1000 != 0)
                continue;
            emit Progress(trace);
            emit Message(QStringLiteral("worker: trace %1 of %2").arg(trace).arg(nTraces), MsgPlain,
                QColor(Qt::black));
        }
        emit ClearProgress();
        emit Message(QStringLiteral("worker: done"), MsgDebug, QColor(Qt::black));
        emit Message(QStringLiteral("worker: low-level detail"), MsgLowLevel, QColor(Qt::black));
    }

signals:
    void Message(QString message, int type, QColor color);
    void InitProgress(QString text, int nTraces);
    void Progress(int trace);
    void ClearProgress();
};
