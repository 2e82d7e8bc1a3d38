// The main window: its widget tree, window properties, what closes it and
// the geometry it keeps in the settings store between runs.

#include "OrvApp.h"
#include "ZkDialog.h"
#include "ZkMainWindow.h"

#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <memory>

namespace {

class WindowTestApp : public OrvApp {
public:
    WindowTestApp(int& argc, char** argv)
        : OrvApp(argc, argv, true)
    {
    }
    int Start() override { return 1; }
};

const QStringList kActionNames = {"MenuExit", "MenuCompile", "MenuRemoveWorkFiles",
    "MenuRemoveOrphanProcesses", "ToolWEDM", "ToolKIRDM", "ToolKIRTM", "MenuPreferences",
    "MenuNewFlow", "MenuOpenFlow", "MenuClose_Project", "MenuSave_As", "MenuSave", "MenuAbout",
    "MenuFlowChartHelp", "MenuOpenRecentFlow", "MenuRun", "actionConsole", "actionList"};

QVariant StoredGeometry()
{
    QSettings settings;
    return settings.value(QStringLiteral("MainWindow/Geometry"));
}

void ClearStore()
{
    QSettings settings;
    settings.clear();
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

public:
    explicit TestMainWindow(OrvApp* app)
        : owner(app, nullptr)
    {
    }

private slots:
    void init();
    void cleanup();

    void windowProperties();
    void actions_data();
    void actions();
    void widgets_data();
    void widgets();
    void objectNameBeforeSetupUi_data();
    void objectNameBeforeSetupUi();
    void closing_data();
    void closing();
    void geometryRoundTrip_data();
    void geometryRoundTrip();
    void unusableStoredGeometry_data();
    void unusableStoredGeometry();

private:
    std::unique_ptr<ZkMainWindow> NewWindow()
    {
        return std::make_unique<ZkMainWindow>(&owner, nullptr, Qt::WindowFlags());
    }

    ZkDialog owner;
};

void TestMainWindow::init()
{
    ClearStore();
}

void TestMainWindow::cleanup()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != &owner)
            QFAIL(qPrintable(QStringLiteral("window left behind: %1").arg(widget->objectName())));
    }
}

void TestMainWindow::windowProperties()
{
    const auto window = NewWindow();

    QCOMPARE(window->Owner(), &owner);
    QVERIFY(!window->parentWidget());
    QCOMPARE(window->objectName(), QStringLiteral("ZkMainWindowUi"));
    QCOMPARE(window->windowTitle(), QStringLiteral("ORV Vantor"));
    QCOMPARE(window->VersionTx->text(), QStringLiteral("version 7.1"));
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    QCOMPARE(window->size(), QSize(600, 375));
    QCOMPARE(window->minimumSize(), QSize(600, 375));
    QCOMPARE(window->maximumSize(), QSize(600, 375));
    QCOMPARE(window->font().family(), QStringLiteral("DejaVu LGC Sans"));
    QCOMPARE(window->font().pointSize(), 9);
    QCOMPARE(window->toolButtonStyle(), Qt::ToolButtonTextOnly);

    // The flags are replaced by exactly "window with a minimize button";
    // a probe given the same flags shows what Qt makes of them.
    const Qt::WindowFlags flags = window->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QWidget probe(nullptr, Qt::Window | Qt::WindowMinimizeButtonHint);
    QCOMPARE(flags, probe.windowFlags());

    QCOMPARE(window->metaObject()->className(), "ZkMainWindow");
    QCOMPARE(window->qt_metacast("Ui::ZkMainWindowUi"),
        static_cast<void*>(static_cast<Ui::ZkMainWindowUi*>(window.get())));

    QVERIFY(window->centralWidget());
    QCOMPARE(window->centralWidget()->objectName(), QStringLiteral("FcFrame"));
    QCOMPARE(window->centralWidget()->metaObject()->className(), "QWidget");
    QVERIFY(window->findChildren<QMenuBar*>().isEmpty());
    QVERIFY(window->findChildren<QToolBar*>().isEmpty());
    QVERIFY(window->findChildren<QStatusBar*>().isEmpty());

    // Exactly the nineteen actions, in creation order, shown nowhere.
    QStringList names;
    for (QAction* action : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
        names << action->objectName();
    QCOMPARE(names, kActionNames);
    QVERIFY(window->actions().isEmpty());
}

void TestMainWindow::actions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip"); // empty: Qt's default for the text
    QTest::addColumn<QString>("iconText"); // empty: Qt's default for the text
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QAction::MenuRole>("role");

    const auto plain = QAction::TextHeuristicRole;
    const auto specific = QAction::ApplicationSpecificRole;
    const QString none; // Qt's default
    auto row = [](const char* name) -> QTestData& {
        return QTest::newRow(name) << QString::fromLatin1(name);
    };
    // clang-format off
    row("MenuExit")          << "Exit"              << none << none << true << false << false << plain;
    row("MenuCompile")       << "Compile"           << "Compile a job to execute" << none
                             << true << false << false << specific;
    row("MenuRemoveWorkFiles") << "Remove work files" << none << none << false << false << false << plain;
    row("MenuRemoveOrphanProcesses") << "Remove orphan processes" << none << none
                             << false << false << false << plain;
    row("ToolWEDM")          << "Wave Equation Depth" << none << none << true << true << true << specific;
    row("ToolKIRDM")         << "Kirchhoff Depth"   << none << none << true << true << false << specific;
    row("ToolKIRTM")         << "Kirchhoff Time"    << none << none << false << true << false << specific;
    row("MenuPreferences")   << "Preferences..."    << none << none << true << false << false
                             << QAction::PreferencesRole;
    row("MenuNewFlow")       << "New Flow"          << "Create new workflow" << "New Flow"
                             << true << false << false << plain;
    row("MenuOpenFlow")      << "Open Flow..."      << "Open an existing flow" << none
                             << true << false << false << plain;
    row("MenuClose_Project") << "Close"             << none << none << true << false << false << plain;
    row("MenuSave_As")       << "Save As..."        << none << none << true << false << false << plain;
    row("MenuSave")          << "Save"              << none << none << true << false << false << plain;
    row("MenuAbout")         << "About"             << none << none << true << false << false << plain;
    row("MenuFlowChartHelp") << "Quor Help"         << none << none << true << false << false << plain;
    row("MenuOpenRecentFlow") << "Open Recent Flow" << "Open recently used flow" << "Open Recent Flow"
                             << true << false << false << plain;
    row("MenuRun")           << "Compile and Run"   << "Compile and execute a job" << none
                             << true << false << false << plain;
    row("actionConsole")     << "Console"           << none << none << true << false << false << plain;
    row("actionList")        << "List"              << none << none << true << false << false << plain;
    // clang-format on
}

