#pragma once

#include "desk/FeedbackReturn.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace qal {

class BackgroundWork;

// "Return feedback": the marked workbook read before anything is written
// (who gets feedback, which rows are skipped and why), then each student's
// files written into a folder, with a line a student saying what to mail.
class FeedbackPage : public QWidget {
    Q_OBJECT
public:
    explicit FeedbackPage(QWidget* parent = nullptr);

    // Reads the marked workbook at path (.xlsx or .ods).
    void takeWorkbook(const QString& path);
    void writeFeedback();

    BackgroundWork& work() { return *work_; }

private:
    void setProblem(const QString& text);

    FeedbackPreview preview_;
    QString written_; // the folder last written into, to open
    BackgroundWork* work_;
    QLabel* workbookLabel_;
    QLabel* summary_;
    QLabel* problem_;
    QListWidget* skipped_;
    QListWidget* mailing_;
    QLineEdit* folder_;
    QPushButton* write_;
    QPushButton* open_;
};

} // namespace qal
