#include "LpHeaderDocks.h"

#include "LpHeaderRows.h"

#include "SegyFile.h"

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QDockWidget* MakeDock(QMainWindow* window, const QString& title, const char* name)
{
    auto* dock = new QDockWidget(title, window);
    dock->setObjectName(QLatin1String(name));
    dock->setWidget(new QWidget(dock));
    auto* layout = new QVBoxLayout(dock->widget());
    layout->setContentsMargins(4, 4, 4, 4);
    window->addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    return dock;
}

QTableWidget* MakeTable(const QStringList& titles)
{
    auto* table = new QTableWidget(0, titles.size());
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void FillTable(QTableWidget* table, const std::vector<LpHeaderRow>& rows)
{
    table->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const LpHeaderRow& r = rows[std::size_t(i)];
        const QString cells[] = {r.name, r.value, QString::number(r.byte), r.title};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setData(Qt::UserRole, r.byte);
            if (c == 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (r.zero)
                item->setForeground(QPalette().color(QPalette::Disabled, QPalette::Text));
            item->setToolTip(r.title);
            table->setItem(i, c, item);
        }
    }
    table->resizeColumnsToContents();
}

QPlainTextEdit* MakeTextPage(const QStringList& lines)
{
    auto* page = new QPlainTextEdit;
    page->setReadOnly(true);
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    page->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    page->setPlainText(lines.join(QLatin1Char('\n')));
    return page;
}

} // namespace

LpHeaderDocks::LpHeaderDocks(QMainWindow* window)
    : QObject(window)
{
    const QStringList titles = {tr("Field"), tr("Value"), tr("Byte"), tr("Description")};

    textDock = MakeDock(window, tr("Textual header"), "TextHeaderDock");
    textCode = new QLabel;
    textPages = new QTabWidget;
    textDock->widget()->layout()->addWidget(textCode);
    textDock->widget()->layout()->addWidget(textPages);

    binaryDock = MakeDock(window, tr("Binary header"), "BinaryHeaderDock");
    binaryTable = MakeTable(titles);
    binaryDock->widget()->layout()->addWidget(binaryTable);

    traceDock = MakeDock(window, tr("Trace header"), "TraceHeaderDock");
    traceTitle = new QLabel;
    traceTable = MakeTable(titles);
    traceTable->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* plot = new QAction(tr("Plot along the section"), traceTable);
    traceTable->addAction(plot);
    connect(plot, &QAction::triggered, this, &LpHeaderDocks::RequestPlot);
    connect(traceTable, &QTableWidget::cellDoubleClicked, this, &LpHeaderDocks::RequestPlot);
    hexBox = new QCheckBox(tr("Bytes in hexadecimal"));
    hexView = new QPlainTextEdit;
    hexView->setReadOnly(true);
    hexView->setLineWrapMode(QPlainTextEdit::NoWrap);
    hexView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hexView->hide();
    connect(hexBox, &QCheckBox::toggled, hexView, &QWidget::setVisible);
    for (QWidget* w : std::initializer_list<QWidget*>{traceTitle, traceTable, hexBox, hexView})
        traceDock->widget()->layout()->addWidget(w);

    window->tabifyDockWidget(textDock, binaryDock);
    window->tabifyDockWidget(binaryDock, traceDock);
}

void LpHeaderDocks::SetFile(const SegyFile* newFile)
{
    file = newFile;
    FillTextPages();
    FillBinaryTable();
    ShowTrace(-1);
}

void LpHeaderDocks::FillTextPages()
{
    while (textPages->count() > 0) {
        QWidget* page = textPages->widget(0);
        textPages->removeTab(0);
        delete page;
    }
    if (!file) {
        textCode->clear();
        return;
    }
    hexBox->setText(file->ByteOrder() == SegyByteOrder::Little
            ? tr("Bytes in hexadecimal (turned big-endian)")
            : tr("Bytes in hexadecimal"));
    textCode->setText(
        tr("Character code: %1")
            .arg(file->TextEncoding() == SegyTextEncoding::Ebcdic ? QStringLiteral("EBCDIC")
                                                                  : QStringLiteral("ASCII")));
    textPages->addTab(MakeTextPage(file->TextHeader()), tr("Textual header"));
    for (int i = 0; i < file->ExtendedTextHeaderCount(); ++i)
        textPages->addTab(MakeTextPage(file->ExtendedTextHeader(i)), tr("Extended %1").arg(i + 1));
}

void LpHeaderDocks::FillBinaryTable()
{
    if (!file) {
        binaryTable->setRowCount(0);
        return;
    }
    FillTable(binaryTable, LpBinaryHeaderRows(file->BinaryHeader()));
}

void LpHeaderDocks::ShowTrace(qint64 trace)
{
    SegyTraceHeader header;
    if (!file || trace < 0 || !file->ReadTraceHeader(trace, &header)) {
        shownTrace = -1;
        traceTitle->setText(tr("No trace"));
        traceTable->setRowCount(0);
        hexView->clear();
        return;
    }
    if (trace == shownTrace)
        return;
    shownTrace = trace;
    traceTitle->setText(tr("Trace %1 of %2").arg(trace + 1).arg(file->TraceCount()));
    const int keep = traceTable->verticalScrollBar() ? traceTable->verticalScrollBar()->value() : 0;
    FillTable(traceTable, LpTraceHeaderRows(header));
    traceTable->verticalScrollBar()->setValue(keep);
    // The header as read, big-endian whatever the file's order.
    hexView->setPlainText(LpHexDump(header.Bytes(), 240));
}

void LpHeaderDocks::RequestPlot()
{
    const QTableWidgetItem* item = traceTable->currentItem();
    if (item)
        emit PlotRequested(item->data(Qt::UserRole).toInt());
}
