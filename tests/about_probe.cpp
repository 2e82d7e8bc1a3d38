// A separate start of a frame application, for the settings tests: it
// reports the Lite-interface preference at start, confirms the about
// dialog with the box checked, and reports the preference again.

#include "ModalHelper.h"
#include "TestOrvApp.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QTextStream>

int main(int argc, char* argv[])
{
    TestOrvApp app(argc, argv, true);
    if (app.Start() < 1)
        return 1;

    QTextStream out(stdout);
    out << "store=" << QSettings().fileName() << '\n';
    out << "at start=" << int(app.UseLiteInterface()) << '\n';

    ModalHelper helper([](QDialog* dialog) {
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("UseMarlLiteInterface"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("Ok"));
        if (!box || !ok) {
            dialog->reject();
            return;
        }
        box->setChecked(true);
        ok->click();
    });
    app.ShowAbout();

    out << "dialogs=" << helper.Count() << '\n';
    out << "after OK=" << int(app.UseLiteInterface()) << '\n';
    return 0;
}
