#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qal::test {

// Another program started by a test (another run of the program, a helper
// that holds a file), with this process's environment. posix_spawn on POSIX,
// CreateProcessW on Windows.
class ChildProcess {
public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments);
    // Waits for the child if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return started_; }
    // Waits for the child to end: its exit status, or 128 + the signal that
    // ended it (POSIX); -1 when it was not started.
    int wait();
    // Asks the child to end: SIGTERM on POSIX.
    void terminate();
    // The child's process number.
    long long pid() const { return pid_; }

private:
    bool started_ = false;
    bool waited_ = false;
    int status_ = -1;
    long long pid_ = -1;
#ifdef _WIN32
    void* process_ = nullptr;
#endif
};

// A program built beside the running test program (the same folder), e.g.
// "record_writer" (".exe" is added on Windows).
std::filesystem::path programBeside(const std::string& name);

} // namespace qal::test
