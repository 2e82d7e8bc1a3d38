// The console's messages: prefixes and debug gates, the three display
// channels, error and warning boxes, colours, overwrite mode, the slots that
// other threads reach through queued connections, and the meta-object that
// makes those slots connectable by name.

#include "AppConsole.h"
#include "ModalHelper.h"
#include "OrvApp.h"

#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextEdit>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <unistd.h>

namespace {

class ConsoleApp : public OrvApp {
public:
    ConsoleApp(int& argc, char** argv)
        : OrvApp(argc, argv, true)
    {
    }
    int Start() override { return 1; }

    void SetIdentity(const QString& name, bool gui, QWidget* parent)
    {
        appName = name;
        guiEnabled = gui;
        mainWidget = parent;
    }
};

ConsoleApp* theApp = nullptr;
const QString kAppName = QStringLiteral("Seismic Console Test");

struct MsgCall {
    QString text;
    QColor color;
    QThread* thread;
};

// Records every call that reaches Msg (prefixed kinds call it virtually),
// then lets the console route it.
class RecordingConsole : public AppConsole {
public:
    using AppConsole::AppConsole;
    void Msg(const QString& text, const QColor& color) override
    {
        calls.append({text, color, QThread::currentThread()});
        AppConsole::Msg(text, color);
    }
    QList<MsgCall> calls;
};

enum Kind { Plain, Error, Warning, Debug, LowLevel };

const char* const kKindNames[] = {"plain", "error", "warning", "debug", "low-level"};

void Send(OrvConsole* console, int kind, const QString& text, const QColor& color = Qt::black,
    bool showBox = false)
{
    switch (kind) {
    case Plain:
        console->Msg(text, color);
        break;
    case Error:
        console->ErrorMsg(text, showBox);
        break;
    case Warning:
        console->WarningMsg(text, showBox);
        break;
    case Debug:
        console->DebugMsg(text);
        break;
    case LowLevel:
        console->LowLevelMsg(text);
        break;
    }
}

void SetOverwrite(AppConsole* console, bool mode)
{
    QVERIFY(QMetaObject::invokeMethod(
        console, "ProcessThreadMsgMode", Qt::DirectConnection, Q_ARG(bool, mode)));
}

void ToStderr(QtMsgType, const QMessageLogContext&, const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// Everything written to file descriptor 1 while `action` runs. Qt's own
// warnings are sent to stderr meanwhile so that only the console's output
// is caught.
QByteArray CaptureStdout(const std::function<void()>& action)
{
    QTemporaryFile file;
    if (!file.open())
        return "capture failed";
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    dup2(file.handle(), STDOUT_FILENO);
    const QtMessageHandler previous = qInstallMessageHandler(ToStderr);
    action();
    std::fflush(stdout);
    qInstallMessageHandler(previous);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    QFile written(file.fileName());
    written.open(QIODevice::ReadOnly);
    return written.readAll();
}

QByteArray ReadFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(no file)");
}

// The colour of each paragraph, or "mixed" when its fragments differ.
QStringList ParagraphColours(const QTextEdit& edit)
{
    QStringList colours;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        QString colour;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString name = it.fragment().charFormat().foreground().color().name();
            colour = colour.isEmpty() || colour == name ? name : QStringLiteral("mixed");
        }
        colours << colour;
    }
    return colours;
}

class ThreadSender : public QObject {
    Q_OBJECT
signals:
    void Message(QString message, int type, QColor color);
    void DialogMessage(QString message, int type);
};

// Emits its items from its own thread: "m|type|colour|text" goes to
// ProcessThreadMsg, "d|type|text" to ProcessThreadDlgMsg.
class SenderThread : public QThread {
public:
    SenderThread(AppConsole* console, QStringList items)
        : console(console)
        , items(std::move(items))
    {
    }

    bool connected = false;

protected:
    void run() override
    {
        ThreadSender sender;
        connected = QObject::connect(&sender, SIGNAL(Message(QString, int, QColor)), console,
                        SLOT(ProcessThreadMsg(QString, int, QColor)))
            && QObject::connect(&sender, SIGNAL(DialogMessage(QString, int)), console,
                SLOT(ProcessThreadDlgMsg(QString, int)));
        for (const QString& item : qAsConst(items)) {
            const QStringList parts = item.split(QLatin1Char('|'));
            if (parts.at(0) == QLatin1String("m"))
                emit sender.Message(parts.at(3), parts.at(1).toInt(), QColor(parts.at(2)));
            else
                emit sender.DialogMessage(parts.at(2), parts.at(1).toInt());
        }
    }

private:
    AppConsole* console;
    QStringList items;
};

} // namespace

