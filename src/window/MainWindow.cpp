#include "window/MainWindow.h"

#include "window/CaptionButton.h"
#include "window/CaptionLabel.h"
#include "window/CodePageGuard.h"
#include "window/PicturePane.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QThread>
#include <QTimer>

namespace qal {

namespace {

constexpr int clientWidthTwips = 10875;
constexpr int clientHeightTwips = 8595;
constexpr int pendulumIntervalMs = 15;

// Labels and command buttons have no font of their own: they use the
// platform's small user-interface font, for which Arial 8 pt stands in
// (made smaller, for all of them alike, when a caption would not fit).
QFont controlFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    return font;
}

// The two large boxes: Arial 9.75 pt, regular.
QFont boxFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9.75);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// The first sentence of the default answer prompt, which tells what the
// answer box is for.
const char* const answerBoxDescription =
    "Enter, as appropriate, an answer to the question, a critique of your answer in response to a given answer, "
    "your insights regarding the situation at this point, notes to yourself, or just an OK.";

// What a screen reader says of a control that runs nothing.
const char* const inertDescription = "Does nothing in this program.";

// Names the control, places it at its twips and returns it. index >= 0 marks
// a member of a numbered group (all members share the name). The name is the
// program's; what a screen reader says is the caption a person sees.
template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height, int index = -1)
{
    widget->setObjectName(QString::fromLatin1(name));
    if (index >= 0)
        widget->setProperty("index", index);
    widget->setGeometry(MainWindow::pixels(left), MainWindow::pixels(top), MainWindow::pixels(width),
                        MainWindow::pixels(height));
    return widget;
}

QPlainTextEdit* newLargeBox(QWidget* parent, const QString& text)
{
    auto* box = new QPlainTextEdit(parent);
    new CodePageGuard(box);
    box->setFont(boxFont());
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab moves on to the next control, as in the original's text boxes.
    box->setTabChangesFocus(true);
    box->setPlainText(text);
    return box;
}

QLineEdit* newSmallBox(QWidget* parent, const QString& text)
{
    auto* box = new QLineEdit(parent);
    box->setValidator(new CodePageValidator(box));
    box->setText(text);
    return box;
}

CaptionLabel* newLabel(QWidget* parent, const QString& caption)
{
    return new CaptionLabel(caption, parent);
}

