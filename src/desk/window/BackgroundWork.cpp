#include "desk/window/BackgroundWork.h"

#include <QThread>
#include <QTimer>

namespace qal {

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) {}

BackgroundWork::~BackgroundWork()
{
    if (thread_ != nullptr) {
        cancelled_ = true;
        thread_->wait();
    }
}

bool BackgroundWork::start(std::function<void(const KeepGoing&)> work, std::function<void(bool cancelled)> done)
{
    if (thread_ != nullptr)
        return false;
    cancelled_ = false;
    thread_ = QThread::create([this, work = std::move(work)] { work([this] { return !cancelled_.load(); }); });
    connect(thread_, &QThread::finished, this, [this, done = std::move(done)] {
        thread_->deleteLater();
        thread_ = nullptr;
        emit busyChanged(false);
        done(cancelled_.load());
    });
    emit busyChanged(true);
    QTimer::singleShot(0, thread_, [thread = thread_] { thread->start(); });
    return true;
}

} // namespace qal
