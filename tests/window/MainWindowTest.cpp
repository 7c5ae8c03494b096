// The lesson window on its own: its controls, their places and initial
// state, the focus order, and which event each control runs. The handlers
// are recorders here, so no lesson runs.

#include "window/CaptionButton.h"
#include "window/CaptionLabel.h"
#include "window/MainWindow.h"
#include "window/PicturePane.h"

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <memory>

using qal::MainWindow;

namespace {

// The control table in focus order: name, group index (-1: none), kind,
// caption or initial text, and Left, Top, Width, Height in twips.
struct Control {
    const char* name;
    int index;
    const char* kind;
    const char* text;
    int left, top, width, height;
};

const Control controls[] = {
    {"txt_question", -1, "QPlainTextEdit", "", 240, 720, 5175, 5255},
    {"txt_answer", -1, "QPlainTextEdit", " ", 5640, 720, 5055, 5255},
    {"cmdNextQuestion", -1, "qal::CaptionButton", "Next Question / Answer", 240, 0, 975, 735},
    {"cmd_enter_response", -1, "qal::CaptionButton", "Enter Response", 5640, 240, 855, 495},
    {"Picture1", -1, "qal::PicturePane", "", 240, 6080, 5175, 1375},
    {"Picture2", -1, "qal::PicturePane", "", 5640, 6080, 5055, 1375},
    {"cmd_save_as_notes", -1, "qal::CaptionButton", "Save as Notes", 6480, 240, 855, 495},
    {"cmd_Make_paragraph", -1, "qal::CaptionButton", "Make Paragraph", 7320, 240, 975, 495},
    {"cmd_Make_Paragraph_question", -1, "qal::CaptionButton", "Make Paragraph", 1200, 240, 855, 495},
    {"txt_paragraph_goback", -1, "QLineEdit", "1", 3120, 240, 495, 495},
    {"lbl_paragraph_goback", -1, "qal::CaptionLabel", "# sentences previous", 2160, 240, 1095, 495},
    {"cmd_timerTrigger", -1, "qal::CaptionButton", "Trigger Timer", 2400, 7560, 735, 495},
    {"List1", -1, "QListWidget", "", 3120, 7680, 1695, 840},
    {"lbl_parameter", 0, "qal::CaptionLabel", "Parameter 1", 5640, 7680, 900, 195},
    {"txt_parameter", 0, "QLineEdit", "1", 6720, 7680, 300, 285},
    {"lbl_parameter", 1, "qal::CaptionLabel", "Parameter 2", 5640, 8160, 855, 195},
    {"txt_parameter", 1, "QLineEdit", "1", 6720, 8160, 300, 285},
    {"lbl_parameter", 2, "qal::CaptionLabel", "Parameter 3", 7200, 7680, 1005, 195},
    {"txt_parameter", 2, "QLineEdit", "1", 8205, 7680, 300, 285},
    {"lbl_parameter", 3, "qal::CaptionLabel", "Parameter 4", 7200, 8160, 900, 195},
    {"txt_parameter", 3, "QLineEdit", "1", 8205, 8160, 300, 285},
    {"cmd_displayCumulativeText", -1, "qal::CaptionButton", "display everything", 3600, 240, 855, 495},
    {"cmd_display_note_file", -1, "qal::CaptionButton", "display notes", 4440, 240, 975, 495},
    {"cmd_quit", -1, "qal::CaptionButton", "quit program", 10200, 0, 735, 495},
    {"cmd_pend_exp", -1, "qal::CaptionButton", "pend exp", 8640, 7560, 495, 375},
    {"cmd_next_picture", -1, "qal::CaptionButton", "next picture", 1200, 7560, 855, 495},
    {"lbl_only_if_prompted", -1, "qal::CaptionLabel", "click only if prompted", 240, 7560, 855, 495},
    {"cmd_copy_picture", -1, "qal::CaptionButton", "copy picture", 1200, 8160, 855, 495},
    {"cmd_clear_answer_box", -1, "qal::CaptionButton", "clear box", 8280, 240, 855, 495},
};

int px(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

QWidget* control(const QWidget& window, const QString& name, int index)
{
    for (QWidget* w : window.findChildren<QWidget*>(name, Qt::FindDirectChildrenOnly)) {
        if (index < 0 || w->property("index").toInt() == index)
            return w;
    }
    return nullptr;
}

QString shownText(const QWidget* w)
{
    if (auto* box = qobject_cast<const QPlainTextEdit*>(w))
        return box->toPlainText();
    if (auto* line = qobject_cast<const QLineEdit*>(w))
        return line->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    return QString();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowItself();
    void eachControl_data();
    void eachControl();
    void groupsHaveFourMembers();
    void tabOrder();
    void tabKeyVisitsFocusableControlsInOrder();
    void initialState();
    void boxFonts();
    void resizingMovesNothing();
    void boxCoversTheEndOfItsLabel();
    void eventsRunTheirHandlers_data();
    void eventsRunTheirHandlers();
    void typingIntoInertBoxesRunsNothing();
    void screenReaderNames_data();
    void screenReaderNames();
    void labelsAreTheirBoxesBuddies();
    void captionsShareOneFontThatFitsThemAll();
    void secondTimerStartKeepsRhythm();
    void endOfProgramIgnoresQueuedEvents();
    void closingEndsTheProgram();

private:
    // Puts a recorder in the core's place; each event appends its handler's name.
    void recordHandlers();

    // Stands in for the core: records the handler each event would run, and
    // ends the program as the core does when the window is closed.
    struct Recorder : qal::FormEvents {
        QStringList* ran = nullptr;
        MainWindow* window = nullptr;
        void handle(const qal::EventRow& event) override { *ran << QString::fromLatin1(event.handlerName); }
        void windowClosed() override { window->closeForGood(); }
    };

    std::unique_ptr<MainWindow> window_;
    Recorder recorder_;
    QStringList ran_;
};

void MainWindowTest::init()
{
    window_ = std::make_unique<MainWindow>();
    ran_.clear();
    recordHandlers();
}

void MainWindowTest::cleanup()
{
    window_.reset();
}

void MainWindowTest::recordHandlers()
{
    recorder_.ran = &ran_;
    recorder_.window = window_.get();
    window_->setEvents(recorder_);
}

void MainWindowTest::windowItself()
{
    QCOMPARE(window_->windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(window_->objectName(), QStringLiteral("cmd_pend_exp"));
    QCOMPARE(window_->size(), QSize(725, 573));
    QVERIFY(window_->isWindow());
    QVERIFY(!window_->isVisible()); // shown only after the load handler
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(window_.get());
    QCOMPARE(a->role(), QAccessible::Window);
    QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Form1"));
}

void MainWindowTest::eachControl_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    for (const Control& c : controls) {
        const QString row = c.index < 0 ? QString::fromLatin1(c.name)
                                        : QStringLiteral("%1(%2)").arg(QLatin1String(c.name)).arg(c.index);
        // clang-format off
        QTest::newRow(qPrintable(row)) << QString::fromLatin1(c.name) << c.index
                                        << QString::fromLatin1(c.kind) << QString::fromLatin1(c.text)
                                        << QRect(c.left, c.top, c.width, c.height);
        // clang-format on
    }
}

void MainWindowTest::eachControl()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, twips);

