#include "window/QtToolkit.h"

#include "platform/LineBreaks.h"
#include "platform/RunError.h"
#include "window/CodePageGuard.h"
#include "window/CoreText.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"

#include <QApplication>
#include <QCursor>
#include <QClipboard>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>

#include <algorithm>

namespace qal {

namespace {

// The text as the box gives it back: every character as it was, and every
// line break, a lone CR or LF too, as CR LF.
std::string withCrLf(const std::string& text)
{
    // Most texts have CR LF line breaks only: every LF follows a CR, and
    // there are as many CRs as LFs. Both are found without looking at every
    // byte in turn.
    std::size_t lineFeeds = 0;
    bool loneLineFeed = false;
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
        ++lineFeeds;
        loneLineFeed = loneLineFeed || at == 0 || text[at - 1] != '\r';
    }
    if (!loneLineFeed && static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')) == lineFeeds)
        return text;

    std::string result;
    result.reserve(text.size() + text.size() / 8);
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at < end;) {
        if (isLineBreak(static_cast<unsigned char>(*at))) {
            at += lineBreakLength(at, end);
            result += "\r\n";
        } else {
            result += *at++;
        }
    }
    return result;
}

} // namespace

QtToolkit::QtToolkit(MainWindow& window) : window_(&window)
{
    watchBoxes();
}

QtToolkit::QtToolkit() = default;

QtToolkit::~QtToolkit()
{
    QObject::disconnect(question_.watch);
    QObject::disconnect(answer_.watch);
}

void QtToolkit::watchBoxes()
{
    for (auto [cache, box] :
         {std::pair{&question_, window_->questionBox()}, std::pair{&answer_, window_->answerBox()}}) {
        cache->watch = QObject::connect(box->document(), &QTextDocument::contentsChanged, box,
                                        [cache = cache] { cache->current = false; });
    }
}

MainWindow& QtToolkit::window()
{
    if (!window_) {
        ownWindow_ = std::make_unique<MainWindow>();
        window_ = ownWindow_.get();
        for (const Pane pane : {Pane::Picture1, Pane::Picture2}) {
            const PaneScale& scale = scaleToCome(pane);
            if (scale.width)
                window_->pane(pane)->setScaleWidth(*scale.width);
            if (scale.height)
                window_->pane(pane)->setScaleHeight(*scale.height);
        }
        watchBoxes();
        if (events_)
            window_->setEvents(*events_);
    }
    return *window_;
}

void QtToolkit::setEvents(FormEvents& events)
{
    events_ = &events;
    if (window_)
        window_->setEvents(events);
}

// The whole text of a box. The document's raw text keeps every character
// as typed (toPlainText would turn a no-break space into a blank).
std::string QtToolkit::boxText(const SetText& cache, const QPlainTextEdit* box)
{
    if (cache.current)
        return cache.bytes;
    return toCoreText(box->document()->toRawText());
}

// The core's text holds only Windows-1252 characters, so the guard need not
// look at it again.
void QtToolkit::setBoxText(SetText& cache, QPlainTextEdit* box, const std::string& text)
{
    CodePageGuard::setProgramText(box, fromCoreText(text));
    cache.bytes = withCrLf(text);
    cache.current = true;
}

QWidget* QtToolkit::dialogParent() const
{
    return window_ && window_->isVisible() ? window_ : nullptr;
}

