#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QAbstractNativeEventFilter;
class QSocketNotifier;

namespace qal {

// SIGTERM, SIGHUP and SIGINT (a desktop logout, a closed terminal, Ctrl+C)
// end the program the way closing the window does, never in the middle of a
// command: the signal only leaves a mark that the event loop picks up, and
// while a header block or a record is being written the core holds the
// signals back anyway (see FileTable).
//
// On Windows the end of the session (logoff, shutdown) arrives as
// WM_QUERYENDSESSION to the program's windows, and ends the program the same
// way (EndSignalsWindows.cpp).
class EndSignals : public QObject {
    Q_OBJECT

public:
    // Installs the handlers. Call it first thing in main, before the toolkit
    // starts threads of its own or any file is written; from then on these
    // signals no longer end the process outright. False when it failed.
    static bool install();

    // Runs onSignal on the event loop for every signal that arrived since
    // install(), one that arrived before this was made included.
    explicit EndSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~EndSignals() override;

private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    std::unique_ptr<QAbstractNativeEventFilter> sessionEnd_;
};

} // namespace qal
