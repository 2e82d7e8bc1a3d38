#include "ModalHelper.h"
#include "OrvAboutDlg.h"
#include "TestOrvApp.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

enum class Way { Ok, Escape, CloseBox };

const char* const FormContext = "OrvAboutDlgUi";

// What an action saw while the dialog was open.
struct Seen {
    int opened = 0;
    QString title;
    QString firstLine;
    QString className;
    QWidget* parent = nullptr;
    bool checkedAtOpen = false;
    bool becameActive = true;
    bool stillOpenAfterClose = false;
    int updates = -1;
    int clears = -1;
    QList<bool> openAfterReset;
    QList<bool> checkedAfterReset;
    QList<int> clearsAfterReset;
    int updateConnections = -1;
    int clearConnections = -1;
};

template <typename T> T* Child(QDialog* dialog, const char* name)
{
    return dialog->findChild<T*>(QLatin1String(name));
}

// Keys go where the window system would send them: the focus widget.
QWidget* KeyTarget(QDialog* dialog)
{
    QWidget* focus = QApplication::focusWidget();
    return focus && (focus == dialog || dialog->isAncestorOf(focus)) ? focus : dialog;
}

void Dismiss(QDialog* dialog, Way way, Seen* seen)
{
    switch (way) {
    case Way::Ok:
        QTest::mouseClick(Child<QPushButton>(dialog, "Ok"), Qt::LeftButton);
        break;
    case Way::Escape:
        seen->becameActive = QTest::qWaitForWindowActive(dialog);
        QTest::keyClick(KeyTarget(dialog), Qt::Key_Escape);
        break;
    case Way::CloseBox:
        dialog->close();
        break;
    }
    seen->stillOpenAfterClose = dialog->isVisible();
    if (dialog->isVisible())
        dialog->reject(); // a failing dialog must not keep the test waiting
}

// Optionally clicks the check box, then clicks the reset button `resets`
// times, then closes the dialog the given way; records what happened.
ModalHelper::Action Drive(Seen* seen, Way way, bool toggle = false, int resets = 0)
{
    return [=](QDialog* dialog) {
        QSignalSpy updates(dialog, SIGNAL(DoUpdateRegistry()));
        QSignalSpy clears(dialog, SIGNAL(DoClearRegistry()));
        auto* box = Child<QCheckBox>(dialog, "UseMarlLiteInterface");
        ++seen->opened;
        seen->title = dialog->windowTitle();
        seen->firstLine = Child<QLabel>(dialog, "ApplicationTx")->text();
        seen->className = QString::fromLatin1(dialog->metaObject()->className());
        seen->parent = dialog->parentWidget();
        seen->checkedAtOpen = box->isChecked();
        if (toggle)
            box->click();
        for (int i = 0; i < resets; ++i) {
            QTest::mouseClick(Child<QPushButton>(dialog, "ResetRegistry"), Qt::LeftButton);
            seen->openAfterReset.append(dialog->isVisible());
            seen->checkedAfterReset.append(box->isChecked());
            seen->clearsAfterReset.append(clears.count());
        }
        Dismiss(dialog, way, seen);
        seen->updates = updates.count();
        seen->clears = clears.count();
    };
}

// Counts the connections from a dialog signal to an application slot by
// removing them one at a time.
int CountConnections(QDialog* dialog, const char* signal, const char* slot)
{
    int count = 0;
    while (count < 10 && QObject::disconnect(dialog, signal, qApp, slot))
        ++count;
    return count;
}

// Marks every text looked up in the form's context, and records the
// lookups, so that a test can see which texts go through translation.
class RecordingTranslator : public QTranslator {
public:
    struct Lookup {
        QString source;
        bool hasDisambiguation;
        int n;
    };

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
        int n) const override
    {
        if (qstrcmp(context, FormContext) != 0)
            return QString();
        lookups.append({QString::fromUtf8(sourceText), disambiguation != nullptr, n});
        return QLatin1String("<") + QString::fromUtf8(sourceText) + QLatin1String(">");
    }

    bool isEmpty() const override { return false; }

    mutable QList<Lookup> lookups;
};

} // namespace

Q_DECLARE_METATYPE(Way)

class TestAboutDialog : public QObject {
    Q_OBJECT