    QWidget* w = control(*window_, name, index);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
    QCOMPARE(w->geometry(), QRect(px(twips.left()), px(twips.top()), px(twips.width()), px(twips.height())));
    QCOMPARE(shownText(w), text);
    QVERIFY(w->isEnabled());
    QVERIFY(!w->isHidden());
}

void MainWindowTest::groupsHaveFourMembers()
{
    QCOMPARE(window_->findChildren<QLabel*>(QStringLiteral("lbl_parameter")).size(), 4);
    QCOMPARE(window_->findChildren<QLineEdit*>(QStringLiteral("txt_parameter")).size(), 4);
}

void MainWindowTest::tabOrder()
{
    // The focus chain runs through the controls in the order of the table.
    QStringList expected, actual;
    for (const Control& c : controls)
        expected << QString::fromLatin1(c.name) + (c.index < 0 ? QString() : QString::number(c.index));
    QWidget* w = control(*window_, QStringLiteral("txt_question"), -1);
    QWidget* const first = w;
    do {
        if (w->parentWidget() == window_.get())
            actual << w->objectName() + (w->property("index").isValid() ? w->property("index").toString() : QString());
        w = w->nextInFocusChain();
    } while (w != first && actual.size() < expected.size());
    QCOMPARE(actual, expected);
}

void MainWindowTest::tabKeyVisitsFocusableControlsInOrder()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QStringList expected, actual;
    for (const Control& c : controls) {
        if (QByteArray(c.name).startsWith("lbl_"))
            continue; // labels never take the focus
        expected << QString::fromLatin1(c.name) + (c.index < 0 ? QString() : QString::number(c.index));
    }
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY(focus);
        actual << focus->objectName() +
                      (focus->property("index").isValid() ? focus->property("index").toString() : QString());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(actual, expected);
    // and round again to the question box
    QCOMPARE(QApplication::focusWidget(), window_->questionBox());
}

