#include "window/QtToolkit.h"

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
#include <QTextDocument>

namespace qal {

namespace {

// The whole text of a box. The document's raw text keeps every character
// as typed (toPlainText would turn a no-break space into a blank).
std::string boxText(const QPlainTextEdit* box)
{
    return toCoreText(box->document()->toRawText());
}

} // namespace

QtToolkit::QtToolkit(MainWindow& window) : window_(window) {}

QWidget* QtToolkit::dialogParent() const
{
    return window_.isVisible() ? &window_ : nullptr;
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

std::string QtToolkit::questionBoxText() const
{
    return boxText(window_.questionBox());
}
std::string QtToolkit::answerBoxText() const
{
    return boxText(window_.answerBox());
}

void QtToolkit::setQuestionBoxText(const std::string& text)
{
    window_.questionBox()->setPlainText(fromCoreText(text));
}

void QtToolkit::setAnswerBoxText(const std::string& text)
{
    window_.answerBox()->setPlainText(fromCoreText(text));
}

void QtToolkit::setPaneScaleHeight(Pane pane, float units)
{
    window_.pane(pane)->setScaleHeight(units);
}
void QtToolkit::setPaneScaleWidth(Pane pane, float units)
{
    window_.pane(pane)->setScaleWidth(units);
}

void QtToolkit::drawCircle(Pane pane, float x, float y, float radius)
{
    window_.pane(pane)->drawCircle(x, y, radius);
}

void QtToolkit::copyPaneToClipboard(Pane pane)
{
    const QImage& picture = window_.pane(pane)->picture();
    // A pane without a picture has nothing to put; the clipboard keeps what
    // it holds.
    if (picture.isNull())
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw RunError(cantOpenClipboard);
    clipboard->setImage(picture);
}

void QtToolkit::pasteClipboardIntoPane(Pane pane)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data)
        throw RunError(cantOpenClipboard);
    if (!data->hasImage())
        return;
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    if (!picture.isNull())
        window_.pane(pane)->setPicture(picture);
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
    window_.setTimerEnabled(on);
}

void QtToolkit::endProgram()
{
    window_.endProgram();
}

void QtToolkit::requestEnd()
{
    if (window_.programEnded())
        return;
    endRequested_ = true;
    if (QWidget* modal = QApplication::activeModalWidget()) {
        // The dialog's command goes on once it returns, and ends the program.
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        return;
    }
    window_.close();
}

} // namespace qal
