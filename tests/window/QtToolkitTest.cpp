// The toolkit on the real window: the dialogs, the code-page rule of the
// boxes, the text conversions, the panes and the clipboard.

#include "ModalAnswerer.h"

#include "platform/CodePage.h"
#include "platform/RunError.h"
#include "window/CoreText.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"
#include "window/QtToolkit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTest>

#include <memory>

using qal::Pane;
using qal::test::ModalAnswerer;
using qal::test::typeText;

namespace {

QImage testPicture(QColor colour)
{
    QImage picture(40, 20, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

int countPixels(const QImage& image, QColor colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

} // namespace

class QtToolkitTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void inputBoxReturnsTypedReply_data();
    void inputBoxReturnsTypedReply();
    void inputBoxCancelGivesEmptyText();
    void messageBoxShowsTextWithOkOnly();
    void questionBoxGivesTheChoice_data();
    void questionBoxGivesTheChoice();
    void questionBoxWithoutCancelMustBeAnswered();

    void boxTextCrossesAsCodePage_data();
    void boxTextCrossesAsCodePage();
    void typedCharactersOutsideCodePageShowAsQuestionMarks_data();
    void typedCharactersOutsideCodePageShowAsQuestionMarks();
    void pastedTextFollowsCodePage();
    void undoNeverBringsBackCharactersOutsideCodePage();
    void lineBreaksReachCoreAsCrLf();
    void readingAfterAnEditSeesTheEdit();
    void singleLineBoxesFollowCodePage();

    void circlesAreCentredAndRound();
    void circlesPileUpAndStayOffThePicture();

    void copyPictureWithoutPictureTakesClipboardPicture();
    void copyPictureWithNothingOnClipboardChangesNothing();
    void copyPictureCarriesPictureNotCircles();

    void closeForGoodStopsTimerAndHides();

private:
    std::unique_ptr<qal::MainWindow> window_;
    std::unique_ptr<qal::QtToolkit> toolkit_;
};

void QtToolkitTest::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("qalesson"));
}

void QtToolkitTest::init()
{
    window_ = std::make_unique<qal::MainWindow>();
    toolkit_ = std::make_unique<qal::QtToolkit>(*window_);
    toolkit_->setPaneScaleHeight(Pane::Picture1, 1000);
    toolkit_->setPaneScaleWidth(Pane::Picture1, 1000);
}

void QtToolkitTest::cleanup()
{
    toolkit_.reset();
    window_.reset();
    QGuiApplication::clipboard()->clear();
}

void QtToolkitTest::inputBoxReturnsTypedReply_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("reply"); // Windows-1252
    // clang-format off
    QTest::newRow("digit") << "1" << QByteArray("1");
    QTest::newRow("name with blanks") << " Ann  Lee " << QByteArray(" Ann  Lee ");
    QTest::newRow("accented") << QStringLiteral("Zoë Ćwik") << QByteArray("Zo\xEB ?wik");
    QTest::newRow("euro sign") << QStringLiteral("5 €") << QByteArray("5 \x80");
    QTest::newRow("nothing") << "" << QByteArray("");
    // clang-format on
}

void QtToolkitTest::inputBoxReturnsTypedReply()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, reply);
    ModalAnswerer answerer;
    answerer.type(typed);
    const std::string got = toolkit_->inputBox("Your full name:  ");
    QCOMPARE(QByteArray::fromStdString(got), reply);
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("Your full name:  ")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("qalesson")});
}

void QtToolkitTest::inputBoxCancelGivesEmptyText()
{
    ModalAnswerer answerer;
    answerer.cancel();
    QCOMPARE(toolkit_->inputBox("Assignment Number:  "), std::string());
    QCOMPARE(answerer.unexpected, 0);
}