void MainWindowTest::initialState()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    QCOMPARE(QApplication::focusWidget(), window_->questionBox());
    QCOMPARE(window_->questionBox()->toPlainText(), QString());
    QCOMPARE(window_->answerBox()->toPlainText(), QStringLiteral(" "));

    QTimer* timer = window_->pendulumTimer();
    QCOMPARE(timer->objectName(), QStringLiteral("tmr_pend_exp"));
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 15);
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);

    for (qal::Pane p : {qal::Pane::Picture1, qal::Pane::Picture2}) {
        qal::PicturePane* pane = window_->pane(p);
        QVERIFY(pane->picture().isNull());
        QCOMPARE(pane->frameShadow(), QFrame::Sunken);
        const QImage shown = pane->grab(pane->contentsRect()).toImage();
        QVERIFY(!shown.isNull());
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                QCOMPARE(shown.pixelColor(x, y), QColor(Qt::white));
    }
}

void MainWindowTest::boxFonts()
{
    // The offscreen platform of a Windows build reads a font folder with no
    // aliases (fontconfig's Arial -> Liberation Sans is Linux's); the program
    // itself draws with Windows' own fonts, where Arial is.
    bool aliases = true;
#ifdef Q_OS_WIN
    aliases = QGuiApplication::platformName() != QStringLiteral("offscreen");
#endif
    for (QPlainTextEdit* box : {window_->questionBox(), window_->answerBox()}) {
        const QFont font = box->font();
        QCOMPARE(font.family(), QStringLiteral("Arial"));
        QCOMPARE(font.pointSizeF(), 9.75);
        QCOMPARE(font.weight(), QFont::Normal);
        QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
        QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        // Arial itself, or the stand-in with its metrics.
        const QString resolved = QFontInfo(font).family();
        if (aliases)
            QVERIFY2(resolved == QStringLiteral("Arial") || resolved == QStringLiteral("Liberation Sans"),
                     qPrintable(resolved));
    }
    if (!aliases)
        QSKIP("the font Arial resolves to: the offscreen platform on Windows knows no font aliases");
}

void MainWindowTest::boxCoversTheEndOfItsLabel()
{
    // The label's right-hand 135 twips lie under the "# sentences previous"
    // box, so a click there reaches the box.
    auto* box = window_->findChild<QWidget*>(QStringLiteral("txt_paragraph_goback"));
    QVERIFY(box);
    const QPoint leftEdge = box->geometry().topLeft() + QPoint(2, box->height() / 2);
    QCOMPARE(window_->childAt(leftEdge), box);
}

void MainWindowTest::resizingMovesNothing()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QList<QRect> before;
    const auto children = window_->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children)
        before << w->geometry();
    window_->resize(400, 300);
    window_->resize(1000, 800);
    QTRY_COMPARE(window_->size(), QSize(1000, 800));
    for (qsizetype i = 0; i < children.size(); ++i)
        QCOMPARE(children[i]->geometry(), before[i]);
}

void MainWindowTest::eventsRunTheirHandlers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("handler"); // empty: the control is inert
    // clang-format off
    QTest::newRow("Next Question") << "cmdNextQuestion" << "cmdNextQuestion_Click";
    QTest::newRow("Enter Response") << "cmd_enter_response" << "cmd_enter_response_Click";
    QTest::newRow("Save as Notes") << "cmd_save_as_notes" << "cmd_save_as_notes_Click";
    QTest::newRow("display notes") << "cmd_display_note_file" << "cmd_display_note_file_Click";
    QTest::newRow("display everything") << "cmd_displayCumulativeText" << "cmd_displayCumulativeText_Click";
    QTest::newRow("clear box") << "cmd_clear_answer_box" << "cmd_clear_answer_box_Click";
    QTest::newRow("next picture") << "cmd_next_picture" << "cmd_next_picture_Click";
    QTest::newRow("copy picture") << "cmd_copy_picture" << "cmd_copy_picture_Click";
    QTest::newRow("pend exp") << "cmd_pend_exp" << "cmd_pend_exp_Click";
    QTest::newRow("quit program") << "cmd_quit" << "cmd_quit_Click";
    QTest::newRow("answer-side Make Paragraph") << "cmd_Make_paragraph" << "";
    QTest::newRow("question-side Make Paragraph") << "cmd_Make_Paragraph_question" << "";
    QTest::newRow("Trigger Timer") << "cmd_timerTrigger" << "";
    QTest::newRow("list") << "List1" << "";
    QTest::newRow("label") << "lbl_paragraph_goback" << "";
    QTest::newRow("parameter label") << "lbl_parameter" << "";
    QTest::newRow("prompted label") << "lbl_only_if_prompted" << "";
    QTest::newRow("Picture1") << "Picture1" << "";
    QTest::newRow("Picture2") << "Picture2" << "";
    QTest::newRow("question box") << "txt_question" << "";
    // clang-format on
}