// To assistive technology the lesson window is a window (not a bare panel)
// and a picture pane a picture (not an empty one).
QAccessibleInterface* accessibleOfOurs(const QString& className, QObject* object)
{
    if (!object->isWidgetType())
        return nullptr;
    if (className == QLatin1String(MainWindow::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (className == QLatin1String(PicturePane::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

int MainWindow::pixels(int twips)
{
    return qRound(twips / 15.0);
}

MainWindow::MainWindow(QWidget* parent) : QWidget(parent)
{
    static const bool factory = [] {
        QAccessible::installFactory(accessibleOfOurs);
        return true;
    }();
    (void)factory;
    setObjectName(QStringLiteral("cmd_pend_exp"));
    setWindowTitle(QStringLiteral("Form1"));
    setFont(controlFont());
    resize(pixels(clientWidthTwips), pixels(clientHeightTwips));

    auto button = [this](const char* name, const char* caption, int left, int top, int width, int height) {
        return place(new CaptionButton(QString::fromLatin1(caption), this), name, left, top, width, height);
    };

    // In the order of the keyboard focus (Tab).
    txt_question =
        place(newLargeBox(this, QString::fromLatin1(questionBoxStart)), "txt_question", 240, 720, 5175, 5255);
    txt_answer = place(newLargeBox(this, QString::fromLatin1(answerBoxStart)), "txt_answer", 5640, 720, 5055, 5255);
    auto* cmdNextQuestion = button("cmdNextQuestion", "Next Question / Answer", 240, 0, 975, 735);
    auto* cmd_enter_response = button("cmd_enter_response", "Enter Response", 5640, 240, 855, 495);
    Picture1 = place(new PicturePane(this), "Picture1", 240, 6080, 5175, 1375);
    Picture2 = place(new PicturePane(this), "Picture2", 5640, 6080, 5055, 1375);
    auto* cmd_save_as_notes = button("cmd_save_as_notes", "Save as Notes", 6480, 240, 855, 495);
    auto* cmd_Make_paragraph = button("cmd_Make_paragraph", "Make Paragraph", 7320, 240, 975, 495);
    auto* cmd_Make_Paragraph_question = button("cmd_Make_Paragraph_question", "Make Paragraph", 1200, 240, 855, 495);
    auto* txt_paragraph_goback =
        place(newSmallBox(this, QStringLiteral("1")), "txt_paragraph_goback", 3120, 240, 495, 495);
    // Each label beside a box is its buddy: the box is called by it.
    auto* lbl_paragraph_goback =
        place(newLabel(this, QStringLiteral("# sentences previous")), "lbl_paragraph_goback", 2160, 240, 1095, 495);
    auto* cmd_timerTrigger = button("cmd_timerTrigger", "Trigger Timer", 2400, 7560, 735, 495);
    auto* List1 = place(new QListWidget(this), "List1", 3120, 7680, 1695, 840);

    lbl_paragraph_goback->setBuddy(txt_paragraph_goback);
    struct Parameter {
        int labelLeft, labelTop, labelWidth, boxLeft;
    };
    constexpr Parameter parameters[] = {
        {5640, 7680, 900, 6720}, {5640, 8160, 855, 6720}, {7200, 7680, 1005, 8205}, {7200, 8160, 900, 8205}};
    QWidget* parameterControls[8];
    for (int i = 0; i < 4; ++i) {
        const Parameter& p = parameters[i];
        auto* label = place(newLabel(this, QStringLiteral("Parameter %1").arg(i + 1)), "lbl_parameter", p.labelLeft,
                            p.labelTop, p.labelWidth, 195, i);
        auto* box = place(newSmallBox(this, QStringLiteral("1")), "txt_parameter", p.boxLeft, p.labelTop, 300, 285, i);
        label->setBuddy(box);
        parameterControls[2 * i] = label;
        parameterControls[2 * i + 1] = box;
    }

    auto* cmd_displayCumulativeText = button("cmd_displayCumulativeText", "display everything", 3600, 240, 855, 495);
    auto* cmd_display_note_file = button("cmd_display_note_file", "display notes", 4440, 240, 975, 495);
    auto* cmd_quit = button("cmd_quit", "quit program", 10200, 0, 735, 495);
    auto* cmd_pend_exp = button("cmd_pend_exp", "pend exp", 8640, 7560, 495, 375);
    auto* cmd_next_picture = button("cmd_next_picture", "next picture", 1200, 7560, 855, 495);
    auto* lbl_only_if_prompted =
        place(newLabel(this, QStringLiteral("click only if prompted")), "lbl_only_if_prompted", 240, 7560, 855, 495);
    auto* cmd_copy_picture = button("cmd_copy_picture", "copy picture", 1200, 8160, 855, 495);
    auto* cmd_clear_answer_box = button("cmd_clear_answer_box", "clear box", 8280, 240, 855, 495);

    // The label left of "next picture" says when to click it.
    lbl_only_if_prompted->setBuddy(cmd_next_picture);

    // The right-hand end of the "# sentences previous" label lies under its box.
    txt_paragraph_goback->raise();

    // The large boxes and the panes have no caption: they are named for
    // what they are.
    txt_question->setAccessibleName(QStringLiteral("question box"));
    txt_answer->setAccessibleName(QStringLiteral("answer box"));
    txt_answer->setAccessibleDescription(QString::fromLatin1(answerBoxDescription));
    Picture1->setAccessibleName(QStringLiteral("picture 1"));
    Picture2->setAccessibleName(QStringLiteral("picture 2"));
    List1->setAccessibleName(QStringLiteral("list"));
    // The controls that are there but run nothing say so, so that a screen
    // reader's user can tell them from the working ones.
    QWidget* const inertControls[] = {
        cmd_Make_paragraph,   cmd_Make_Paragraph_question, cmd_timerTrigger,     List1,
        txt_paragraph_goback, parameterControls[1],        parameterControls[3], parameterControls[5],
        parameterControls[7]};
    for (QWidget* inert : inertControls)
        inert->setAccessibleDescription(QString::fromLatin1(inertDescription));

    // One font for every caption, the largest in which they all fit.
    std::vector<Caption> captions;
    for (const CaptionButton* b : findChildren<CaptionButton*>())
        captions.push_back(b->caption());
    for (const CaptionLabel* l : findChildren<CaptionLabel*>())
        captions.push_back(l->caption());
    setFont(captionFont(controlFont(), captions));

    // Panes take the focus like the original's picture boxes; labels never do.
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture2->setFocusPolicy(Qt::StrongFocus);

    QWidget* const tabOrder[] = {txt_question,
                                 txt_answer,
                                 cmdNextQuestion,
                                 cmd_enter_response,
                                 Picture1,
                                 Picture2,
                                 cmd_save_as_notes,
                                 cmd_Make_paragraph,
                                 cmd_Make_Paragraph_question,
                                 txt_paragraph_goback,
                                 lbl_paragraph_goback,
                                 cmd_timerTrigger,
                                 List1,
                                 parameterControls[0],
                                 parameterControls[1],
                                 parameterControls[2],
                                 parameterControls[3],
                                 parameterControls[4],
                                 parameterControls[5],
                                 parameterControls[6],
                                 parameterControls[7],
                                 cmd_displayCumulativeText,
                                 cmd_display_note_file,
                                 cmd_quit,
                                 cmd_pend_exp,
                                 cmd_next_picture,
                                 lbl_only_if_prompted,
                                 cmd_copy_picture,
                                 cmd_clear_answer_box};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    txt_question->setFocus();

    tmr_pend_exp = new QTimer(this);
    tmr_pend_exp->setObjectName(QStringLiteral("tmr_pend_exp"));
    tmr_pend_exp->setTimerType(Qt::PreciseTimer);
    tmr_pend_exp->setInterval(pendulumIntervalMs);

    connectEvents();
}

void MainWindow::connectEvents()
{
    for (const EventRow& event : eventTable()) {
        QObject* control = findChild<QObject*>(QLatin1String(event.control), Qt::FindDirectChildrenOnly);
        const auto forward = [this, &event] {
            if (events_)
                events_->handle(event);
        };
        if (auto* button = qobject_cast<QAbstractButton*>(control))
            connect(button, &QAbstractButton::clicked, this, forward);
        else if (auto* timer = qobject_cast<QTimer*>(control))
            connect(timer, &QTimer::timeout, this, forward);
        else
            qFatal("The event table names %s, a control the window does not have", event.control);
    }
}

PicturePane* MainWindow::pane(Pane which) const
{
    return which == Pane::Picture1 ? Picture1 : Picture2;
}

void MainWindow::setTimerEnabled(bool on)
{
    if (!on)
        tmr_pend_exp->stop();
    else if (!tmr_pend_exp->isActive())
        tmr_pend_exp->start();
}

void MainWindow::closeForGood()
{
    closedForGood_ = true;
    events_ = nullptr;
    tmr_pend_exp->stop();
    hide();
    finishEventLoop();
}

void MainWindow::finishEventLoop()
{
    // Only a running event loop is told to finish: before the first one
    // (start-up) the caller sees that the core has ended, and a request made
    // with no loop running would make every later modal dialog return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // The core decides: it may ask about an unrecorded answer first, and the
    // student may cancel. The window goes only when the program has ended
    // (closeForGood), or when no core is behind it.
    if (!events_) {
        event->accept();
        return;
    }
    events_->windowClosed();
    event->setAccepted(closedForGood_);
}

} // namespace qal