void TestMainWindow::actions()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(QString, iconText);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);
    QFETCH(QAction::MenuRole, role);

    const auto window = NewWindow();
    auto* action = window->findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(action);

    QAction defaults;
    defaults.setText(text);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), toolTip.isEmpty() ? defaults.toolTip() : toolTip);
    QCOMPARE(action->iconText(), iconText.isEmpty() ? defaults.iconText() : iconText);
    QCOMPARE(action->isEnabled(), enabled);
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
    QCOMPARE(action->menuRole(), role);
    QVERIFY(!action->actionGroup());
    QVERIFY(action->shortcut().isEmpty());
    QVERIFY(action->icon().isNull());
    QVERIFY(action->associatedWidgets().isEmpty());
}

void TestMainWindow::widgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<int>("alignment"); // labels only, else -1
    QTest::addColumn<int>("shape"); // lines only, else -1
    QTest::addColumn<QString>("text");

    const int center = int(Qt::AlignCenter);
    QTest::newRow("Title: bold 10 pt, centred")
        << "Title" << QByteArray("QLabel") << QRect(20, 10, 561, 20) << 10 << true << center << -1
        << "ORV Vantor";
    QTest::newRow("VersionTx: window font, centred, filled in")
        << "VersionTx" << QByteArray("QLabel") << QRect(70, 30, 451, 20) << 9 << false << center
        << -1 << "version 7.1";
    QTest::newRow("Quit: Close button")
        << "Quit" << QByteArray("QPushButton") << QRect(390, 340, 91, 24) << 9 << false << -1 << -1
        << "Close";
    QTest::newRow("line_2: upper separator")
        << "line_2" << QByteArray("QFrame") << QRect(0, 50, 591, 16) << 9 << false << -1
        << int(QFrame::HLine) << "";
    QTest::newRow("line_3: lower separator")
        << "line_3" << QByteArray("QFrame") << QRect(0, 320, 591, 16) << 9 << false << -1
        << int(QFrame::HLine) << "";
}

void TestMainWindow::widgets()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    QFETCH(QRect, geometry);
    QFETCH(int, pointSize);
    QFETCH(bool, bold);
    QFETCH(int, alignment);
    QFETCH(int, shape);
    QFETCH(QString, text);

    const auto window = NewWindow();
    QWidget* frame = window->centralWidget();
    QVERIFY(frame);
    auto* widget = frame->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY(widget);
    QCOMPARE(QByteArray(widget->metaObject()->className()), className);
    QCOMPARE(widget->geometry(), geometry);

    const QFont font = widget->font();
    QCOMPARE(font.family(), QStringLiteral("DejaVu LGC Sans"));
    QCOMPARE(font.pointSize(), pointSize);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.weight(), bold ? 75 : int(QFont::Normal));
    QVERIFY(!font.italic());
    QVERIFY(!font.underline());
    QVERIFY(!font.strikeOut());

    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(int(label->alignment()), alignment);
        QCOMPARE(label->text(), text);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QCOMPARE(button->text(), text);
    } else {
        auto* line = qobject_cast<QFrame*>(widget);
        QVERIFY(line);
        QCOMPARE(int(line->frameShape()), shape);
        QCOMPARE(line->frameShadow(), QFrame::Sunken);
    }

    // The frame holds exactly the five widgets, in their creation order.
    QStringList children;
    for (QWidget* child : frame->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        children << child->objectName();
    QCOMPARE(children, QStringList({"Title", "VersionTx", "Quit", "line_2", "line_3"}));
}