    TestOrvApp* app = TestOrvApp::Instance();
    QTemporaryDir store;

private slots:
    // The reset button reaches ClearRegistry(): keep it off the user's store.
    void initTestCase()
    {
        QVERIFY(store.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store.path());
    }

    void init()
    {
        app->Start();
        app->SetUseLiteInterface(false);
        app->SetMainWidget(nullptr);
    }

    void cleanup() { QVERIFY(QApplication::topLevelWidgets().isEmpty()); }

    void showsIdentity_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<int>("patch");
        QTest::addColumn<QString>("firstLine");

        QTest::newRow("ORV Vantor 7.1.0")
            << "ORV Vantor" << 7 << 1 << 0 << "ORV Vantor version 7.1.0";
        QTest::newRow("multi-digit parts keep their order")
            << "Quor" << 12 << 305 << 4 << "Quor version 12.305.4";
        QTest::newRow("name holding a placeholder stays literal")
            << "Kit %2" << 3 << 2 << 1 << "Kit %2 version 3.2.1";
        QTest::newRow("identity not yet set") << "" << 0 << 0 << 0 << " version 0.0.0";
    }

    void showsIdentity()
    {
        QFETCH(QString, name);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(int, patch);
        QFETCH(QString, firstLine);
        app->SetIdentity(name, major, minor, patch);

        Seen seen;
        ModalHelper helper(Drive(&seen, Way::CloseBox));
        app->ShowAbout();

        QCOMPARE(seen.opened, 1);
        QCOMPARE(seen.className, QStringLiteral("OrvAboutDlg"));
        QCOMPARE(seen.title, name);
        QCOMPARE(seen.firstLine, firstLine);
    }

    void parentIsMainWidget()
    {
        Seen seen;
        ModalHelper helper(Drive(&seen, Way::CloseBox));
        app->ShowAbout();
        QCOMPARE(seen.parent, static_cast<QWidget*>(nullptr));

        {
            QWidget main;
            app->SetMainWidget(&main);
            app->ShowAbout();
            app->SetMainWidget(nullptr);
            QCOMPARE(seen.opened, 2);
            QCOMPARE(seen.parent, &main);
        }
    }

    void dialogProperties()
    {
        OrvAboutDlg dialog(app);
        QCOMPARE(dialog.objectName(), QStringLiteral("OrvAboutDlgUi"));
        QCOMPARE(dialog.size(), QSize(536, 272));
        QCOMPARE(dialog.minimumSize(), QSize(0, 0));
        QCOMPARE(dialog.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        QVERIFY(!dialog.testAttribute(Qt::WA_SetFont));
        QVERIFY(dialog.qt_metacast("Ui::OrvAboutDlgUi") != nullptr);
        QVERIFY(dialog.inherits("QDialog"));

        QStringList children;
        for (QWidget* w : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            children << w->objectName();
        QCOMPARE(children,
            QStringList(
                {"Ok", "CopyrightTx", "ApplicationTx", "UseMarlLiteInterface", "ResetRegistry"}));
    }

    void widgetTree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("family"); // empty: the dialog's font, not set on the widget
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<int>("weight");
        QTest::addColumn<int>("alignment"); // 0: not a label
        QTest::addColumn<QString>("text");

        const int leftCentred = Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter;
        QTest::newRow("Ok button") << "Ok"
                                   << "QPushButton" << QRect(440, 230, 71, 31) << "MS Shell Dlg 2"
                                   << 8 << false << 50 << 0 << "OK";
        QTest::newRow("copyright line")
            << "CopyrightTx"
            << "QLabel" << QRect(10, 60, 491, 21) << "Arial" << 10 << false << 50 << leftCentred
            << "Copyright (c) Tessavo Corp. All rights reserved.";
        QTest::newRow("name and version line")
            << "ApplicationTx"
            << "QLabel" << QRect(10, 20, 491, 31) << "MS Shell Dlg 2" << 10 << true << 75
            << leftCentred << "ORV Vantor version 7.1.0";
        QTest::newRow("Lite-interface check box")
            << "UseMarlLiteInterface"
            << "QCheckBox" << QRect(30, 180, 351, 25) << "" << 0 << false << 0 << 0
            << "Use KVD Marl Lite interface";
        QTest::newRow("reset button, one trailing blank")
            << "ResetRegistry"
            << "QPushButton" << QRect(210, 230, 221, 30) << "" << 0 << false << 0 << 0
            << "Reset ORV registry settings ";
    }

    void widgetTree()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QRect, geometry);
        QFETCH(QString, family);
        QFETCH(int, pointSize);
        QFETCH(bool, bold);
        QFETCH(int, weight);
        QFETCH(int, alignment);
        QFETCH(QString, text);

        OrvAboutDlg dialog(app);
        auto* widget = dialog.findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->parentWidget(), &dialog);
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(widget->geometry(), geometry);
        QVERIFY(widget->isEnabled());
        QCOMPARE(widget->property("text").toString(), text);

        if (family.isEmpty()) {
            QVERIFY(!widget->testAttribute(Qt::WA_SetFont));
        } else {
            const QFont font = widget->font();
            QCOMPARE(font.family(), family);
            QCOMPARE(font.pointSize(), pointSize);
            QCOMPARE(font.bold(), bold);
            QCOMPARE(font.weight(), weight);
            QCOMPARE(font.italic(), false);
            QCOMPARE(font.underline(), false);
            QCOMPARE(font.strikeOut(), false);
            // A complete description: no field is left to inheritance.
            const uint described = QFont::FamilyResolved | QFont::SizeResolved
                | QFont::WeightResolved | QFont::StyleResolved | QFont::UnderlineResolved
                | QFont::StrikeOutResolved;
            QCOMPARE(font.resolve() & described, described);
        }

        if (alignment)
            QCOMPARE(int(qobject_cast<QLabel*>(widget)->alignment()), alignment);
    }

    // Every form text is looked up in the form's context, in form order;
    // the constructor then replaces the title and the first line.
    void textsGoThroughFormContext()
    {
        RecordingTranslator translator;
        QVERIFY(QCoreApplication::installTranslator(&translator));
        translator.lookups.clear();
        {
            OrvAboutDlg dialog(app);
            QCOMPARE(dialog.Ok->text(), QStringLiteral("<OK>"));
            QCOMPARE(dialog.CopyrightTx->text(),
                QStringLiteral("<Copyright (c) Tessavo Corp. All rights reserved.>"));
            QCOMPARE(dialog.UseMarlLiteInterface->text(),
                QStringLiteral("<Use KVD Marl Lite interface>"));
            QCOMPARE(
                dialog.ResetRegistry->text(), QStringLiteral("<Reset ORV registry settings >"));
            QCOMPARE(dialog.windowTitle(), QStringLiteral("ORV Vantor"));
            QCOMPARE(dialog.ApplicationTx->text(), QStringLiteral("ORV Vantor version 7.1.0"));
        }
        QCoreApplication::removeTranslator(&translator);

        QStringList sources;
        for (const RecordingTranslator::Lookup& lookup : translator.lookups) {
            sources << lookup.source;
            QVERIFY(!lookup.hasDisambiguation);
            QCOMPARE(lookup.n, -1);
        }
        QCOMPARE(sources,
            QStringList({"About", "OK", "Copyright (c) Tessavo Corp. All rights reserved.",
                "Application Name", "Use KVD Marl Lite interface",
                "Reset ORV registry settings "}));
    }

    void checkBoxFollowsPreference_data()
    {
        QTest::addColumn<bool>("preference");
        QTest::newRow("preference off: unchecked") << false;
        QTest::newRow("preference on: checked") << true;
    }

    void checkBoxFollowsPreference()
    {
        QFETCH(bool, preference);
        app->SetUseLiteInterface(preference);
        Seen seen;
        ModalHelper helper(Drive(&seen, Way::CloseBox));
        app->ShowAbout();
        QCOMPARE(seen.opened, 1);
        QCOMPARE(seen.checkedAtOpen, preference);
    }

    void closing_data()
    {
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("toggle");
        QTest::addColumn<Way>("way");
        QTest::addColumn<bool>("after");
        QTest::addColumn<int>("updates");
        QTest::addColumn<int>("result");

        const int accepted = QDialog::Accepted;
        const int rejected = QDialog::Rejected;
        QTest::newRow("off, check, OK: on, one update")
            << false << true << Way::Ok << true << 1 << accepted;
        QTest::newRow("on, uncheck, OK: off, one update")
            << true << true << Way::Ok << false << 1 << accepted;
        QTest::newRow("off, untouched, OK: off, one update")
            << false << false << Way::Ok << false << 1 << accepted;
        QTest::newRow("on, untouched, OK: on, one update")
            << true << false << Way::Ok << true << 1 << accepted;
        QTest::newRow("off, check, Escape: unchanged, silent")
            << false << true << Way::Escape << false << 0 << rejected;
        QTest::newRow("on, uncheck, Escape: unchanged, silent")
            << true << true << Way::Escape << true << 0 << rejected;
        QTest::newRow("off, check, close box: unchanged, silent")
            << false << true << Way::CloseBox << false << 0 << rejected;
        QTest::newRow("on, uncheck, close box: unchanged, silent")
            << true << true << Way::CloseBox << true << 0 << rejected;
    }

    void closing()
    {
        QFETCH(bool, before);
        QFETCH(bool, toggle);
        QFETCH(Way, way);
        QFETCH(bool, after);
        QFETCH(int, updates);
        QFETCH(int, result);

        app->SetUseLiteInterface(before);
        Seen seen;
        ModalHelper helper(Drive(&seen, way, toggle));
        app->ShowAbout();

        QCOMPARE(seen.opened, 1);
        QVERIFY(seen.becameActive);
        QVERIFY(!seen.stillOpenAfterClose);
        QCOMPARE(seen.updates, updates);
        QCOMPARE(seen.clears, 0);
        QCOMPARE(app->UseLiteInterface(), after);

        // The same sequence on a dialog built directly, for exec()'s result.
        app->SetUseLiteInterface(before);
        Seen direct;
        helper.SetAction(Drive(&direct, way, toggle));
        OrvAboutDlg dialog(app);
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(direct.opened, 1);
        QCOMPARE(direct.updates, updates);
        QCOMPARE(app->UseLiteInterface(), after);
    }

    void resetEmitsPerClick_data()
    {
        QTest::addColumn<bool>("preference");
        QTest::addColumn<int>("clicks");
        QTest::newRow("one click, preference off") << false << 1;
        QTest::newRow("two clicks, preference off") << false << 2;
        QTest::newRow("three clicks, preference on") << true << 3;
    }

    // The box is clicked first: a reset must neither close the dialog nor
    // touch the box, and the later Escape leaves the preference alone.
    void resetEmitsPerClick()
    {
        QFETCH(bool, preference);
        QFETCH(int, clicks);
        app->SetUseLiteInterface(preference);

        Seen seen;
        ModalHelper helper(Drive(&seen, Way::Escape, true, clicks));
        app->ShowAbout();

        QList<bool> open;
        QList<bool> checked;
        QList<int> counts;
        for (int i = 1; i <= clicks; ++i) {
            open << true;
            checked << !preference;
            counts << i;
        }
        QCOMPARE(seen.opened, 1);
        QCOMPARE(seen.openAfterReset, open);
        QCOMPARE(seen.checkedAfterReset, checked);
        QCOMPARE(seen.clearsAfterReset, counts);
        QCOMPARE(seen.clears, clicks);
        QCOMPARE(seen.updates, 0);
        QCOMPARE(app->UseLiteInterface(), preference);
    }

    // The slots are not virtual, so the wiring is checked on the live
    // dialog: each request has exactly one connection to its slot.
    void showAboutWiresRequests()
    {
        Seen seen;
        ModalHelper helper([&seen](QDialog* dialog) {
            ++seen.opened;
            seen.updateConnections
                = CountConnections(dialog, SIGNAL(DoUpdateRegistry()), SLOT(UpdateRegistry()));
            seen.clearConnections
                = CountConnections(dialog, SIGNAL(DoClearRegistry()), SLOT(ClearRegistry()));
            dialog->reject();
        });
        app->ShowAbout();
        QCOMPARE(seen.opened, 1);
        QCOMPARE(seen.updateConnections, 1);
        QCOMPARE(seen.clearConnections, 1);
    }
};

ORV_TEST_MAIN(TestAboutDialog)

#include "test_about_dialog.moc"
