#pragma once

// Finds the modal windows a test opens (message boxes, dialogs) and acts on
// them, so that no test ever waits for a person. A short repeating timer
// polls QApplication::activeModalWidget(); each new dialog is recorded and
// handed to the action, which by default presses OK (or rejects).

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>

#include <functional>

struct SeenModal {
    QString className;
    QString title;
    QString text; // QMessageBox text, or the label of a progress dialog
    QString informativeText; // QMessageBox only
    int icon = -1; // QMessageBox::Icon, or -1
    QStringList buttons; // QMessageBox button texts
    bool hasDefaultButton = false;
    bool hasParent = false;
    Qt::TextFormat textFormat = Qt::AutoText; // QMessageBox only
};

class ModalHelper {
public:
    using Action = std::function<void(QDialog*)>;

    // Presses a message box's OK (or its only button); rejects other dialogs.
    static void PressOk(QDialog* dialog)
    {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            QAbstractButton* ok = box->button(QMessageBox::Ok);
            if (!ok && !box->buttons().isEmpty())
                ok = box->buttons().first();
            if (ok) {
                ok->click();
                return;
            }
        }
        dialog->reject();
    }

    // An action that clicks the dialog's button reading `text` (for example
    // a progress dialog's "Abort"); rejects the dialog when it has none.
    static Action ClickButton(const QString& text)
    {
        return [text](QDialog* dialog) {
            for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
                if (button->text() == text) {
                    button->click();
                    return;
                }
            }
            dialog->reject();
        };
    }

    explicit ModalHelper(Action action = PressOk, int intervalMs = 5)
        : action(std::move(action))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { Poll(); });
        timer.start(intervalMs);
    }

    ~ModalHelper() { timer.stop(); }

    ModalHelper(const ModalHelper&) = delete;
    ModalHelper& operator=(const ModalHelper&) = delete;

    const QList<SeenModal>& Seen() const { return seen; }
    int Count() const { return seen.size(); }
    void Clear() { seen.clear(); }
    void SetAction(Action newAction) { action = std::move(newAction); }

private:
    void Poll()
    {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible() || dialog == current)
            return;
        current = dialog;
        seen.append(Describe(dialog));
        if (action)
            action(dialog);
    }

    static SeenModal Describe(QDialog* dialog)
    {
        SeenModal s;
        s.className = QString::fromLatin1(dialog->metaObject()->className());
        s.title = dialog->windowTitle();
        s.hasParent = dialog->parentWidget() != nullptr;
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
            s.text = box->text();
            s.informativeText = box->informativeText();
            s.icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                s.buttons.append(b->text());
            s.hasDefaultButton = box->defaultButton() != nullptr;
            s.textFormat = box->textFormat();
        } else if (auto* progress = qobject_cast<QProgressDialog*>(dialog)) {
            s.text = progress->labelText();
        }
        return s;
    }

    Action action;
    QTimer timer;
    QPointer<QDialog> current;
    QList<SeenModal> seen;
};
