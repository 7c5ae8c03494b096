#include "desk/window/WorkProgress.h"

#include "desk/window/BackgroundWork.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>

namespace qal {

WorkProgress::WorkProgress(BackgroundWork& work, QWidget* parent) : QWidget(parent)
{
    bar_ = new QProgressBar(this);
    bar_->setObjectName("progress");
    bar_->setAccessibleName(tr("Working"));
    bar_->setRange(0, 0); // busy: how long the files take is not known ahead
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName("cancel");
    cancel_->setAccessibleDescription(tr("Stop the work; nothing half-written is left"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_, 1);
    layout->addWidget(cancel_);
    connect(cancel_, &QPushButton::clicked, &work, &BackgroundWork::cancel);
    connect(&work, &BackgroundWork::busyChanged, this, &QWidget::setVisible);
    setVisible(false);
}

} // namespace qal
