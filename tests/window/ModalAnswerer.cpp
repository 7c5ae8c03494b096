#include "ModalAnswerer.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <utility>

namespace qal::test {

ModalAnswerer::ModalAnswerer()
{
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start();
}

void ModalAnswerer::type(const QString& reply)
{
    script_.push_back({Step::Type, reply});
}
void ModalAnswerer::cancel()
{
    script_.push_back({Step::Cancel, {}});
}
void ModalAnswerer::ok()
{
    script_.push_back({Step::Ok, {}});
}
void ModalAnswerer::press(const QString& button)
{
    script_.push_back({Step::Press, button});
}
void ModalAnswerer::key(int key)
{
    script_.push_back({Step::Key, {}, key});
}
void ModalAnswerer::call(std::function<void()> action)
{
    script_.push_back({Step::Call, {}, 0, std::move(action)});
}

namespace {

QString withoutMnemonic(QString caption)
{
    return caption.remove(QLatin1Char('&'));
}

} // namespace

void ModalAnswerer::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == current_)
        return;
    auto* dialog = qobject_cast<QDialog*>(modal);
    if (!dialog)
        return;
    current_ = dialog;
    titles << dialog->windowTitle();
    if (auto* input = qobject_cast<QInputDialog*>(dialog))
        texts << input->labelText();
    else if (auto* box = qobject_cast<QMessageBox*>(dialog))
        texts << box->text();
    else
        texts << QString();
    QStringList captions;
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        // In the order they are laid out, left to right.
        QList<QAbstractButton*> shown = box->buttons();
        std::stable_sort(shown.begin(), shown.end(),
                         [](const QAbstractButton* a, const QAbstractButton* b) { return a->x() < b->x(); });
        for (const QAbstractButton* button : shown)
            captions << withoutMnemonic(button->text());
    }
    buttons << captions;

    if (script_.empty()) {
        ++unexpected;
        dialog->reject();
        return;
    }
    const Step step = script_.front();
    script_.pop_front();
    switch (step.kind) {
    case Step::Type:
        if (auto* edit = dialog->findChild<QLineEdit*>())
            typeText(edit, step.reply);
        dialog->accept();
        break;
    case Step::Cancel:
        dialog->reject();
        break;
    case Step::Ok:
        dialog->accept();
        break;
    case Step::Press:
        for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
            if (withoutMnemonic(button->text()) == step.reply)
                button->click();
        break;
    case Step::Key: {
        QWidget* focus = dialog->focusWidget();
        QTest::keyClick(focus ? focus : dialog, static_cast<Qt::Key>(step.key));
        break;
    }
    case Step::Call:
        step.action();
        break;
    }
}

void typeText(QWidget* target, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, character);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
        i += length - 1;
    }
}

} // namespace qal::test