void MainWindowTest::eventsRunTheirHandlers()
{
    QFETCH(QString, name);
    QFETCH(QString, handler);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QWidget* w = control(*window_, name, name == QLatin1String("lbl_parameter") ? 0 : -1);
    QVERIFY(w);
    QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    if (auto* list = qobject_cast<QListWidget*>(w))
        QTest::mouseClick(list->viewport(), Qt::LeftButton);
    QCOMPARE(ran_, handler.isEmpty() ? QStringList() : QStringList{handler});

    // A focused button is clicked by Space, Return and the keypad's Enter,
    // each once however long the key is held.
    if (!qobject_cast<qal::CaptionButton*>(w))
        return;
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Space, Qt::NoModifier}, {Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}};
    for (const auto& [key, modifiers] : keys) {
        ran_.clear();
        w->setFocus();
        QTest::keyClick(w, key, modifiers);
        QTest::keyEvent(QTest::Press, w, key, modifiers); // held: the repeats click nothing more
        QKeyEvent repeat(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(w, &repeat);
        QTest::keyEvent(QTest::Release, w, key, modifiers);
        const QStringList twice = handler.isEmpty() ? QStringList() : QStringList{handler, handler};
        QCOMPARE(ran_, twice);
    }
}

void MainWindowTest::typingIntoInertBoxesRunsNothing()
{
    for (QLineEdit* box : window_->findChildren<QLineEdit*>()) {
        QTest::keyClicks(box, QStringLiteral("42"));
        QCOMPARE(box->text(), QStringLiteral("142"));
    }
    QTest::keyClicks(window_->questionBox(), QStringLiteral("typed"));
    QCOMPARE(window_->questionBox()->toPlainText(), QStringLiteral("typed"));
    // Return and Enter in the large boxes break the line.
    for (QPlainTextEdit* box : {window_->questionBox(), window_->answerBox()}) {
        box->clear();
        QTest::keyClicks(box, QStringLiteral("a"));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClicks(box, QStringLiteral("b"));
        QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(box->toPlainText(), QStringLiteral("a\nb\n"));
    }
    QCOMPARE(ran_, QStringList());
}

// What a screen reader says of each control: a button its caption, a label
// its text, a small box the label beside it, the large boxes and the panes
// what they are. The object names stay the control names.
void MainWindowTest::screenReaderNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("description");
    for (const Control& c : controls) {
        const QString name = QString::fromLatin1(c.name);
        QString spoken = QString::fromLatin1(c.text);
        QString description;
        QAccessible::Role role = QAccessible::NoRole;
        if (name.startsWith(QLatin1String("cmd")))
            role = QAccessible::Button;
        else if (name.startsWith(QLatin1String("lbl_")))
            role = QAccessible::StaticText;
        else if (name == QLatin1String("txt_paragraph_goback"))
            role = QAccessible::EditableText, spoken = QStringLiteral("# sentences previous");
        else if (name == QLatin1String("txt_parameter"))
            role = QAccessible::EditableText, spoken = QStringLiteral("Parameter %1").arg(c.index + 1);
        else if (name == QLatin1String("txt_question"))
            role = QAccessible::EditableText, spoken = QStringLiteral("question box");
        else if (name == QLatin1String("txt_answer"))
            role = QAccessible::EditableText, spoken = QStringLiteral("answer box"),
            description = QStringLiteral(
                "Enter, as appropriate, an answer to the question, a critique of your answer in response to a given "
                "answer, your insights regarding the situation at this point, notes to yourself, or just an OK.");
        else if (name.startsWith(QLatin1String("Picture")))
            role = QAccessible::Graphic, spoken = QStringLiteral("picture ") + name.back();
        else if (name == QLatin1String("List1"))
            role = QAccessible::List, spoken = QStringLiteral("list");
        // The controls that run nothing say so.
        if (name == QLatin1String("cmd_Make_paragraph") || name == QLatin1String("cmd_Make_Paragraph_question") ||
            name == QLatin1String("cmd_timerTrigger") || name == QLatin1String("List1") ||
            name == QLatin1String("txt_paragraph_goback") || name == QLatin1String("txt_parameter"))
            description = QStringLiteral("Does nothing in this program.");
        const QString row = c.index < 0 ? name : QStringLiteral("%1(%2)").arg(name).arg(c.index);
        QTest::newRow(qPrintable(row)) << name << c.index << int(role) << spoken << description;
    }
}