class TestConsoleMessages : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void prefixesAndGates_data();
    void prefixesAndGates();
    void colours_data();
    void colours();
    void displayChannels_data();
    void displayChannels();
    void standardOutput_data();
    void standardOutput();
    void markupShownLiterally_data();
    void markupShownLiterally();
    void errorWarningBoxes_data();
    void errorWarningBoxes();
    void overwriteMode_data();
    void overwriteMode();
    void overwriteModeWithoutTextView();
    void threadMessages_data();
    void threadMessages();
    void threadMessagesKeepOrder();
    void stepParameterBox_data();
    void stepParameterBox();
    void metaObjectMethods_data();
    void metaObjectMethods();
    void metaObjectShape();
};

void TestConsoleMessages::init()
{
    theApp->SetIdentity(kAppName, true, nullptr);
}

void TestConsoleMessages::cleanup()
{
    theApp->SetIdentity(kAppName, true, nullptr);
    QTextCodec::setCodecForLocale(nullptr);
    const QWidgetList left = QApplication::topLevelWidgets();
    QVERIFY2(left.isEmpty(), left.isEmpty() ? "" : left.first()->metaObject()->className());
}

void TestConsoleMessages::prefixesAndGates_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("expected");

    const QString prefixes[]
        = {QString(), QStringLiteral(" *** Error:   "), QStringLiteral(" ** Warning:   "),
            QStringLiteral("  * Debug:   "), QStringLiteral("  * LowLevel:   ")};
    const QString text = QStringLiteral("read 120 traces");
    for (int level = 1; level <= 4; ++level) {
        for (int kind = Plain; kind <= LowLevel; ++kind) {
            const bool shown = kind == Debug ? level == 2 || level == 3
                : kind == LowLevel           ? level == 3
                                             : true;
            const QString name = QStringLiteral("%1 at level %2 -> %3")
                                     .arg(QLatin1String(kKindNames[kind]))
                                     .arg(level)
                                     .arg(shown ? "shown" : "nothing");
            QTest::newRow(qPrintable(name))
                << kind << level << text << shown << prefixes[kind] + text;
        }
    }
    QTest::newRow("error with empty text -> bare prefix")
        << int(Error) << 1 << QString() << true << QStringLiteral(" *** Error:   ");
    QTest::newRow("warning with empty text -> bare prefix")
        << int(Warning) << 1 << QString() << true << QStringLiteral(" ** Warning:   ");
}

void TestConsoleMessages::prefixesAndGates()
{
    QFETCH(int, kind);
    QFETCH(int, level);
    QFETCH(QString, text);
    QFETCH(bool, shown);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QTextEdit view;
    ModalHelper modals;
    RecordingConsole console(theApp, &view, dir.filePath(QStringLiteral("gate.sgy")), level);
    QVERIFY(console.HasOpenConsoleFile());

    const QColor plainColour(Qt::darkGreen);
    Send(&console, kind, text, plainColour);

    QCOMPARE(view.toPlainText(), shown ? expected : QString());
    QCOMPARE(ReadFile(dir.filePath(QStringLiteral("gate.console"))),
        shown ? expected.toLatin1() + '\n' : QByteArray());
    // Prefixed kinds pass through Msg once, in black; gated calls not at all.
    QCOMPARE(console.calls.size(), shown ? 1 : 0);
    if (shown) {
        QCOMPARE(console.calls.at(0).text, expected);
        QCOMPARE(console.calls.at(0).color, kind == Plain ? plainColour : QColor(Qt::black));
    }
    QCOMPARE(modals.Count(), 0);
}

