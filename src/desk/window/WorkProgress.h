#pragma once

#include <QWidget>

class QProgressBar;
class QPushButton;

namespace qal {

class BackgroundWork;

// A busy bar and its Cancel button, shown while a page's work runs.
class WorkProgress : public QWidget {
    Q_OBJECT
public:
    WorkProgress(BackgroundWork& work, QWidget* parent);

private:
    QProgressBar* bar_;
    QPushButton* cancel_;
};

} // namespace qal