void MainWindowTest::screenReaderNames()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(int, role);
    QFETCH(QString, spoken);
    QFETCH(QString, description);
    QWidget* w = control(*window_, name, index);
    QVERIFY(w);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    QVERIFY(a);
    QCOMPARE(int(a->role()), role);
    QCOMPARE(a->text(QAccessible::Name), spoken);
    QCOMPARE(a->text(QAccessible::Description), description);
    QCOMPARE(w->objectName(), name);
}

void MainWindowTest::labelsAreTheirBoxesBuddies()
{
    const auto label = [&](const char* name, int index) {
        return qobject_cast<QLabel*>(control(*window_, QString::fromLatin1(name), index));
    };
    QCOMPARE(label("lbl_paragraph_goback", -1)->buddy(), control(*window_, QStringLiteral("txt_paragraph_goback"), -1));
    for (int i = 0; i < 4; ++i)
        QCOMPARE(label("lbl_parameter", i)->buddy(), control(*window_, QStringLiteral("txt_parameter"), i));
    QCOMPARE(label("lbl_only_if_prompted", -1)->buddy(), control(*window_, QStringLiteral("cmd_next_picture"), -1));
}

// Every button and label shows its caption in one font, the largest in
// which every caption fits its control when broken between words.
void MainWindowTest::captionsShareOneFontThatFitsThemAll()
{
    std::vector<qal::Caption> captions;
    QList<QWidget*> controls;
    for (auto* b : window_->findChildren<qal::CaptionButton*>())
        captions.push_back(b->caption()), controls << b;
    for (auto* l : window_->findChildren<qal::CaptionLabel*>())
        captions.push_back(l->caption()), controls << l;
    QCOMPARE(captions.size(), std::size_t{19}); // 13 buttons, 6 labels
    const QFont font = controls.front()->font();
    for (QWidget* w : controls) {
        QCOMPARE(w->font(), font);
    }
    for (const qal::Caption& c : captions)
        QVERIFY2(qal::captionFits(font, c), qPrintable(c.text));
    if (font.pointSizeF() < 8) {
        QFont larger = font;
        larger.setPointSizeF(font.pointSizeF() + 0.25);
        bool all = true;
        for (const qal::Caption& c : captions)
            all = all && qal::captionFits(larger, c);
        QVERIFY2(!all, "a larger font would fit too");
    }
    QVERIFY(font.pointSizeF() >= 6);
    qInfo("caption font: %s %.2f pt", qPrintable(QFontInfo(font).family()), font.pointSizeF());
    QCOMPARE(window_->questionBox()->font().pointSizeF(), 9.75);
}

void MainWindowTest::secondTimerStartKeepsRhythm()
{
    QTimer* timer = window_->pendulumTimer();
    window_->setTimerEnabled(true);
    const int id = timer->timerId();
    QVERIFY(id > 0);
    window_->setTimerEnabled(true); // a restart would give a new timer id
    QCOMPARE(timer->timerId(), id);
    QTRY_VERIFY(ran_.contains(QStringLiteral("tmr_pend_exp_Timer")));
}

void MainWindowTest::endOfProgramIgnoresQueuedEvents()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->setTimerEnabled(true);
    QTRY_VERIFY(!ran_.isEmpty());
    auto* next = window_->findChild<QAbstractButton*>(QStringLiteral("cmdNextQuestion"));
    QMetaObject::invokeMethod(next, &QAbstractButton::click, Qt::QueuedConnection);
    window_->closeForGood();
    ran_.clear();
    QTest::qWait(60); // four timer intervals
    QCOMPARE(ran_, QStringList());
    QVERIFY(!window_->pendulumTimer()->isActive());
    QVERIFY(!window_->isVisible());
    QVERIFY(window_->closedForGood());
}

void MainWindowTest::closingEndsTheProgram()
{
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    window_->setTimerEnabled(true);
    QVERIFY(window_->close());
    QVERIFY(window_->closedForGood());
    QVERIFY(!window_->pendulumTimer()->isActive());
    QTest::mouseClick(window_->findChild<QAbstractButton*>(QStringLiteral("cmd_quit")), Qt::LeftButton);
    QCOMPARE(ran_, QStringList()); // nothing asked, nothing run
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
