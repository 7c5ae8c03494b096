#include "fakes/ChildProcess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace qal::test {

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
    return out;
}

// One argument quoted as the C runtime splits a command line: backslashes
// are literal unless they come before a quote.
std::wstring quoted(const std::wstring& argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    std::wstring command = quoted(program.native());
    for (const std::string& argument : arguments)
        command += L" " + quoted(wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    started_ = true;
}

ChildProcess::~ChildProcess()
{
    wait();
    if (process_)
        CloseHandle(static_cast<HANDLE>(process_));
}

int ChildProcess::wait()
{
    if (!started_ || waited_)
        return status_;
    WaitForSingleObject(static_cast<HANDLE>(process_), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(static_cast<HANDLE>(process_), &code);
    waited_ = true;
    status_ = static_cast<int>(code);
    return status_;
}

void ChildProcess::terminate()
{
    if (started_ && !waited_)
        TerminateProcess(static_cast<HANDLE>(process_), 128 + 15);
}

std::filesystem::path programBeside(const std::string& name)
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(std::wstring(self, length)).parent_path() / (wide(name) + L".exe");
}

#else

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return;
    pid_ = pid;
    started_ = true;
}

ChildProcess::~ChildProcess()
{
    wait();
}

int ChildProcess::wait()
{
    if (!started_ || waited_)
        return status_;
    int status = 0;
    const pid_t pid = static_cast<pid_t>(pid_);
    if (waitpid(pid, &status, 0) != pid)
        return -1;
    waited_ = true;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

void ChildProcess::terminate()
{
    if (started_ && !waited_)
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
}

std::filesystem::path programBeside(const std::string& name)
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
}

#endif

} // namespace qal::test