void TestConsoleMessages::colours_data()
{
    QTest::addColumn<QStringList>("calls"); // "plain:<colour>" or a kind name
    QTest::addColumn<QStringList>("colours"); // one per paragraph

    QTest::newRow("plain red") << QStringList{"plain:#ff0000"} << QStringList{"#ff0000"};
    QTest::newRow("plain blue, then an error in black")
        << QStringList{"plain:#0000ff", "error"} << QStringList{"#0000ff", "#000000"};
    QTest::newRow("a warning between two colours in black") << QStringList{"plain:#008000",
        "warning", "plain:#800080"} << QStringList{"#008000", "#000000", "#800080"};
    QTest::newRow("debug and low-level in black after red") << QStringList{
        "plain:#ff0000", "debug", "low-level"} << QStringList{"#ff0000", "#000000", "#000000"};
    QTest::newRow("text selected in the view keeps its colour") << QStringList{"plain:#ff0000",
        "select", "plain:#0000ff", "error"} << QStringList{"#ff0000", "#0000ff", "#000000"};
    QTest::newRow("black text after a coloured one")
        << QStringList{"plain:#ff0000", "plain:#000000"} << QStringList{"#ff0000", "#000000"};
}

void TestConsoleMessages::colours()
{
    QFETCH(QStringList, calls);
    QFETCH(QStringList, colours);

    QTextEdit view;
    AppConsole console(theApp, &view, QString(), 3);
    for (const QString& call : calls) {
        if (call.startsWith(QLatin1String("plain:"))) {
            console.Msg(QStringLiteral("coloured line"), QColor(call.mid(6)));
        } else if (call == QLatin1String("select")) {
            QTextCursor selection(view.document());
            selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            view.setTextCursor(selection);
        } else {
            const auto kind = std::find(std::begin(kKindNames), std::end(kKindNames), call);
            Send(&console, int(kind - std::begin(kKindNames)), QStringLiteral("fixed"));
        }
    }
    QCOMPARE(ParagraphColours(view), colours);
}

void TestConsoleMessages::displayChannels_data()
{
    QTest::addColumn<bool>("withView");
    QTest::addColumn<bool>("gui");
    QTest::addColumn<bool>("withParent");
    QTest::addColumn<QString>("channel"); // "view", "box" or "stdout"

    QTest::newRow("text view, GUI flag set -> text view") << true << true << false << "view";
    QTest::newRow("text view, GUI flag clear -> text view") << true << false << false << "view";
    QTest::newRow("no text view, GUI flag set -> information box")
        << false << true << false << "box";
    QTest::newRow("no text view, GUI flag set, main widget -> box on it")
        << false << true << true << "box";
    QTest::newRow("no text view, GUI flag clear -> standard output")
        << false << false << false << "stdout";
}

void TestConsoleMessages::displayChannels()
{
    QFETCH(bool, withView);
    QFETCH(bool, gui);
    QFETCH(bool, withParent);
    QFETCH(QString, channel);

    QWidget mainWidget;
    theApp->SetIdentity(kAppName, gui, withParent ? &mainWidget : nullptr);
    std::unique_ptr<QTextEdit> view(withView ? new QTextEdit : nullptr);
    AppConsole console(theApp, view.get(), QString(), 1);
    // The console copied the identity; later changes are not seen.
    theApp->SetIdentity(QStringLiteral("Renamed later"), !gui, nullptr);

    ModalHelper modals;
    const QString text = QStringLiteral("Line 1 of 2");
    const QByteArray out = CaptureStdout([&] { console.Msg(text, Qt::red); });

    QCOMPARE(out, channel == QLatin1String("stdout") ? QByteArray("Line 1 of 2\n") : QByteArray());
    if (view)
        QCOMPARE(view->toPlainText(), channel == QLatin1String("view") ? text : QString());
    QCOMPARE(modals.Count(), channel == QLatin1String("box") ? 1 : 0);
    if (channel == QLatin1String("box")) {
        const SeenModal& box = modals.Seen().at(0);
        QCOMPARE(box.className, QStringLiteral("QMessageBox"));
        QCOMPARE(box.icon, int(QMessageBox::Information));
        QCOMPARE(box.title, kAppName);
        QCOMPARE(box.text, text);
        QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
        QVERIFY(!box.hasDefaultButton);
        QCOMPARE(box.hasParent, withParent);
    }
}

