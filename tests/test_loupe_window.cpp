// ORV Loupe's main window offscreen: display choices and recent files come back in a new
// window from the settings store, a file the library refuses leaves its message in the
// console and a box while the file shown before stays, and the views inside a file (header
// docks, header plot, spectrum, report) show what the file holds. A picture of the window with
// them goes to ORV_LOUPE_SHOTS.

#include "AppConsole.h"
#include "LpFrequencyDock.h"
#include "LpHeaderDocks.h"
#include "LpHeaderPlot.h"
#include "LpMainWindow.h"
#include "LpReportDlg.h"
#include "ModalHelper.h"
#include "TestOrvApp.h"

#include "SegyWriter.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableWidget>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <memory>

namespace {

// Inlines 1-4 by crosslines 1-5, 50 samples of 4 ms; trace `dead` (-1: none) all zero, and
// with it an extended textual header.
bool WriteCube(const QString& path, int dead = -1)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 4000);
    if (dead >= 0)
        writer.SetRawExtendedTextHeaders({EncodeSegyText(
            {QStringLiteral("((SEG: Processing history))")}, SegyTextEncoding::Ebcdic)});
    if (!writer.Begin())
        return false;
    std::vector<float> samples(50);
    for (int t = 0; t < 20; ++t) {
        SegyTraceHeader h;
        h.SetValue(*FindSegyTraceField(189), 1 + t / 5);
        h.SetValue(*FindSegyTraceField(193), 1 + t % 5);
        h.SetValue(*FindSegyTraceField(37), 100 + 25 * t);
        for (int s = 0; s < 50; ++s)
            samples[std::size_t(s)] = t == dead ? 0.0f : float(std::sin(s * 0.3 + t));
        if (!writer.WriteTrace(h, samples.data(), 50))
            return false;
    }
    return writer.Finish();
}

// A window with its console, built in the order LpApp builds them.
struct Session {
    std::unique_ptr<LpMainWindow> window;
    std::unique_ptr<AppConsole> console;

    Session()
    {
        window = std::make_unique<LpMainWindow>(TestOrvApp::Instance());
        TestOrvApp::Instance()->SetMainWidget(window.get());
        console = std::make_unique<AppConsole>(
            TestOrvApp::Instance(), window->ConsoleTextView(), QString(), 1);
        window->SetConsole(console.get());
    }
    ~Session()
    {
        console.reset();
        window.reset();
        TestOrvApp::Instance()->SetMainWidget(nullptr);
    }
};

} // namespace

class TestLoupeWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void choicesComeBack();
    void refusedFileKeepsThePrevious();
    void inspectors();

private:
    QTemporaryDir dir;
    QString cube;
};

void TestLoupeWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    TestOrvApp::Instance()->SetIdentity(QStringLiteral("ORV Loupe"), 7, 1, 0);
    cube = dir.filePath(QStringLiteral("cube.sgy"));
    QVERIFY(WriteCube(cube));
}

void TestLoupeWindow::choicesComeBack()
{
    {
        Session s;
        QVERIFY(s.window->OpenFile(cube));
        s.window->actionWiggle->trigger();
        s.window->actionViridis->trigger();
        s.window->actionAgc->trigger();
        s.window->actionReversePolarity->trigger();
        s.window->ClipModeBox->setCurrentIndex(1);
        s.window->ClipValueSpin->setValue(3.5);
        s.window->GainSpin->setValue(2.5);
        s.window->AgcWindowSpin->setValue(240);
        QCOMPARE(s.window->Model().Scaled().clip, 3.5f);
        QCOMPARE(s.window->Model().AgcWindow(), 60); // 240 ms of 4 ms samples
        s.window->close();
    }
    Session s;
    QVERIFY(s.window->actionWiggle->isChecked());
    QVERIFY(!s.window->actionDensity->isChecked());
    QVERIFY(s.window->actionViridis->isChecked());
    QVERIFY(s.window->actionAgc->isChecked());
    QVERIFY(s.window->actionReversePolarity->isChecked());
    QCOMPARE(s.window->ClipModeBox->currentIndex(), 1);
    QCOMPARE(s.window->ClipValueSpin->value(), 3.5);
    QCOMPARE(s.window->GainSpin->value(), 2.5);
    QCOMPARE(s.window->AgcWindowSpin->value(), 240);
    const LpDisplay& d = s.window->Model().Display();
    QCOMPARE(d.mode, LpDisplayMode::Wiggle);
    QCOMPARE(d.colorMap, LpColorMapKind::Viridis);
    QCOMPARE(d.gain, 2.5);
    QCOMPARE(s.window->menuRecent->actions().size(), 1);
    QCOMPARE(s.window->menuRecent->actions().first()->text(), QFileInfo(cube).absoluteFilePath());
}

