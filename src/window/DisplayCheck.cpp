#include "window/DisplayCheck.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#ifdef QALESSON_ASK_DISPLAY
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>
#endif

namespace qal {

namespace {

#ifdef QALESSON_ASK_DISPLAY

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The value of the toolkit's option (one dash or two), or empty.
std::string optionValue(const std::vector<std::string>& arguments, std::string_view option)
{
    for (std::size_t i = 1; i + 1 < arguments.size(); ++i) {
        std::string_view name = arguments[i];
        name.remove_prefix(name.starts_with("--") ? 2 : name.starts_with("-") ? 1 : 0);
        if (name == option)
            return arguments[i + 1];
    }
    return {};
}

// An X display that accepts us (authorisation included).
bool xDisplayAnswers(const std::string& name)
{
    if (name.empty())
        return false;
    xcb_connection_t* connection = xcb_connect(name.c_str(), nullptr);
    const bool answers = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return answers;
}

// A Wayland display whose socket listens.
bool waylandDisplayListens()
{
    std::string path = environment("WAYLAND_DISPLAY");
    if (path.empty())
        return false;
    if (path.front() != '/') {
        const std::string runtime = environment("XDG_RUNTIME_DIR");
        if (runtime.empty())
            return false;
        path = runtime + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool listens = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return listens;
}

#endif

QtMessageHandler toolkitHandler = nullptr;

void endOnFatalFailure(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        toolkitHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n%s\n", message.toLocal8Bit().constData(), noDisplayMessage);
    std::fflush(stderr);
    std::_Exit(2);
}

} // namespace

bool displayReachable(const std::vector<std::string>& toolkitArguments)
{
#ifndef QALESSON_ASK_DISPLAY
    // Windows and macOS always have their desktop to open the window on.
    (void)toolkitArguments;
    return true;
#else
    std::string platforms = optionValue(toolkitArguments, "platform");
    if (platforms.empty())
        platforms = environment("QT_QPA_PLATFORM");
    bool x = platforms.empty();
    bool wayland = platforms.empty();
    std::string_view rest = platforms;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        std::string_view platform = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        platform = platform.substr(0, platform.find(':')); // options follow a colon
        if (platform == "xcb")
            x = true;
        else if (platform.starts_with("wayland"))
            wayland = true;
        else if (!platform.empty())
            return true; // needs no display, or is the toolkit's to report
    }
    std::string xDisplay = optionValue(toolkitArguments, "display");
    if (xDisplay.empty())
        xDisplay = environment("DISPLAY");
    return (x && xDisplayAnswers(xDisplay)) || (wayland && waylandDisplayListens());
#endif
}

void toolkitStarting()
{
    toolkitHandler = qInstallMessageHandler(endOnFatalFailure);
}

void toolkitStarted()
{
    qInstallMessageHandler(toolkitHandler);
}

} // namespace qal