void TestConsoleMessages::standardOutput_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    // Written in the locale's 8-bit encoding, verbatim, never as a format.
    QTest::newRow("UTF-8 locale: percent signs and letters beyond Latin-1")
        << QByteArray("UTF-8") << int(Plain)
        << QString::fromUtf8("100% of %s %d %n in Z\xc3\xbcrich and \xc5\x81\xc3\xb3"
                             "d\xc5\xba")
        << QByteArray("100% of %s %d %n in Z\xc3\xbcrich and \xc5\x81\xc3\xb3"
                      "d\xc5\xba\n");
    QTest::newRow("Latin-1 locale: one byte per letter")
        << QByteArray("ISO-8859-1") << int(Plain) << QString::fromUtf8("50% in Z\xc3\xbcrich")
        << QByteArray("50% in Z\xfcrich\n");
    QTest::newRow("error prefix, no box without a GUI")
        << QByteArray("UTF-8") << int(Error) << QStringLiteral("bad %s")
        << QByteArray(" *** Error:   bad %s\n");
    QTest::newRow("warning prefix, no box without a GUI") << QByteArray(
        "UTF-8") << int(Warning) << QStringLiteral("50%") << QByteArray(" ** Warning:   50%\n");
    QTest::newRow("empty message -> a bare line feed")
        << QByteArray("UTF-8") << int(Plain) << QString() << QByteArray("\n");
}

void TestConsoleMessages::standardOutput()
{
    QFETCH(QByteArray, codec);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    QTextCodec* localeCodec = QTextCodec::codecForName(codec);
    QVERIFY(localeCodec);
    QTextCodec::setCodecForLocale(localeCodec);
    theApp->SetIdentity(kAppName, false, nullptr);
    AppConsole console(theApp, nullptr, QString(), 1);

    ModalHelper modals;
    const QByteArray out = CaptureStdout([&] { Send(&console, kind, text, Qt::red, true); });
    QTextCodec::setCodecForLocale(nullptr);

    QCOMPARE(out, expected);
    QCOMPARE(modals.Count(), 0);
}

void TestConsoleMessages::markupShownLiterally_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("text");

    const QString markup = QStringLiteral("<b>bold?</b> &amp; <i>x</i><br>");
    QTest::newRow("text view") << "view" << markup;
    QTest::newRow("information box") << "box" << markup;
    QTest::newRow("critical box") << "critical" << markup;
    QTest::newRow("parameter error box") << "step" << markup;
}

void TestConsoleMessages::markupShownLiterally()
{
    QFETCH(QString, channel);
    QFETCH(QString, text);

    std::unique_ptr<QTextEdit> view(channel != QLatin1String("box") ? new QTextEdit : nullptr);
    AppConsole console(theApp, view.get(), QString(), 1);
    ModalHelper modals;

    if (channel == QLatin1String("critical")) {
        console.ErrorMsg(text, true);
    } else if (channel == QLatin1String("step")) {
        QVERIFY(QMetaObject::invokeMethod(&console, "ProcessThreadStepDlgMsg", Qt::DirectConnection,
            Q_ARG(QString, text), Q_ARG(QString, QStringLiteral("x"))));
    } else {
        console.Msg(text, Qt::black);
    }

    if (channel == QLatin1String("view")) {
        QCOMPARE(view->toPlainText(), text);
        QTextBlock block = view->document()->begin();
        QVERIFY(!block.begin().fragment().charFormat().font().bold());
        QCOMPARE(modals.Count(), 0);
        return;
    }
    QCOMPARE(modals.Count(), 1);
    const SeenModal& box = modals.Seen().at(0);
    QCOMPARE(box.textFormat, Qt::PlainText);
    QVERIFY(box.text.contains(text));
}

void TestConsoleMessages::errorWarningBoxes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("withView");
    QTest::addColumn<bool>("showBox");
    QTest::addColumn<int>("icon"); // -1: no box at all
    QTest::addColumn<QString>("title");

    const int info = QMessageBox::Information;
    QTest::newRow("error, no text view, box asked -> one information box")
        << int(Error) << false << true << info << kAppName;
    QTest::newRow("error, no text view, no box asked -> one information box")
        << int(Error) << false << false << info << kAppName;
    QTest::newRow("warning, no text view, box asked -> one information box")
        << int(Warning) << false << true << info << kAppName;
    QTest::newRow("error, text view, box asked -> appended, then critical box")
        << int(Error) << true << true << int(QMessageBox::Critical) << "Error";
    QTest::newRow("warning, text view, box asked -> appended, then warning box")
        << int(Warning) << true << true << int(QMessageBox::Warning) << "Warning";
    QTest::newRow("error, text view, no box asked -> appended only")
        << int(Error) << true << false << -1 << "";
    QTest::newRow("warning, text view, no box asked -> appended only")
        << int(Warning) << true << false << -1 << "";
}

