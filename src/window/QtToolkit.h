#pragma once

#include "run/Toolkit.h"

#include <QMetaObject>

#include <memory>
#include <optional>
#include <string>

class QPlainTextEdit;
class QWidget;

namespace qal {

class FormEvents;
class MainWindow;

// The core's toolkit on the real window: Qt's input and message boxes, the
// window's two boxes, its panes and its timer, the system clipboard and beep.
// Texts cross here between Windows-1252 bytes with CR LF and Qt's strings.
class QtToolkit : public Toolkit {
public:
    // On a window made by the caller, which must outlive the toolkit.
    explicit QtToolkit(MainWindow& window);
    // On a window of its own, made only when something of it is first
    // needed: start-up's prompts come before the window and need nothing of
    // it, so they are not kept waiting while it is made, and a start-up that
    // ends the program never makes it. Until then the boxes read as the
    // window would start them and the panes' scales wait to be set on it.
    QtToolkit();
    ~QtToolkit() override;
    QtToolkit(const QtToolkit&) = delete;
    QtToolkit& operator=(const QtToolkit&) = delete;

    std::string inputBox(const std::string& prompt) override;
    void messageBox(const std::string& text) override;
    // Asks nothing once an end was requested: the program ends at once.
    TypedAnswerChoice askRecordOrDiscard(const std::string& text, bool offerCancel) override;

    std::string questionBoxText() const override;
    void setQuestionBoxText(const std::string& text) override;
    std::string answerBoxText() const override;
    void setAnswerBoxText(const std::string& text) override;

    void setPaneScaleHeight(Pane pane, float units) override;
    void setPaneScaleWidth(Pane pane, float units) override;
    void drawCircle(Pane pane, float x, float y, float radius) override;

    void copyPaneToClipboard(Pane pane) override;
    void pasteClipboardIntoPane(Pane pane) override;

    void beep() override;
    void setWaitCursor(bool on) override;
    void setTimerEnabled(bool on) override;
    void closeForGood() override;

    // Ends the program from outside (a termination signal) as closing the
    // window does: between commands the window closes, which the core takes as
    // the end; during a command that shows a dialog, the dialog closes and the
    // program ends right there, as if the command had ended it.
    void requestEnd();

    // The window, made now if it was not made yet.
    MainWindow& window();
    // Where the window's events go (now, or from when it is made); as
    // MainWindow::setEvents.
    void setEvents(FormEvents& events);

private:
    // Keeps a box's text cache in step with the box.
    void watchBoxes();

    // Dialogs belong to the window once it is on screen; before that (during
    // start-up) they stand alone.
    QWidget* dialogParent() const;

    // The core's text last set into a box, kept until the box's text
    // changes in any way: a command that reads the box right after another
    // set it (Next Question after Next Question) gets it back without
    // converting the whole box again.
    struct SetText {
        std::string bytes;
        bool current = false;
        QMetaObject::Connection watch;
    };
    void setBoxText(SetText& cache, QPlainTextEdit* box, const std::string& text);
    static std::string boxText(const SetText& cache, const QPlainTextEdit* box);

    // A pane's scale set before the window was made, in user units.
    struct PaneScale {
        std::optional<float> width;
        std::optional<float> height;
    };
    PaneScale& scaleToCome(Pane pane) { return pane == Pane::Picture1 ? scales_[0] : scales_[1]; }

    std::unique_ptr<MainWindow> ownWindow_; // the window of its own, once made
    MainWindow* window_ = nullptr;          // the window, once there is one
    FormEvents* events_ = nullptr;
    PaneScale scales_[2];
    bool closedForGood_ = false;
    SetText question_;
    SetText answer_;
    bool waitCursorOn_ = false;
    bool endRequested_ = false;
};

} // namespace qal