void QtToolkitTest::messageBoxShowsTextWithOkOnly()
{
    ModalAnswerer answerer;
    answerer.ok();
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon = QMessageBox::Warning;
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            buttons = box->standardButtons();
            icon = box->icon();
            format = box->textFormat();
        }
    });
    toolkit_->messageBox("Run-time error '53':\r\n\r\nFile <b>not</b> found");
    QCOMPARE(answerer.texts, QStringList{QStringLiteral("Run-time error '53':\n\nFile <b>not</b> found")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("qalesson")});
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(format, Qt::PlainText); // shown as written, never as markup
}

void QtToolkitTest::questionBoxGivesTheChoice_data()
{
    QTest::addColumn<bool>("offerCancel");
    QTest::addColumn<QString>("press"); // a button's caption, or empty: a key
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("choice");
    const int record = int(qal::TypedAnswerChoice::Record);
    const int discard = int(qal::TypedAnswerChoice::Discard);
    const int cancel = int(qal::TypedAnswerChoice::Cancel);
    // clang-format off
    QTest::newRow("Return records") << true << QString() << int(Qt::Key_Return) << record;
    QTest::newRow("Return records, no Cancel") << false << QString() << int(Qt::Key_Return) << record;
    QTest::newRow("Record") << true << "Record" << 0 << record;
    QTest::newRow("Discard") << true << "Discard" << 0 << discard;
    QTest::newRow("Discard, no Cancel") << false << "Discard" << 0 << discard;
    QTest::newRow("Cancel") << true << "Cancel" << 0 << cancel;
    QTest::newRow("Escape cancels") << true << QString() << int(Qt::Key_Escape) << cancel;
    // clang-format on
}

void QtToolkitTest::questionBoxGivesTheChoice()
{
    QFETCH(bool, offerCancel);
    QFETCH(QString, press);
    QFETCH(int, key);
    QFETCH(int, choice);
    ModalAnswerer answerer;
    if (press.isEmpty())
        answerer.key(key);
    else
        answerer.press(press);
    Qt::TextFormat format = Qt::RichText;
    QTimer::singleShot(0, this, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            format = box->textFormat();
    });
    const qal::TypedAnswerChoice got = toolkit_->askRecordOrDiscard(
        "Your answer has not been recorded yet.\r\n\r\nRecord it <b>now</b>?", offerCancel);
    QCOMPARE(int(got), choice);
    QCOMPARE(answerer.texts,
             QStringList{QStringLiteral("Your answer has not been recorded yet.\n\nRecord it <b>now</b>?")});
    QCOMPARE(answerer.titles, QStringList{QStringLiteral("qalesson")});
    QStringList buttons = answerer.buttons.value(0);
    buttons.sort();
    QCOMPARE(buttons, offerCancel ? QStringList({"Cancel", "Discard", "Record"}) : QStringList({"Discard", "Record"}));
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(answerer.unexpected, 0);
}

// Without Cancel neither Escape nor closing the box gives an answer that
// could be taken for one: the box stays until a button is chosen.
void QtToolkitTest::questionBoxWithoutCancelMustBeAnswered()
{
    bool stayed = false;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_Escape);
        box->close();
        stayed = box->isVisible();
        for (QAbstractButton* button : box->buttons())
            if (button->text() == QStringLiteral("&Discard"))
                button->click();
    });
    QCOMPARE(toolkit_->askRecordOrDiscard("Record it?", false), qal::TypedAnswerChoice::Discard);
    QVERIFY(stayed);
}