void TestConsoleMessages::errorWarningBoxes()
{
    QFETCH(int, kind);
    QFETCH(bool, withView);
    QFETCH(bool, showBox);
    QFETCH(int, icon);
    QFETCH(QString, title);

    std::unique_ptr<QTextEdit> view(withView ? new QTextEdit : nullptr);
    AppConsole console(theApp, view.get(), QString(), 1);
    QString viewWhenBoxShown;
    ModalHelper modals([&](QDialog* dialog) {
        if (view)
            viewWhenBoxShown = view->toPlainText();
        ModalHelper::PressOk(dialog);
    });

    const QString text = QStringLiteral("disk full");
    Send(&console, kind, text, Qt::red, showBox);
    const QString composed
        = (kind == Error ? QStringLiteral(" *** Error:   ") : QStringLiteral(" ** Warning:   "))
        + text;

    if (view)
        QCOMPARE(view->toPlainText(), composed);
    QCOMPARE(modals.Count(), icon < 0 ? 0 : 1);
    if (icon < 0)
        return;
    const SeenModal& box = modals.Seen().at(0);
    QCOMPARE(box.icon, icon);
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, composed);
    QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(!box.hasDefaultButton);
    QVERIFY(!box.hasParent);
    if (view)
        QCOMPARE(viewWhenBoxShown, composed);
}

void TestConsoleMessages::overwriteMode_data()
{
    QTest::addColumn<QStringList>("before"); // plain messages sent first
    QTest::addColumn<QStringList>("steps"); // "on", "off", "undo", "<kind>:<text>"
    QTest::addColumn<QString>("expected");

    QTest::newRow("two lines, mode on, three messages -> first line and third message")
        << QStringList{"first", "second"}
        << QStringList{"on", "plain:one", "plain:two", "plain:three"} << "first\nthree";
    QTest::newRow("first message after switching on replaces the last one before")
        << QStringList{"only"} << QStringList{"on", "plain:new"} << "new";
    QTest::newRow("mode off again -> back to appending")
        << QStringList{"first", "second"} << QStringList{"on", "plain:one", "off", "plain:two"}
        << "first\none\ntwo";
    QTest::newRow("prefixed kinds replace each other too")
        << QStringList{"first", "second"} << QStringList{"on", "error:e", "warning:w"}
        << "first\n ** Warning:   w";
    QTest::newRow("a two-line message is replaced as a whole")
        << QStringList{"first", "second"} << QStringList{"on", "plain:two\nlines", "plain:last"}
        << "first\nlast";
    QTest::newRow("one undo removes one message")
        << QStringList{"a", "b", "c"} << QStringList{"undo"} << "a\nb";
    QTest::newRow("two undos remove two one-letter messages")
        << QStringList{"x", "y", "z"} << QStringList{"undo", "undo"} << "x";
}

void TestConsoleMessages::overwriteMode()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, steps);
    QFETCH(QString, expected);

    QTextEdit view;
    AppConsole console(theApp, &view, QString(), 1);
    for (const QString& line : before)
        console.Msg(line, Qt::black);
    for (const QString& step : steps) {
        if (step == QLatin1String("on") || step == QLatin1String("off")) {
            SetOverwrite(&console, step == QLatin1String("on"));
            QCOMPARE(view.overwriteMode(), step == QLatin1String("on"));
        } else if (step == QLatin1String("undo")) {
            view.undo();
        } else {
            const QString kind = step.section(QLatin1Char(':'), 0, 0);
            const QString text = step.section(QLatin1Char(':'), 1);
            Send(&console,
                kind == QLatin1String("plain")       ? Plain
                    : kind == QLatin1String("error") ? Error
                                                     : Warning,
                text);
        }
    }
    QCOMPARE(view.toPlainText(), expected);
}

void TestConsoleMessages::overwriteModeWithoutTextView()
{
    theApp->SetIdentity(kAppName, false, nullptr);
    AppConsole console(theApp, nullptr, QString(), 1);
    const QByteArray out = CaptureStdout([&] {
        SetOverwrite(&console, true);
        console.Msg(QStringLiteral("one"), Qt::black);
        console.Msg(QStringLiteral("two"), Qt::black);
    });
    QCOMPARE(out, QByteArray("one\ntwo\n"));
}

