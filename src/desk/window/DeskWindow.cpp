#include "desk/window/DeskWindow.h"

#include "desk/window/CheckPage.h"
#include "desk/window/CollectPage.h"
#include "desk/window/FeedbackPage.h"
#include "desk/window/TryPage.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTabWidget>
#include <QUrl>

namespace qal {

DeskWindow::DeskWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(tr("qalesson desk"));
    setObjectName("deskWindow");
    setAcceptDrops(true);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tasks");
    tabs_->setAccessibleName(tr("Tasks"));
    check_ = new CheckPage(tabs_);
    try_ = new TryPage(tabs_);
    collect_ = new CollectPage(tabs_);
    feedback_ = new FeedbackPage(tabs_);
    // The captions are the tasks' names; each page is reached by Ctrl+Tab
    // or its tab, and carries the same name for a screen reader.
    const std::pair<QWidget*, QString> pages[] = {{check_, tr("Check a lesson")},
                                                  {try_, tr("Try it")},
                                                  {collect_, tr("Collect answers")},
                                                  {feedback_, tr("Return feedback")}};
    for (const auto& [page, caption] : pages) {
        page->setAccessibleName(caption);
        tabs_->addTab(page, caption);
    }
    setCentralWidget(tabs_);
    resize(900, 640);
    // A lesson checked is the lesson to try. (Not the one the answers
    // answer: that is the instructor's to say, or the overview would call
    // every question of another lesson unanswered.)
    connect(check_, &CheckPage::lessonChosen, try_, &TryPage::setLesson);
}

void DeskWindow::takeDropped(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    QWidget* shown = tabs_->currentWidget();
    if (shown == check_)
        check_->checkLesson(paths.front());
    else if (shown == try_)
        try_->setLesson(paths.front());
    else if (shown == collect_)
        collect_->takeFiles(paths);
    else if (shown == feedback_)
        feedback_->takeWorkbook(paths.front());
}

void DeskWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void DeskWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths += url.toLocalFile();
    takeDropped(paths);
    event->acceptProposedAction();
}

} // namespace qal