void QtToolkitTest::boxTextCrossesAsCodePage_data()
{
    QTest::addColumn<QByteArray>("core"); // what the core sets
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("back"); // what the core reads back
    // clang-format off
    QTest::newRow("empty") << QByteArray("") << "" << QByteArray("");
    QTest::newRow("one blank") << QByteArray(" ") << " " << QByteArray(" ");
    QTest::newRow("CR LF") << QByteArray("a\r\n\r\nb") << "a\n\nb" << QByteArray("a\r\n\r\nb");
    QTest::newRow("trailing CR LF") << QByteArray("a\r\n") << "a\n" << QByteArray("a\r\n");
    QTest::newRow("lone LF") << QByteArray("a\nb") << "a\nb" << QByteArray("a\r\nb");
    QTest::newRow("upper half") << QByteArray("caf\xE9 \x80 \x93q\x94") << QStringLiteral("café € “q”")
                                << QByteArray("caf\xE9 \x80 \x93q\x94");
    QTest::newRow("no-break space") << QByteArray("a\xA0") << QStringLiteral("a\u00A0") << QByteArray("a\xA0");
    QTest::newRow("undefined byte") << QByteArray("\x81") << QStringLiteral("\u0081") << QByteArray("\x81");
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << "a\nb\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR before CR LF") << QByteArray("a\r\r\nb") << "a\n\nb" << QByteArray("a\r\n\r\nb");
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << "a\n\nb" << QByteArray("a\r\n\r\nb");
    // clang-format on
    QByteArray everyByte;
    QString everyCharacter;
    for (int b = 1; b < 256; ++b) {
        if (b == '\r' || b == '\n')
            continue;
        everyByte += static_cast<char>(b);
        everyCharacter += QChar(static_cast<char16_t>(qal::cp1252ToUnicode(static_cast<unsigned char>(b))));
    }
    QTest::newRow("every byte") << everyByte << everyCharacter << everyByte;
}

void QtToolkitTest::boxTextCrossesAsCodePage()
{
    QFETCH(QByteArray, core);
    QFETCH(QString, shown);
    QFETCH(QByteArray, back);
    toolkit_->setQuestionBoxText(core.toStdString());
    toolkit_->setAnswerBoxText(core.toStdString());
    QCOMPARE(window_->questionBox()->document()->toRawText().replace(QChar::ParagraphSeparator, u'\n'), shown);
    QCOMPARE(QByteArray::fromStdString(toolkit_->questionBoxText()), back);
    QCOMPARE(QByteArray::fromStdString(toolkit_->answerBoxText()), back);
    // What the toolkit reads back without converting the box again is what
    // converting it gives.
    QCOMPARE(QByteArray::fromStdString(qal::toCoreText(window_->questionBox()->document()->toRawText())), back);
}

// A read after the program set the text, then the student changed it in
// any way, gives the changed text.
void QtToolkitTest::readingAfterAnEditSeesTheEdit()
{
    for (QPlainTextEdit* box : {window_->questionBox(), window_->answerBox()}) {
        const bool question = box == window_->questionBox();
        const auto set = [&](const std::string& text) {
            question ? toolkit_->setQuestionBoxText(text) : toolkit_->setAnswerBoxText(text);
        };
        const auto read = [&] {
            return QByteArray::fromStdString(question ? toolkit_->questionBoxText() : toolkit_->answerBoxText());
        };
        set("abc\r\n");
        QCOMPARE(read(), QByteArray("abc\r\n"));
        box->moveCursor(QTextCursor::End);
        typeText(box, QStringLiteral("d\u00E9"));
        QCOMPARE(read(), QByteArray("abc\r\nd\xE9"));
        while (box->document()->isUndoAvailable())
            box->undo();
        QCOMPARE(read(), QByteArray("abc\r\n"));
        set("xyz");
        box->selectAll();
        box->cut();
        QCOMPARE(read(), QByteArray(""));
        set("again");
        QCOMPARE(read(), QByteArray("again"));
        // The program's text goes in unchecked, but the guard still checks
        // what comes after it.
        box->moveCursor(QTextCursor::End);
        QGuiApplication::clipboard()->setText(QStringLiteral(" \u2713"));
        box->paste();
        QCOMPARE(box->toPlainText(), QStringLiteral("again ?"));
        QCOMPARE(read(), QByteArray("again ?"));
    }
}