void TestConsoleMessages::threadMessages_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("colours");

    QTest::newRow("plain, warning, error in order; colour only for plain")
        << 1 << QStringList{"m|0|#ff0000|plain red", "m|1|#ff0000|careful", "m|2|#00ff00|broken"}
        << "plain red\n ** Warning:   careful\n *** Error:   broken"
        << QStringList{"#ff0000", "#000000", "#000000"};
    QTest::newRow("debug and low-level silent at level 1")
        << 1 << QStringList{"m|3|#000000|dbg", "m|4|#000000|low", "m|0|#0000ff|after"} << "after"
        << QStringList{"#0000ff"};
    QTest::newRow("debug and low-level shown at level 3")
        << 3 << QStringList{"m|3|#ff0000|dbg", "m|4|#ff0000|low", "m|0|#0000ff|after"}
        << "  * Debug:   dbg\n  * LowLevel:   low\nafter"
        << QStringList{"#000000", "#000000", "#0000ff"};
    QTest::newRow("unknown codes 5 and -1 ignored")
        << 3 << QStringList{"m|5|#ff0000|five", "m|-1|#ff0000|minus", "m|0|#ff0000|kept"} << "kept"
        << QStringList{"#ff0000"};
    QTest::newRow("dialog slot: warning and error appended, no box")
        << 1 << QStringList{"d|1|careful", "d|2|broken"}
        << " ** Warning:   careful\n *** Error:   broken" << QStringList{"#000000", "#000000"};
    QTest::newRow("dialog slot: codes 0, 3, 4, 5 and -1 ignored")
        << 3 << QStringList{"d|0|plain", "d|3|dbg", "d|4|low", "d|5|five", "d|-1|minus", "d|2|kept"}
        << " *** Error:   kept" << QStringList{"#000000"};
}

void TestConsoleMessages::threadMessages()
{
    QFETCH(int, level);
    QFETCH(QStringList, items);
    QFETCH(QString, expected);
    QFETCH(QStringList, colours);

    QTextEdit view;
    RecordingConsole console(theApp, &view, QString(), level);
    ModalHelper modals;

    SenderThread sender(&console, items);
    sender.start();
    QVERIFY(sender.wait(10000));
    QVERIFY(sender.connected);

    QTRY_COMPARE(view.toPlainText(), expected);
    QCoreApplication::processEvents();
    QCOMPARE(view.toPlainText(), expected);
    QCOMPARE(ParagraphColours(view), colours);
    for (const MsgCall& call : qAsConst(console.calls))
        QCOMPARE(call.thread, QThread::currentThread());
    QCOMPARE(modals.Count(), 0);
}

void TestConsoleMessages::threadMessagesKeepOrder()
{
    QTextEdit view;
    AppConsole console(theApp, &view, QString(), 1);
    QStringList items;
    QStringList expected;
    for (int i = 0; i < 600; ++i) {
        const QString text = QString::number(i);
        switch (i % 3) {
        case 0:
            items << QStringLiteral("m|0|#000000|") + text;
            expected << text;
            break;
        case 1:
            items << QStringLiteral("m|1|#000000|") + text;
            expected << QStringLiteral(" ** Warning:   ") + text;
            break;
        default:
            items << QStringLiteral("d|2|") + text;
            expected << QStringLiteral(" *** Error:   ") + text;
            break;
        }
    }
    SenderThread sender(&console, items);
    sender.start();
    QVERIFY(sender.wait(10000));
    QTRY_COMPARE(view.document()->blockCount(), 600);
    QCOMPARE(view.toPlainText(), expected.join(QLatin1Char('\n')));
}

void TestConsoleMessages::stepParameterBox_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("message");
    QTest::newRow("step and message") << QString("Migration") << QString("velocity file missing");
    QTest::newRow("empty step") << QString() << QString("no traces selected");
    QTest::newRow("empty message") << QString("Stack") << QString();
}

