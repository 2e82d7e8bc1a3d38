#include "LpReportDlg.h"

#include <QFileInfo>

namespace {

// Items hold the trace they stand for; a finding's is its first.
constexpr int kTraceRole = Qt::UserRole;

} // namespace

LpReportDlg::LpReportDlg(QWidget* parent)
    : QDialog(parent)
{
    setupUi(this);
}

void LpReportDlg::SetFindings(
    const QString& fileName, qint64 traceCount, const std::vector<SegyFinding>& findings)
{
    setWindowTitle(tr("File report - %1").arg(QFileInfo(fileName).fileName()));
    FindingTree->clear();
    int counts[3] = {0, 0, 0};
    for (const SegyFinding& f : findings) {
        ++counts[int(f.severity)];
        auto* item = new QTreeWidgetItem(FindingTree,
            {QLatin1String(SegySeverityName(f.severity)),
                f.count > 0 ? QString::number(f.count) : QString(), f.message});
        item->setToolTip(2, QStringLiteral("%1 [%2]").arg(f.message, QLatin1String(f.code)));
        item->setData(2, Qt::UserRole, QLatin1String(f.code));
        item->setData(0, kTraceRole, f.traces.empty() ? -1 : f.traces.front());
        if (f.severity == SegySeverity::Error)
            item->setForeground(0, QColor(190, 0, 0));
        else if (f.severity == SegySeverity::Warning)
            item->setForeground(0, QColor(170, 100, 0));
        for (qint64 trace : f.traces) {
            // Counted from 0, as the messages count them.
            auto* child = new QTreeWidgetItem(item, {QString(), tr("trace %1").arg(trace)});
            child->setToolTip(1, tr("trace %1 of the file, counted from 1").arg(trace + 1));
            child->setData(0, kTraceRole, trace);
        }
        if (f.count > qint64(f.traces.size()))
            new QTreeWidgetItem(
                item, {QString(), tr("%1 more").arg(f.count - qint64(f.traces.size()))});
    }
    FindingTree->resizeColumnToContents(0);
    FindingTree->resizeColumnToContents(1);
    SummaryLabel->setText(findings.empty()
            ? tr("%1: %2 traces, nothing found.").arg(fileName).arg(traceCount)
            : tr("%1: %2 traces; errors %3, warnings %4, notes %5.")
                  .arg(fileName)
                  .arg(traceCount)
                  .arg(counts[int(SegySeverity::Error)])
                  .arg(counts[int(SegySeverity::Warning)])
                  .arg(counts[int(SegySeverity::Note)]));
}

qint64 LpReportDlg::TraceOf(const QTreeWidgetItem* item)
{
    if (!item)
        return -1;
    const QVariant v = item->data(0, kTraceRole);
    return v.isValid() ? v.toLongLong() : -1;
}

void LpReportDlg::on_FindingTree_itemDoubleClicked(QTreeWidgetItem* item, int)
{
    const qint64 trace = TraceOf(item);
    if (trace >= 0)
        emit TraceChosen(trace);
}