void QtToolkitTest::typedCharactersOutsideCodePageShowAsQuestionMarks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    // clang-format off
    QTest::newRow("in the code page") << QStringLiteral("Façade €5") << QStringLiteral("Façade €5");
    QTest::newRow("Cyrillic") << QStringLiteral("Жук") << QStringLiteral("???");
    QTest::newRow("Greek among Latin") << QStringLiteral("a π b") << QStringLiteral("a ? b");
    QTest::newRow("outside the BMP is one character") << QStringLiteral("x\U0001F600y") << QStringLiteral("x?y");
    QTest::newRow("CJK") << QStringLiteral("漢字!") << QStringLiteral("?" "?!");
    // clang-format on
}

void QtToolkitTest::typedCharactersOutsideCodePageShowAsQuestionMarks()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    for (QPlainTextEdit* box : {window_->questionBox(), window_->answerBox()}) {
        box->clear();
        typeText(box, typed);
        QCOMPARE(box->toPlainText(), shown);
        // The cursor stays after what was typed.
        QCOMPARE(box->textCursor().position(), static_cast<int>(shown.size()));
    }
    QCOMPARE(QString::fromLatin1(toolkit_->answerBoxText()), QString(shown).replace(u'€', QChar(0x80)));
}

void QtToolkitTest::pastedTextFollowsCodePage()
{
    QPlainTextEdit* box = window_->answerBox();
    box->setPlainText(QStringLiteral("[]"));
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(1);
    box->setTextCursor(cursor);
    QGuiApplication::clipboard()->setText(QStringLiteral("≈ 3.14 \U0001F34E é"));
    box->paste();
    QCOMPARE(box->toPlainText(), QStringLiteral("[? 3.14 ? é]"));
    QCOMPARE(box->textCursor().position(), 11); // after the pasted text
}

void QtToolkitTest::undoNeverBringsBackCharactersOutsideCodePage()
{
    QPlainTextEdit* box = window_->answerBox();
    box->clear();
    typeText(box, QStringLiteral("ok"));
    typeText(box, QStringLiteral("Ж"));
    QCOMPARE(box->toPlainText(), QStringLiteral("ok?"));
    for (int i = 0; i < 3; ++i) {
        box->undo();
        QVERIFY2(!box->toPlainText().contains(QStringLiteral("Ж")), qPrintable(box->toPlainText()));
    }
}

void QtToolkitTest::lineBreaksReachCoreAsCrLf()
{
    QPlainTextEdit* box = window_->answerBox();
    box->clear();
    QTest::keyClicks(box, QStringLiteral("one"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, QStringLiteral("two"));
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier); // a line separator within the paragraph
    QTest::keyClicks(box, QStringLiteral("three"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(QByteArray::fromStdString(toolkit_->answerBoxText()), QByteArray("one\r\ntwo\r\nthree\r\n"));
}

void QtToolkitTest::singleLineBoxesFollowCodePage()
{
    for (QLineEdit* box : window_->findChildren<QLineEdit*>()) {
        box->clear();
        typeText(box, QStringLiteral("é\U0001F600Ж1"));
        QCOMPARE(box->text(), QStringLiteral("é??1"));
        QCOMPARE(box->cursorPosition(), 4);
    }
}

void QtToolkitTest::circlesAreCentredAndRound()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    qal::PicturePane* pane = window_->pane(Pane::Picture1);
    const QSize inner = pane->contentsRect().size();
    toolkit_->drawCircle(Pane::Picture1, 500, 500, 100); // radius: a tenth of the width
    const QImage shown = pane->shownImage();
    const int cx = inner.width() / 2, cy = inner.height() / 2;
    const int r = qRound(inner.width() / 10.0);
    auto blackNear = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (shown.pixelColor(x + dx, y + dy) == QColor(Qt::black))
                    return true;
        return false;
    };
    QVERIFY(blackNear(cx + r, cy));
    QVERIFY(blackNear(cx - r, cy));
    QVERIFY(blackNear(cx, cy - r)); // as far up as across: round on the screen
    QVERIFY(blackNear(cx, cy + r));
    QCOMPARE(shown.pixelColor(cx, cy), QColor(Qt::white));
    QCOMPARE(pane->circlesShown(), 1);
    // The largest circle spans the width and is clipped at the top and bottom.
    toolkit_->drawCircle(Pane::Picture1, 500, 500, 499.9f);
    QCOMPARE(pane->circlesShown(), 2);
}

