#pragma once

#include "desk/LessonReview.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace qal {

// "Check a lesson": what --check finds in a lesson file, a row a finding
// (line, kind, text); the selected finding's line and its neighbours in a
// read-only view; "Check again" reads the file anew after an edit. The
// selected finding copies as --check prints it.
class CheckPage : public QWidget {
    Q_OBJECT
public:
    explicit CheckPage(QWidget* parent = nullptr);

    // Checks the lesson file at path (what the file dialog and a drop give).
    void checkLesson(const QString& path);
    QString lessonPath() const { return path_; }

signals:
    void lessonChosen(const QString& path);

private:
    void chooseLesson();
    void showFinding();
    void copyFinding();
    // The finding of the row selected; none when no row is.
    const Finding* selectedFinding() const;

    QString path_;
    LessonReview review_;
    QLabel* fileLabel_;
    QLabel* summary_;
    QPushButton* checkAgain_;
    QTreeWidget* findings_;
    QPlainTextEdit* view_;
};

} // namespace qal