std::string QtToolkit::inputBox(const std::string& prompt)
{
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(QGuiApplication::applicationDisplayName());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(fromCoreText(prompt));
    if (auto* label = dialog.findChild<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    // The reply goes to the files as it is: it may hold only what they can.
    if (auto* edit = dialog.findChild<QLineEdit*>())
        edit->setValidator(new CodePageValidator(edit));
    const int result = dialog.exec();
    if (endRequested_)
        throw EndProgram{};
    if (result != QDialog::Accepted)
        return {};
    return toCoreText(dialog.textValue());
}

void QtToolkit::messageBox(const std::string& text)
{
    QMessageBox box(dialogParent());
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(fromCoreText(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    if (endRequested_)
        throw EndProgram{};
}

TypedAnswerChoice QtToolkit::askRecordOrDiscard(const std::string& text, bool offerCancel)
{
    // A termination signal ends the program without asking, as it would have
    // closed this box had it come while the box was open.
    if (endRequested_)
        throw EndProgram{};
    QMessageBox box(dialogParent());
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(fromCoreText(text));
    QPushButton* record = box.addButton(QStringLiteral("&Record"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("&Discard"), QMessageBox::DestructiveRole);
    // Without Cancel there is no escape button: Escape and the title bar's
    // close do nothing, so the box is answered one way or the other.
    if (offerCancel)
        box.setEscapeButton(box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole));
    box.setDefaultButton(record);
    box.exec();
    if (endRequested_)
        throw EndProgram{};
    if (box.clickedButton() == discard)
        return TypedAnswerChoice::Discard;
    if (box.clickedButton() == record || !offerCancel)
        return TypedAnswerChoice::Record;
    return TypedAnswerChoice::Cancel;
}

// Before the window is made, a box holds what the window starts it with.
std::string QtToolkit::questionBoxText() const
{
    if (!window_)
        return toCoreText(QString::fromLatin1(MainWindow::questionBoxStart));
    return boxText(question_, window_->questionBox());
}
std::string QtToolkit::answerBoxText() const
{
    if (!window_)
        return toCoreText(QString::fromLatin1(MainWindow::answerBoxStart));
    return boxText(answer_, window_->answerBox());
}

void QtToolkit::setQuestionBoxText(const std::string& text)
{
    setBoxText(question_, window().questionBox(), text);
}

void QtToolkit::setAnswerBoxText(const std::string& text)
{
    setBoxText(answer_, window().answerBox(), text);
}

void QtToolkit::setPaneScaleHeight(Pane pane, float units)
{
    if (window_)
        window_->pane(pane)->setScaleHeight(units);
    else
        scaleToCome(pane).height = units;
}
void QtToolkit::setPaneScaleWidth(Pane pane, float units)
{
    if (window_)
        window_->pane(pane)->setScaleWidth(units);
    else
        scaleToCome(pane).width = units;
}

void QtToolkit::drawCircle(Pane pane, float x, float y, float radius)
{
    window().pane(pane)->drawCircle(x, y, radius);
}

void QtToolkit::copyPaneToClipboard(Pane pane)
{
    const QImage& picture = window().pane(pane)->picture();
    // A pane without a picture has nothing to put; the clipboard keeps what
    // it holds.
    if (picture.isNull())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw RunError(err::CantOpenClipboard);
    clipboard->setImage(picture);
}

void QtToolkit::pasteClipboardIntoPane(Pane pane)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data)
        throw RunError(err::CantOpenClipboard);
    if (!data->hasImage())
        return;
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    if (!picture.isNull())
        window().pane(pane)->setPicture(picture);
}

void QtToolkit::beep()
{
    QApplication::beep();
}

void QtToolkit::setWaitCursor(bool on)
{
    // Over every window of the program; the cursor changes at once, without
    // running the event loop in the middle of a command.
    if (on && !waitCursorOn_)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!on && waitCursorOn_)
        QGuiApplication::restoreOverrideCursor();
    waitCursorOn_ = on;
}

void QtToolkit::setTimerEnabled(bool on)
{
    window().setTimerEnabled(on);
}

void QtToolkit::closeForGood()
{
    if (window_) {
        window_->closeForGood();
        return;
    }
    // No window was made: there is none to take away, and one made later
    // tells the core nothing.
    closedForGood_ = true;
    events_ = nullptr;
    MainWindow::finishEventLoop();
}

void QtToolkit::requestEnd()
{
    endRequested_ = true;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // The dialog's command goes on once it returns, and ends the program.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    // Once the program has ended, the window tells the core nothing more
    // (and one never made is not made now). With no window made yet, one is
    // made to be closed, so that the core hears of the end as it would from
    // a window closed before it was shown.
    if (closedForGood_)
        return;
    window().close();
}

} // namespace qal