void TestMainWindow::objectNameBeforeSetupUi_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::newRow("unnamed window -> ZkMainWindowUi") << QString() << QString("ZkMainWindowUi");
    QTest::newRow("named window keeps its name") << QString("FlowWindow") << QString("FlowWindow");
}

void TestMainWindow::objectNameBeforeSetupUi()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QMainWindow window;
    window.setObjectName(before);
    Ui::ZkMainWindowUi tree;
    tree.setupUi(&window);
    QCOMPARE(window.objectName(), after);
}

void TestMainWindow::closing_data()
{
    QTest::addColumn<QString>("trigger"); // an action's name, or "Quit" for the button
    QTest::addColumn<bool>("closes");
    QTest::newRow("Close button closes") << "Quit" << true;
    for (const QString& name : kActionNames) {
        const bool closes = name == QLatin1String("MenuExit");
        const QString row
            = name + (closes ? QStringLiteral(" closes") : QStringLiteral(" does nothing"));
        QTest::newRow(qPrintable(row)) << name << closes;
    }
}

void TestMainWindow::closing()
{
    QFETCH(QString, trigger);
    QFETCH(bool, closes);

    const auto window = NewWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    if (trigger == QLatin1String("Quit"))
        QTest::mouseClick(window->Quit, Qt::LeftButton);
    else
        window->findChild<QAction*>(trigger)->trigger();
    QCoreApplication::processEvents();

    QCOMPARE(window->isVisible(), !closes);
    // Only a close event writes the store.
    QCOMPARE(StoredGeometry().isValid(), closes);
    QCOMPARE(window->windowTitle(), QStringLiteral("ORV Vantor"));
    QCOMPARE(window->VersionTx->text(), QStringLiteral("version 7.1"));
    int visible = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        visible += widget->isVisible() ? 1 : 0;
    QCOMPARE(visible, closes ? 0 : 1);
}

void TestMainWindow::geometryRoundTrip_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("moved, closed with the Close button") << "button" << QPoint(137, 91);
    QTest::newRow("moved, closed with the Exit action") << "exit" << QPoint(40, 260);
    QTest::newRow("moved, closed by the window system") << "close" << QPoint(311, 57);
}

void TestMainWindow::geometryRoundTrip()
{
    QFETCH(QString, how);
    QFETCH(QPoint, position);

    {
        // First start: nothing stored, the designed size.
        QVERIFY(!StoredGeometry().isValid());
        const auto window = NewWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->size(), QSize(600, 375));

        window->move(position);
        QCoreApplication::processEvents();
        QCOMPARE(window->pos(), position);
        if (how == QLatin1String("button"))
            QTest::mouseClick(window->Quit, Qt::LeftButton);
        else if (how == QLatin1String("exit"))
            window->MenuExit->trigger();
        else
            QVERIFY(window->close());
        QVERIFY(!window->isVisible());
    }

    const QVariant stored = StoredGeometry();
    QVERIFY(stored.isValid());
    QVERIFY(!stored.toByteArray().isEmpty());

    // The next start opens where the last one was left.
    const auto window = NewWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->pos(), position);
    QCOMPARE(window->size(), QSize(600, 375));
    QVERIFY(window->close());
}

void TestMainWindow::unusableStoredGeometry_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("no value") << QVariant();
    QTest::newRow("empty value") << QVariant(QByteArray());
    QTest::newRow("bytes that are no geometry")
        << QVariant(QByteArray("\x01\xd9\xd0\xcb junk", 10));
    QTest::newRow("a text") << QVariant(QStringLiteral("600x375+10+10"));
}

void TestMainWindow::unusableStoredGeometry()
{
    QFETCH(QVariant, value);
    if (value.isValid()) {
        QSettings settings;
        settings.setValue(QStringLiteral("MainWindow/Geometry"), value);
    }

    const auto window = NewWindow();
    QCOMPARE(window->size(), QSize(600, 375));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), QSize(600, 375));
    QVERIFY(window->close());
}

int main(int argc, char** argv)
{
    // The settings store points at a scratch folder before anything opens it.
    QTemporaryDir store;
    if (!store.isValid())
        return 1;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store.path());

    WindowTestApp app(argc, argv);
    TestMainWindow test(&app);
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
