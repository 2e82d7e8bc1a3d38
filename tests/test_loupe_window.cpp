// ORV Loupe's main window offscreen: display choices and recent files come back in a new
// window from the settings store, and a file the library refuses leaves its message in the
// console and a box while the file shown before stays.

#include "AppConsole.h"
#include "LpMainWindow.h"
#include "ModalHelper.h"
#include "TestOrvApp.h"

#include "SegyWriter.h"

#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

bool WriteCube(const QString& path)
{
    SegyWriter writer(path);
    writer.BinaryHeader().SetValue("sample_interval", 4000);
    if (!writer.Begin())
        return false;
    std::vector<float> samples(50);
    for (int t = 0; t < 20; ++t) {
        SegyTraceHeader h;
        h.SetValue(*FindSegyTraceField(189), 1 + t / 5);
        h.SetValue(*FindSegyTraceField(193), 1 + t % 5);
        for (int s = 0; s < 50; ++s)
            samples[std::size_t(s)] = float(std::sin(s * 0.3 + t));
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

ORV_TEST_MAIN(TestLoupeWindow)
#include "test_loupe_window.moc"
