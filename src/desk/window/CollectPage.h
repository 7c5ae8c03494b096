#pragma once

#include "desk/Collection.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace qal {

class BackgroundWork;

// "Collect answers": the files students mailed back (a folder of them, or
// files picked or dropped), what they hold, the workbook written from them
// and the class overview shown as a table.
class CollectPage : public QWidget {
    Q_OBJECT
public:
    explicit CollectPage(QWidget* parent = nullptr);

    // Takes these files, or the send files of these folders, and reads them.
    void takeFiles(const QStringList& paths);
    void setLesson(const QString& path);
    void setRoster(const QString& path);
    // Writes the workbook where the path box says.
    void writeWorkbook();

    QStringList files() const { return files_; }
    BackgroundWork& work() { return *work_; }

private:
    void chooseFolder();
    void chooseFiles();
    void chooseWorkbook();
    void summarize();
    void showOverview(const std::vector<OverviewRow>& rows);
    void showMessages(const std::vector<std::string>& lines);
    void setProblem(const QString& text);

    QStringList files_;
    QString lesson_, roster_;
    QString written_; // the workbook last written, to open
    BackgroundWork* work_;
    QLabel* filesLabel_;
    QLabel* lessonLabel_;
    QLabel* rosterLabel_;
    QLabel* summary_;
    QLabel* problem_;
    QListWidget* messages_;
    QTableWidget* overview_;
    QLineEdit* workbookPath_;
    QPushButton* write_;
    QPushButton* open_;
};

} // namespace qal
