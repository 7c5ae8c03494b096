#pragma once

#include "instructor/ReportCommand.h"

#include <QObject>

#include <atomic>
#include <functional>

class QThread;

namespace qal {

// Long work of a page (reading a class's files, writing a workbook or the
// feedback) on a thread of its own, so that the window stays live and its
// Cancel button is heard. The work asks the KeepGoing it is given; once
// cancel() was called that says no, and the report's work stops leaving
// nothing half-written.
class BackgroundWork : public QObject {
    Q_OBJECT
public:
    explicit BackgroundWork(QObject* parent);
    ~BackgroundWork() override; // waits for the work

    bool busy() const { return thread_ != nullptr; }

    // Runs work once the event loop is next reached (so a Cancel pressed
    // at once is heard before it starts), then done on this object's thread.
    // False when work is already running.
    bool start(std::function<void(const KeepGoing&)> work, std::function<void(bool cancelled)> done);
    void cancel() { cancelled_ = true; }

signals:
    void busyChanged(bool busy);

private:
    QThread* thread_ = nullptr;
    std::atomic<bool> cancelled_{false};
};

} // namespace qal