void QtToolkitTest::circlesPileUpAndStayOffThePicture()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    qal::PicturePane* pane = window_->pane(Pane::Picture1);
    const QImage picture = testPicture(Qt::red);
    pane->setPicture(picture);
    const int before = countPixels(pane->shownImage(), Qt::black);
    QCOMPARE(before, 0);
    toolkit_->drawCircle(Pane::Picture1, 500, 500, 50);
    const int one = countPixels(pane->shownImage(), Qt::black);
    toolkit_->drawCircle(Pane::Picture1, 500, 500, 200);
    const int two = countPixels(pane->shownImage(), Qt::black);
    QVERIFY(one > 0);
    QVERIFY(two > one); // nothing cleared between circles
    QCOMPARE(pane->picture(), picture);
    // What reaches the screen shows them too.
    QTRY_VERIFY(countPixels(pane->grab().toImage(), Qt::black) >= two);
    // Shown afresh after being hidden, the pane has its picture only.
    window_->hide();
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QCOMPARE(pane->circlesShown(), 0);
    QCOMPARE(countPixels(pane->shownImage(), Qt::black), 0);
    QCOMPARE(pane->picture(), picture);
}

void QtToolkitTest::copyPictureWithoutPictureTakesClipboardPicture()
{
    // As when a picture was copied in another program.
    const QImage elsewhere = testPicture(Qt::blue);
    QGuiApplication::clipboard()->setImage(elsewhere);
    toolkit_->copyPaneToClipboard(Pane::Picture1);
    toolkit_->pasteClipboardIntoPane(Pane::Picture2);
    QCOMPARE(window_->pane(Pane::Picture2)->picture().convertToFormat(QImage::Format_RGB32), elsewhere);
    // It stays on the clipboard for other programs.
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), elsewhere);
    const QImage shown = window_->pane(Pane::Picture2)->shownImage();
    QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(shown.pixelColor(39, 19), QColor(Qt::blue));
    QCOMPARE(shown.pixelColor(40, 0), QColor(Qt::white)); // its own size, from the top-left
}

void QtToolkitTest::copyPictureWithNothingOnClipboardChangesNothing()
{
    qal::PicturePane* pane2 = window_->pane(Pane::Picture2);
    QGuiApplication::clipboard()->setText(QStringLiteral("just text"));
    toolkit_->copyPaneToClipboard(Pane::Picture1);
    toolkit_->pasteClipboardIntoPane(Pane::Picture2);
    QVERIFY(pane2->picture().isNull());
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("just text"));

    const QImage earlier = testPicture(Qt::green);
    pane2->setPicture(earlier);
    toolkit_->pasteClipboardIntoPane(Pane::Picture2);
    QCOMPARE(pane2->picture(), earlier);
}

void QtToolkitTest::copyPictureCarriesPictureNotCircles()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    const QImage picture = testPicture(Qt::yellow);
    window_->pane(Pane::Picture1)->setPicture(picture);
    toolkit_->drawCircle(Pane::Picture1, 20, 500, 5);
    toolkit_->copyPaneToClipboard(Pane::Picture1);
    toolkit_->pasteClipboardIntoPane(Pane::Picture2);
    QCOMPARE(window_->pane(Pane::Picture2)->picture().convertToFormat(QImage::Format_RGB32), picture);
    QCOMPARE(countPixels(window_->pane(Pane::Picture2)->shownImage(), Qt::black), 0);
}

void QtToolkitTest::closeForGoodStopsTimerAndHides()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    toolkit_->setTimerEnabled(true);
    QVERIFY(window_->pendulumTimer()->isActive());
    toolkit_->closeForGood();
    QVERIFY(!window_->pendulumTimer()->isActive());
    QVERIFY(!window_->isVisible());
}

QTEST_MAIN(QtToolkitTest)
#include "QtToolkitTest.moc"
