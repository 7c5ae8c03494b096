#pragma once

#include <QMainWindow>

class QTabWidget;

namespace qal {

class CheckPage;
class CollectPage;
class FeedbackPage;
class TryPage;

// The instructor's desk: the four tasks as tabs. A file dropped on the
// window goes to the task shown (a lesson to check or try, the mailed files
// or a folder of them, a marked workbook).
class DeskWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DeskWindow(QWidget* parent = nullptr);

    CheckPage& checkPage() { return *check_; }
    TryPage& tryPage() { return *try_; }
    CollectPage& collectPage() { return *collect_; }
    FeedbackPage& feedbackPage() { return *feedback_; }
    QTabWidget& tabs() { return *tabs_; }

    // What a drop of these paths does on the task shown.
    void takeDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QTabWidget* tabs_;
    CheckPage* check_;
    TryPage* try_;
    CollectPage* collect_;
    FeedbackPage* feedback_;
};

} // namespace qal