void TestLoupeWindow::refusedFileKeepsThePrevious()
{
    const QString bad = dir.filePath(QStringLiteral("short.sgy"));
    {
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, '\0'));
    }
    Session s;
    QVERIFY(s.window->OpenFile(cube));
    const QString title = s.window->windowTitle();
    QCOMPARE(title, QStringLiteral("cube.sgy - Inline 1 - ORV Loupe"));
    s.window->actionNext->trigger();
    QCOMPARE(s.window->windowTitle(), QStringLiteral("cube.sgy - Inline 2 - ORV Loupe"));

    ModalHelper modal;
    QVERIFY(!s.window->OpenFile(bad));
    QCOMPARE(modal.Count(), 1);
    QCOMPARE(modal.Seen().first().title, QStringLiteral("Error"));
    const QString message = bad + QStringLiteral(": too short for a SEG-Y file: 1000 bytes");
    QVERIFY2(modal.Seen().first().text.contains(message), qPrintable(modal.Seen().first().text));
    QVERIFY(s.window->ConsoleTextView()->toPlainText().contains(message));
    QCOMPARE(s.window->windowTitle(), QStringLiteral("cube.sgy - Inline 2 - ORV Loupe"));
    QVERIFY(s.window->Model().HasSection());
    QCOMPARE(s.window->Model().Section().columns, 5);
}

