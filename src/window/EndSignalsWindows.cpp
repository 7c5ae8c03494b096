#include "window/EndSignals.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QWidget>

#include <algorithm>
#include <functional>

#include <windows.h>

namespace qal {

namespace {

// Whether a window of the program is still open: once the lesson has ended,
// none is.
bool anyWindowOpen()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* w) { return w->isVisible(); });
}

// Windows asks every program with a window whether the session may end
// (WM_QUERYENDSESSION), then tells it that it ends (WM_ENDSESSION), after
// which the process may be stopped at any moment. The question ends the
// program as closing the window does. The event loop runs only between the
// core's commands, so no record is being written when the question comes;
// between commands the program has ended by the time it is answered, and
// the session may end. When a dialog was open, its command finishes only
// once the question is answered: the answer is then no, and Windows waits
// for the program, which ends a moment later.
class SessionEndFilter : public QAbstractNativeEventFilter {
public:
    explicit SessionEndFilter(std::function<void()>& onEnd) : onEnd_(onEnd) {}

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override
    {
        if (eventType != "windows_generic_MSG")
            return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->message != WM_QUERYENDSESSION)
            return false;
        // Each top-level window is asked; the first question ends the program.
        if (!asked_) {
            asked_ = true;
            if (onEnd_)
                onEnd_();
        }
        *result = anyWindowOpen() ? FALSE : TRUE;
        return true;
    }

private:
    std::function<void()>& onEnd_;
    bool asked_ = false;
};

} // namespace

bool EndSignals::install()
{
    // Nothing to do before the toolkit starts: the question comes as a
    // window message, once there are windows.
    return true;
}

EndSignals::EndSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)), sessionEnd_(std::make_unique<SessionEndFilter>(onSignal_))
{
    QCoreApplication::instance()->installNativeEventFilter(sessionEnd_.get());
}

EndSignals::~EndSignals()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeNativeEventFilter(sessionEnd_.get());
}

} // namespace qal
