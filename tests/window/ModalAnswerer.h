#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class QWidget;

namespace qal::test {

// Answers the modal dialogs that the code under test opens, one script entry
// each, in order: it watches for the application's active modal widget from
// inside the dialog's own event loop, so a test never sleeps or blocks.
// Input boxes get their reply typed key by key; message boxes are closed
// with OK. A dialog beyond the script is closed too (Cancel), so a test that
// did not expect it fails on what it recorded instead of hanging.
class ModalAnswerer : public QObject {
public:
    ModalAnswerer();

    void type(const QString& reply);   // the next input box: type reply, then OK
    void cancel();                     // the next input box: Cancel
    void ok();                         // the next message box: OK
    void press(const QString& button); // the next message box: click the button of this caption
    void key(int key);                 // the next dialog: this key, where the keyboard's focus is
    // The next dialog: run action while it is open (a termination request,
    // say), and answer nothing.
    void call(std::function<void()> action);

    // What each answered dialog showed (prompt or message), its title, and
    // its buttons' captions in their order (mnemonics left out).
    QStringList texts;
    QStringList titles;
    QList<QStringList> buttons;
    int unexpected = 0; // dialogs that came when the script was empty
    bool done() const { return script_.empty(); }

private:
    struct Step {
        enum Kind { Type, Cancel, Ok, Press, Key, Call } kind;
        QString reply; // Type: the reply; Press: the caption
        int key = 0;
        std::function<void()> action = nullptr; // Call
    };
    void poll();

    std::deque<Step> script_;
    QTimer timer_;
    QPointer<QWidget> current_; // the dialog being answered
};

// Types text the way a keyboard delivers it: one key event per character,
// a character outside the BMP included (a surrogate pair in one event).
// QTest::keyClicks takes Latin-1 only.
void typeText(QWidget* target, const QString& text);

} // namespace qal::test