void TestLoupeWindow::inspectors()
{
    const QString path = dir.filePath(QStringLiteral("dead.sgy"));
    QVERIFY(WriteCube(path, 13)); // inline 3, crossline 4
    Session s;
    s.window->resize(1400, 850);
    s.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.window.get()));
    QVERIFY(s.window->OpenFile(path));
    QTRY_VERIFY(s.window->ReportAction()->isEnabled());
    LpHeaderDocks* docks = s.window->HeaderDocks();

    // The binary header: the sample interval among the non-zero fields at the top.
    QTableWidget* binary = docks->BinaryTable();
    QVERIFY(binary->rowCount() > 20);
    const auto rowOf = [](QTableWidget* table, const QString& name) {
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 0)->text() == name)
                return r;
        return -1;
    };
    const int interval = rowOf(binary, QStringLiteral("sample_interval"));
    QVERIFY(interval >= 0 && interval < 4);
    QCOMPARE(binary->item(interval, 1)->text(), QStringLiteral("4000"));
    QCOMPARE(binary->item(interval, 2)->text(), QStringLiteral("3217"));
    QCOMPARE(docks->TextCode()->text(), QStringLiteral("Character code: EBCDIC"));
    QCOMPARE(docks->TextPages()->count(), 2);
    const auto page = [&](int i) {
        return static_cast<QPlainTextEdit*>(docks->TextPages()->widget(i))->toPlainText();
    };
    QVERIFY(page(1).startsWith(QStringLiteral("((SEG: Processing history))")));
    QCOMPARE(page(0).count(QLatin1Char('\n')), 39);

    // The report: the dead trace, and a double-click on it goes to its inline and marks it.
    QVERIFY(s.window->ReportFile());
    LpReportDlg* report = s.window->ReportDialog();
    QVERIFY(report && report->isVisible());
    QTreeWidgetItem* dead = nullptr;
    for (int i = 0; i < report->FindingTree->topLevelItemCount(); ++i)
        if (LpReportDlg::CodeOf(report->FindingTree->topLevelItem(i))
            == QLatin1String("dead-traces"))
            dead = report->FindingTree->topLevelItem(i);
    QVERIFY(dead);
    QCOMPARE(dead->text(0), QStringLiteral("warning"));
    QCOMPARE(dead->childCount(), 1);
    QCOMPARE(dead->child(0)->text(1), QStringLiteral("trace 13"));
    QCOMPARE(s.window->windowTitle(), QStringLiteral("dead.sgy - Inline 1 - ORV Loupe"));
    emit report->FindingTree->itemDoubleClicked(dead->child(0), 1);
    QCOMPARE(s.window->windowTitle(), QStringLiteral("dead.sgy - Inline 3 - ORV Loupe"));
    QCOMPARE(s.window->SectionView->MarkedColumn(), 3);
    QCOMPARE(docks->ShownTrace(), 13);
    QTableWidget* trace = docks->TraceTable();
    QCOMPARE(trace->item(rowOf(trace, QStringLiteral("offset")), 1)->text(), QStringLiteral("425"));
    QCOMPARE(
        trace->item(rowOf(trace, QStringLiteral("crossline")), 1)->text(), QStringLiteral("4"));
    docks->HexBox()->setChecked(true);
    QVERIFY(docks->HexView()->toPlainText().startsWith(QStringLiteral("  1  ")));

    // The offset along the inline in the strip above the section, lined up with it.
    trace->setCurrentCell(rowOf(trace, QStringLiteral("offset")), 0);
    trace->actions().first()->trigger();
    LpHeaderPlot* plot = s.window->HeaderPlot();
    QVERIFY(plot->isVisible());
    QCOMPARE(plot->Field(), 37);
    const QVector<QPointF> offsets = plot->Series()->pointsVector();
    QCOMPARE(offsets.size(), 5);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(offsets[c], QPointF(c + 0.5, 100 + 25 * (10 + c)));
    QCOMPARE(plot->ColumnAxis()->min(), s.window->SectionView->Viewport().column0);
    s.window->SectionView->ZoomIn();
    QTRY_COMPARE(plot->ColumnAxis()->max(), s.window->SectionView->Viewport().column1);

    // The spectrum of the view and the histogram with the clip marked.
    docks->TraceDock()->show();
    LpSpectrumDock* spectrum = s.window->SpectrumDock();
    spectrum->show();
    spectrum->raise();
    QTRY_VERIFY(spectrum->SpectrumSeries()->count() > 0);
    QCOMPARE(spectrum->SpectrumSeries()->count(), 33); // 50 samples padded to 64
    QCOMPARE(spectrum->SpectrumSeries()->at(32).x(), 125.0); // Nyquist of 4 ms
    const float clip = s.window->Model().Scaled().clip;
    QVERIFY(clip > 0);
    QCOMPARE(spectrum->ClipSeries(1)->at(0).x(), double(clip));
    QCOMPARE(spectrum->ClipSeries(-1)->at(0).x(), -double(clip));
    // The view fitted again, the histogram follows: every sample of the 5 x 50 counted.
    const auto counted = [spectrum] {
        const QVector<QPointF> steps = spectrum->HistogramSeries()->pointsVector();
        double sum = 0;
        for (int i = 0; i < steps.size(); i += 2)
            sum += steps[i].y();
        return sum;
    };
    QVERIFY(counted() < 250);
    s.window->actionFit->trigger();
    QTRY_COMPARE(counted(), 250.0);

    QDir().mkpath(QStringLiteral(ORV_LOUPE_SHOTS));
    QVERIFY(s.window->grab().save(QStringLiteral(ORV_LOUPE_SHOTS "/loupe-inspect.png")));
    QVERIFY(report->grab().save(QStringLiteral(ORV_LOUPE_SHOTS "/loupe-report.png")));
    docks->TraceDock()->raise();
    QVERIFY(s.window->grab().save(QStringLiteral(ORV_LOUPE_SHOTS "/loupe-trace-header.png")));
    report->close();
}

ORV_TEST_MAIN(TestLoupeWindow)
#include "test_loupe_window.moc"