void TestConsoleMessages::stepParameterBox()
{
    QFETCH(QString, step);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QTextEdit view;
    QWidget mainWidget;
    theApp->SetIdentity(kAppName, true, &mainWidget);
    AppConsole console(theApp, &view, dir.filePath(QStringLiteral("flow.sgy")), 1);
    ModalHelper modals;

    QVERIFY(QMetaObject::invokeMethod(&console, "ProcessThreadStepDlgMsg", Qt::DirectConnection,
        Q_ARG(QString, step), Q_ARG(QString, message)));

    QCOMPARE(modals.Count(), 1);
    const SeenModal& box = modals.Seen().at(0);
    QCOMPARE(box.className, QStringLiteral("QMessageBox"));
    QVERIFY(!box.hasParent);
    QCOMPARE(box.title, QString());
    QCOMPARE(box.text, step + QStringLiteral(" - Parameter error!"));
    QCOMPARE(box.informativeText, message);
    QCOMPARE(box.buttons, QStringList{QStringLiteral("OK")});
    // The box is all: nothing reaches the text view or the console file.
    QVERIFY(view.toPlainText().isEmpty());
    QCOMPARE(ReadFile(dir.filePath(QStringLiteral("flow.console"))), QByteArray());
}

void TestConsoleMessages::metaObjectMethods_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("signature");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("access");
    QTest::addColumn<QByteArrayList>("parameters");

    const int signal = QMetaMethod::Signal;
    const int slot = QMetaMethod::Slot;
    const int pub = QMetaMethod::Public;
    const int priv = QMetaMethod::Private;
    auto row = [](int index, const char* signature) -> QTestData& {
        return QTest::newRow(signature) << index << QByteArray(signature);
    };
    row(0, "initializeProgressBar(QString,int)")
        << signal << pub << QByteArrayList{"text", "nTraces"};
    row(1, "updateProgressBar(int)") << signal << pub << QByteArrayList{"traces"};
    row(2, "clearProgressBar()") << signal << pub << QByteArrayList{};
    row(3, "ProcessThreadMsgMode(bool)") << slot << priv << QByteArrayList{"mode"};
    row(4, "ProcessThreadMsg(QString,int,QColor)")
        << slot << priv << QByteArrayList{"message", "type", "color"};
    row(5, "ProcessThreadDlgMsg(QString,int)") << slot << priv << QByteArrayList{"message", "type"};
    row(6, "ProcessThreadStepDlgMsg(QString,QString)")
        << slot << priv << QByteArrayList{"step", "message"};
    row(7, "ProcessInitProgressBar(QString,int)")
        << slot << priv << QByteArrayList{"text", "nTraces"};
    row(8, "ProcessUpdateProgressBar(int)") << slot << priv << QByteArrayList{"trace"};
    row(9, "ProcessClearProgressBar()") << slot << priv << QByteArrayList{};
}

void TestConsoleMessages::metaObjectMethods()
{
    QFETCH(int, index);
    QFETCH(QByteArray, signature);
    QFETCH(int, type);
    QFETCH(int, access);
    QFETCH(QByteArrayList, parameters);

    const QMetaObject& meta = AppConsole::staticMetaObject;
    const QMetaMethod method = meta.method(meta.methodOffset() + index);
    QCOMPARE(method.methodSignature(), signature);
    QCOMPARE(int(method.methodType()), type);
    QCOMPARE(int(method.access()), access);
    QCOMPARE(method.parameterNames(), parameters);
    QCOMPARE(method.returnType(), int(QMetaType::Void));
}

void TestConsoleMessages::metaObjectShape()
{
    const QMetaObject& meta = AppConsole::staticMetaObject;
    QCOMPARE(meta.className(), "AppConsole");
    QCOMPARE(meta.superClass(), &QObject::staticMetaObject);
    QCOMPARE(meta.methodCount() - meta.methodOffset(), 10);
    QCOMPARE(meta.classInfoCount() - meta.classInfoOffset(), 0);
    QCOMPARE(meta.propertyCount() - meta.propertyOffset(), 0);
    QCOMPARE(meta.enumeratorCount() - meta.enumeratorOffset(), 0);
    QCOMPARE(meta.constructorCount(), 0);

    AppConsole console(theApp, nullptr, QString(), 1);
    QCOMPARE(console.qt_metacast("AppConsole"), static_cast<void*>(&console));
    QCOMPARE(
        console.qt_metacast("OrvConsole"), static_cast<void*>(static_cast<OrvConsole*>(&console)));
    QCOMPARE(console.qt_metacast("QObject"), static_cast<void*>(static_cast<QObject*>(&console)));
    QCOMPARE(console.qt_metacast("QWidget"), nullptr);
}

int main(int argc, char** argv)
{
    ConsoleApp app(argc, argv);
    theApp = &app;
    TestConsoleMessages test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_console_messages.moc"
