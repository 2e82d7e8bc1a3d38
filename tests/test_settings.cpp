#include "ModalHelper.h"
#include "TestOrvApp.h"
#include "ZkMainWindow.h"

#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString GeometryKey = QStringLiteral("MainWindow/Geometry");

// Runs the probe once against the given settings folder and returns its
// "key=value" report lines; empty if the run failed.
QMap<QString, QString> RunProbe(const QString& configHome)
{
    QProcess probe;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    probe.setProcessEnvironment(env);
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral(ORV_ABOUT_PROBE), QStringList());
    QMap<QString, QString> report;
    if (!probe.waitForFinished(60000)) {
        probe.kill();
        probe.waitForFinished();
        return report;
    }
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return report;
    const QStringList lines = QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n');
    for (const QString& line : lines) {
        const int cut = line.indexOf('=');
        if (cut > 0)
            report.insert(line.left(cut), line.mid(cut + 1));
    }
    return report;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

    TestOrvApp* app = TestOrvApp::Instance();
    QTemporaryDir store;

private slots:
    void initTestCase()
    {
        QVERIFY(store.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
        QVERIFY(QSettings().fileName().startsWith(store.path() + '/'));
    }

    void init() { QSettings().clear(); }

    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    // The reset button of the about dialog makes the next main window
    // forget the stored position: it opens at its designed size where the
    // window system puts a window without stored geometry.
    void resetForgetsWindowGeometry()
    {
        QPoint fresh;
        {
            ZkMainWindow window(nullptr, nullptr, Qt::WindowFlags());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            fresh = window.pos();
            window.move(fresh + QPoint(137, 91));
            window.close();
        }
        QVERIFY(QSettings().contains(GeometryKey));
        {
            ZkMainWindow window(nullptr, nullptr, Qt::WindowFlags());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(window.pos() != fresh);
        }

        ModalHelper helper([](QDialog* dialog) {
            QTest::mouseClick(
                dialog->findChild<QPushButton*>(QStringLiteral("ResetRegistry")), Qt::LeftButton);
            dialog->reject();
        });
        app->ShowAbout();
        QCOMPARE(helper.Count(), 1);
        QVERIFY(!QSettings().contains(GeometryKey));
        QCOMPARE(QSettings().allKeys(), QStringList());

        ZkMainWindow window(nullptr, nullptr, Qt::WindowFlags());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(600, 375));
        QCOMPARE(window.pos(), fresh);
    }

    void resetTouchesOnlyOwnStore_data()
    {
        QTest::addColumn<QString>("organization");
        QTest::addColumn<QString>("application"); // empty: the organization-wide store

        QTest::newRow("another product of the maker") << "Tessavo Corp"
                                                      << "Quor Survey";
        QTest::newRow("the maker's organization-wide store") << "Tessavo Corp"
                                                             << "";
        QTest::newRow("same executable name, another maker")
            << "Other Maker" << QCoreApplication::applicationName();
    }

    void resetTouchesOnlyOwnStore()
    {
        QFETCH(QString, organization);
        QFETCH(QString, application);
        QSettings().setValue(GeometryKey, QByteArray("stored"));
        QSettings(organization, application).setValue(QStringLiteral("Kept/Value"), 42);

        app->ClearRegistry();

        QSettings other(organization, application);
        QCOMPARE(other.value(QStringLiteral("Kept/Value")).toInt(), 42);
        other.clear();
        QVERIFY(!QSettings().contains(GeometryKey));
    }

    // Each start is a new process: the preference confirmed in one run is
    // off again in the next, and confirming it stores nothing.
    void liteInterfaceOffAtEveryStart()
    {
        QString probeStore;
        for (int run = 1; run <= 2; ++run) {
            const QMap<QString, QString> report = RunProbe(store.path());
            QVERIFY2(!report.isEmpty(), qPrintable(QStringLiteral("probe run %1 failed").arg(run)));
            QCOMPARE(report.value(QStringLiteral("at start")), QStringLiteral("0"));
            QCOMPARE(report.value(QStringLiteral("dialogs")), QStringLiteral("1"));
            QCOMPARE(report.value(QStringLiteral("after OK")), QStringLiteral("1"));
            probeStore = report.value(QStringLiteral("store"));
        }
        QVERIFY(probeStore.startsWith(store.path() + '/'));
        QCOMPARE(QSettings(probeStore, QSettings::IniFormat).allKeys(), QStringList());
    }
};

ORV_TEST_MAIN(TestSettings)

#include "test_settings.moc"
