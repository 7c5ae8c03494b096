#pragma once

#include <QProcess>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace qal {

// "Try it": qalesson started on the lesson as a student would see it, with
// drive C: a scratch folder of its own; once the run ends, the files it
// wrote there, to open.
class TryPage : public QWidget {
    Q_OBJECT
public:
    explicit TryPage(QWidget* parent = nullptr);
    ~TryPage() override;

    void setLesson(const QString& path);
    // The lesson program to start; by default the one beside the desk.
    void setLessonProgram(const QString& path) { program_ = path; }
    void start();

    QString scratchDrive() const { return drive_; }
    QProcess& process() { return *process_; }

private:
    void ended();
    void setProblem(const QString& text);

    QString lesson_;
    QString program_;
    QString drive_;
    QProcess* process_;
    QLabel* lessonLabel_;
    QLabel* status_;
    QLabel* problem_;
    QPushButton* start_;
    QListWidget* files_;
    QPushButton* open_;
};

} // namespace qal
