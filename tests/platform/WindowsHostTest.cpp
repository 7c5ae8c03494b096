// The Windows host on Windows (or Wine): names in UTF-16 on the disk, locks
// and open files between two processes, the error table. The second process
// is this test program started again with a --child option.

#include "platform/Console.h"
#include "platform/Host.h"
#include "platform/RunError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsErrors.h"
#include "platform/windows/WindowsHost.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>
#include <windows.h>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::TempDrive;
using test::writeBytes;

// The error number an operation failed with, 0 when it did not fail.
template <typename Operation> int failure(Operation operation)
{
    try {
        operation();
    } catch (const RunError& e) {
        return e.number();
    }
    return 0;
}

std::string contents(const fs::path& path)
{
    std::string all;
    const ReadOutcome outcome = readFilePieces(systemHost(), path, [&](std::string_view piece) {
        all.append(piece);
        return true;
    });
    EXPECT_EQ(outcome.kind, ReadOutcome::Read) << outcome.reason;
    return all;
}

// This program run again as a child process in one of the modes of
// childMain, holding on to what it took until told to go.
class Child {
public:
    Child(const std::string& mode, const fs::path& path)
    {
        static int count = 0;
        const std::wstring base =
            L"Local\\qalesson-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++count);
        ready_ = CreateEventW(nullptr, TRUE, FALSE, (base + L"-ready").c_str());
        go_ = CreateEventW(nullptr, TRUE, FALSE, (base + L"-go").c_str());
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command =
            L"\"" + std::wstring(self) + L"\" --child " + wideFromUtf8(mode) + L" \"" + path.native() + L"\" " + base;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            throw std::runtime_error("CreateProcessW failed");
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    ~Child()
    {
        SetEvent(go_);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
        CloseHandle(ready_);
        CloseHandle(go_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // True once the child has taken what its mode takes; false when it ended
    // (failed) first.
    bool waitReady()
    {
        const HANDLE both[] = {ready_, process_};
        return WaitForMultipleObjects(2, both, FALSE, 10000) == WAIT_OBJECT_0;
    }
    // Lets the child go and returns its exit code.
    DWORD finish()
    {
        SetEvent(go_);
        WaitForSingleObject(process_, 10000);
        DWORD code = 1000;
        GetExitCodeProcess(process_, &code);
        return code;
    }
    long long pid() const { return pid_; }

private:
    HANDLE ready_;
    HANDLE go_;
    HANDLE process_ = nullptr;
    long long pid_ = 0;
};

TEST(WindowsHost, NamesAreUtf16OnTheDisk)
{
    TempDrive drive;
    const std::string name = "Ren\xC3\xA9"
                             "e \xE2\x82\xAC.txt"; // "Renée €.txt" in UTF-8
    const fs::path path = drive.root() / hostPathFromUtf8(name);
    Host& host = systemHost();
    const Host::Opened opened = host.open(path, FileMode::Output);
    EXPECT_TRUE(opened.created);
    bool written = false;
    host.writeAll(opened.handle, "line\r\n", written);
    host.close(opened.handle);

    // Listed in UTF-16, the name is the one given, each character whole.
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((drive.root() / L"*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
        if (found.cFileName != std::wstring(L".") && found.cFileName != std::wstring(L".."))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(names, std::vector<std::wstring>{L"Ren\u00E9e \u20AC.txt"});
    EXPECT_EQ(utf8FromHostPath(path.filename()), name);
    EXPECT_EQ(contents(path), "line\r\n"); // binary: no CR added
}

TEST(WindowsHost, AppendWritesAtTheEndAndCutsBack)
{
    TempDrive drive;
    const fs::path path = drive.root() / L"master.txt";
    Host& host = systemHost();
    const Host::Opened first = host.open(path, FileMode::Append);
    EXPECT_TRUE(first.created);
    const Host::Opened second = host.open(path, FileMode::Append);
    EXPECT_FALSE(second.created);
    bool written = false;
    host.writeAll(first.handle, "one\r\n", written);
    host.writeAll(second.handle, "two\r\n", written);
    host.writeAll(first.handle, "three\r\n", written);
    EXPECT_TRUE(written);
    host.sync(first.handle);
    EXPECT_EQ(host.size(first.handle), 17u);
    EXPECT_TRUE(host.truncate(first.handle, 5));
    EXPECT_EQ(host.size(second.handle), 5u);
    host.writeAll(first.handle, "four\r\n", written);
    host.close(first.handle);
    host.close(second.handle);
    EXPECT_EQ(contents(path), "one\r\nfour\r\n");

    const Host::Opened output = host.open(path, FileMode::Output);
    EXPECT_FALSE(output.created);
    EXPECT_EQ(host.size(output.handle), 0u); // emptied
    host.close(output.handle);
}

TEST(WindowsHost, OpenAndFolderFailuresCarryTheProgramsNumbers)
{
    TempDrive drive;
    Host& host = systemHost();
    const fs::path missingFolder = drive.root() / L"nowhere" / L"x.txt";
    EXPECT_EQ(failure([&] { host.open(drive.root() / L"x.txt", FileMode::Input); }), err::FileNotFound);
    EXPECT_EQ(failure([&] { host.open(missingFolder, FileMode::Input); }), err::PathNotFound);
    EXPECT_EQ(failure([&] { host.open(missingFolder, FileMode::Append); }), err::PathNotFound);
    EXPECT_EQ(failure([&] { host.open(drive.root(), FileMode::Input); }), err::PathFileAccessError);
    EXPECT_EQ(failure([&] { host.open(drive.root(), FileMode::Append); }), err::PathFileAccessError);
    EXPECT_EQ(failure([&] { host.open(drive.root() / L"a?b.txt", FileMode::Append); }), err::BadFileNameOrNumber);
    // A device is no file to append to or write: never a record's place.
    EXPECT_EQ(failure([&] { host.open(L"NUL", FileMode::Append); }), err::PathFileAccessError);
    EXPECT_EQ(failure([&] { host.open(L"NUL", FileMode::Output); }), err::PathFileAccessError);
    EXPECT_EQ(failure([&] { host.makeFolder(drive.root() / L"nowhere" / L"sub"); }), err::PathNotFound);
    host.makeFolder(drive.root() / L"drovnel");
    EXPECT_TRUE(fs::is_directory(drive.root() / L"drovnel"));
    EXPECT_EQ(failure([&] { host.makeFolder(drive.root() / L"drovnel"); }), err::PathFileAccessError);
}

TEST(WindowsHost, LockFilesAreMadeOnlyWhereNothingIs)
{
    TempDrive drive;
    Host& host = systemHost();
    const fs::path lock = drive.root() / L"master.txt.lock";
    EXPECT_TRUE(host.createExclusive(lock, "pc 12 34\n"));
    EXPECT_FALSE(host.createExclusive(lock, "pc 56 78\n"));
    EXPECT_EQ(host.readSmallFile(lock), "pc 12 34\n");
    const std::time_t age = std::time(nullptr) - host.modified(lock);
    EXPECT_GE(age, -5);
    EXPECT_LE(age, 60);
    // Made young again by its holder.
    const std::time_t old = std::time(nullptr) - 600;
    fs::last_write_time(lock, fs::file_time_type::clock::now() - std::chrono::seconds(600));
    EXPECT_LE(host.modified(lock), old + 5);
    EXPECT_TRUE(host.touch(lock));
    EXPECT_GE(host.modified(lock), std::time(nullptr) - 60);

    const fs::path aside = drive.root() / L"aside";
    EXPECT_TRUE(host.createExclusive(aside, "other\n"));
    EXPECT_FALSE(host.renameNoReplace(lock, aside)); // never replaces
    EXPECT_TRUE(host.remove(aside));
    EXPECT_TRUE(host.renameNoReplace(lock, aside));
    EXPECT_EQ(host.readSmallFile(aside), "pc 12 34\n");
    EXPECT_EQ(host.readSmallFile(lock), "");
    EXPECT_EQ(host.modified(lock), -1);
    EXPECT_FALSE(host.remove(lock));
    EXPECT_EQ(failure([&] { host.createExclusive(drive.root() / L"nowhere" / L"x.lock", "x"); }),
              err::PermissionDenied);
}

TEST(WindowsHost, AnotherProcessHoldingTheLockHoldsItOff)
{
    TempDrive drive;
    const fs::path path = drive.root() / L"master.txt";
    Host& host = systemHost();
    Child child("lock-exclusive", path);
    ASSERT_TRUE(child.waitReady());
    const Host::Opened opened = host.open(path, FileMode::Append);
    EXPECT_EQ(host.tryLock(opened.handle, false), LockAnswer::Held);
    EXPECT_EQ(host.tryLock(opened.handle, true), LockAnswer::Held);
    // Locked or not, the file's bytes stay open to others (the lock lies
    // beyond them): a reader that takes no lock still reads.
    EXPECT_EQ(contents(path), "child\r\n");
    EXPECT_EQ(child.finish(), 0u);
    EXPECT_EQ(host.tryLock(opened.handle, false), LockAnswer::Locked);
    host.close(opened.handle);
}

TEST(WindowsHost, ReadersShareTheLockAndHoldOffAWriter)
{
    TempDrive drive;
    const fs::path path = drive.root() / L"notes.txt";
    Host& host = systemHost();
    Child child("lock-shared", path);
    ASSERT_TRUE(child.waitReady());
    const Host::Opened reader = host.open(path, FileMode::Input);
    EXPECT_EQ(host.tryLock(reader.handle, true), LockAnswer::Locked);
    host.close(reader.handle);
    const Host::Opened writer = host.open(path, FileMode::Append);
    EXPECT_EQ(host.tryLock(writer.handle, false), LockAnswer::Held);
    EXPECT_EQ(child.finish(), 0u);
    EXPECT_EQ(host.tryLock(writer.handle, false), LockAnswer::Locked);
    host.close(writer.handle);
}

TEST(WindowsHost, AFileAnotherProgramHoldsWithoutSharingIsPermissionDenied)
{
    TempDrive drive;
    const fs::path path = drive.root() / L"send.txt";
    Host& host = systemHost();
    Child child("hold-unshared", path);
    ASSERT_TRUE(child.waitReady());
    EXPECT_EQ(failure([&] { host.open(path, FileMode::Append); }), err::PermissionDenied);
    EXPECT_EQ(failure([&] { host.open(path, FileMode::Input); }), err::PermissionDenied);
    EXPECT_EQ(readFilePieces(systemHost(), path, [](std::string_view) { return true; }).kind, ReadOutcome::CannotOpen);
    EXPECT_EQ(child.finish(), 0u);
    host.close(host.open(path, FileMode::Append).handle);
}

TEST(WindowsHost, AnotherRunOpensAFileThisOneHasOpen)
{
    TempDrive drive;
    const fs::path path = drive.root() / L"master.txt";
    Host& host = systemHost();
    const Host::Opened opened = host.open(path, FileMode::Append);
    bool written = false;
    host.writeAll(opened.handle, "mine\r\n", written);
    {
        Child child("append-shared", path);
        EXPECT_EQ(child.finish(), 0u);
    }
    host.writeAll(opened.handle, "mine again\r\n", written);
    host.close(opened.handle);
    EXPECT_EQ(contents(path), "mine\r\nchild\r\nmine again\r\n");
}

TEST(WindowsHost, TellsARunningProcessFromOneThatEnded)
{
    TempDrive drive;
    Host& host = systemHost();
    EXPECT_FALSE(host.processGone(host.processId()));
    long long pid = 0;
    {
        Child child("lock-exclusive", drive.root() / L"x.txt");
        ASSERT_TRUE(child.waitReady());
        pid = child.pid();
        EXPECT_FALSE(host.processGone(pid));
        EXPECT_EQ(child.finish(), 0u);
        EXPECT_TRUE(host.processGone(pid)); // ended, its handle still held here
    }
    EXPECT_TRUE(host.processGone(0));
    EXPECT_FALSE(host.machineName().empty());
    // The machine's GUID: one word, the same each time asked.
    const std::string id = host.machineId();
    EXPECT_NE(id, "-");
    EXPECT_EQ(id.find(' '), std::string::npos);
    EXPECT_EQ(host.machineId(), id);
}

TEST(WindowsHost, PathsLongerThanMaxPathTakeTheLongForm)
{
    const std::wstring folder(200, L'f');
    const std::wstring name(100, L'n');
    const struct {
        std::wstring path;
        std::wstring wide;
    } rows[] = {
        {L"C:\\drovnel\\a.txt", L"C:\\drovnel\\a.txt"},
        {L"drovnel\\" + folder + L"\\" + name, L"drovnel\\" + folder + L"\\" + name}, // relative: as it is
        {L"C:\\" + folder + L"\\" + name, L"\\\\?\\C:\\" + folder + L"\\" + name},
        {L"C:/" + folder + L"/x/../" + name, L"\\\\?\\C:\\" + folder + L"\\" + name},
        {L"\\\\server\\share\\" + folder + L"\\" + name, L"\\\\?\\UNC\\server\\share\\" + folder + L"\\" + name},
        {L"\\\\?\\C:\\" + folder + L"\\" + name, L"\\\\?\\C:\\" + folder + L"\\" + name},
    };
    for (const auto& row : rows)
        EXPECT_EQ(extendedPath(row.path), row.wide) << utf8FromWide(row.path);

    // A student's file 300 characters deep is made, written and read back.
    TempDrive drive;
    Host& host = systemHost();
    const fs::path deep = drive.root() / folder;
    host.makeFolder(deep);
    const fs::path path = deep / (name + L".txt");
    ASSERT_GT(path.native().size(), static_cast<std::size_t>(MAX_PATH));
    const Host::Opened opened = host.open(path, FileMode::Append);
    bool written = false;
    host.writeAll(opened.handle, "deep\r\n", written);
    host.close(opened.handle);
    EXPECT_EQ(contents(path), "deep\r\n");
    EXPECT_TRUE(host.remove(path));
}

TEST(WindowsHost, DrivesAreTheRealDrives)
{
    EXPECT_EQ(defaultDriveRoot('C').native(), L"C:\\");
    EXPECT_EQ(defaultDriveRoot('I').native(), L"I:\\");
    EXPECT_TRUE(hostMatchesLetterCase());
}

TEST(WindowsHost, ReaderTellsMissingFilesAndFolders)
{
    TempDrive drive;
    const auto nothing = [](std::string_view) { return true; };
    EXPECT_EQ(readFilePieces(systemHost(), drive.root() / L"none.txt", nothing).kind, ReadOutcome::Missing);
    EXPECT_EQ(readFilePieces(systemHost(), drive.root() / L"none" / L"x.txt", nothing).kind, ReadOutcome::Missing);
    const ReadOutcome folder = readFilePieces(systemHost(), drive.root(), nothing);
    EXPECT_EQ(folder.kind, ReadOutcome::Folder);
    EXPECT_FALSE(folder.reason.empty());
    EXPECT_NE(folder.reason.back(), '.'); // "Access denied", ready to be quoted
    // A device is refused at once, and so is a file longer than the reader takes.
    EXPECT_EQ(readFilePieces(systemHost(), L"NUL", nothing).kind, ReadOutcome::NotAFile);
    writeBytes(drive.root() / L"long.txt", "0123456789");
    EXPECT_EQ(readFilePieces(systemHost(), drive.root() / L"long.txt", nothing, 9).kind, ReadOutcome::TooLarge);
    EXPECT_EQ(readFilePieces(systemHost(), drive.root() / L"long.txt", nothing, 10).kind, ReadOutcome::Read);
}

TEST(WindowsHost, WideTextRoundTrips)
{
    const std::string text = "Zo\xC3\xAB \xE2\x82\xAC \xF0\x9F\x98\x80"; // Zoë € and one beyond 16 bits
    EXPECT_EQ(wideFromUtf8(text), L"Zo\u00EB \u20AC \U0001F600");
    EXPECT_EQ(utf8FromWide(wideFromUtf8(text)), text);
    EXPECT_EQ(wideFromUtf8(""), L"");
}

// Each row: what GetLastError answered, for which call, and the program's
// number for it.
TEST(WindowsErrors, MapToTheProgramsNumbers)
{
    const struct {
        unsigned long error;
        HostCall call;
        int number;
    } rows[] = {
        {ERROR_FILE_NOT_FOUND, HostCall::OpenToRead, err::FileNotFound},
        {ERROR_FILE_NOT_FOUND, HostCall::OpenToWrite, err::PathNotFound},
        {ERROR_FILE_NOT_FOUND, HostCall::MakeFolder, err::PathNotFound},
        {ERROR_PATH_NOT_FOUND, HostCall::OpenToRead, err::PathNotFound},
        {ERROR_PATH_NOT_FOUND, HostCall::OpenToWrite, err::PathNotFound},
        {ERROR_INVALID_DRIVE, HostCall::OpenToWrite, err::PathNotFound},
        {ERROR_BAD_NETPATH, HostCall::OpenToRead, err::PathNotFound},
        {ERROR_NOT_READY, HostCall::MakeFolder, err::PathNotFound},
        {ERROR_FILENAME_EXCED_RANGE, HostCall::OpenToWrite, err::PathNotFound},
        {ERROR_INVALID_NAME, HostCall::OpenToWrite, err::BadFileNameOrNumber},
        {ERROR_ACCESS_DENIED, HostCall::OpenToRead, err::PathFileAccessError},
        {ERROR_ACCESS_DENIED, HostCall::OpenToWrite, err::PathFileAccessError},
        {ERROR_ACCESS_DENIED, HostCall::MakeFolder, err::PathFileAccessError},
        {ERROR_ACCESS_DENIED, HostCall::Write, err::PermissionDenied},
        {ERROR_ALREADY_EXISTS, HostCall::MakeFolder, err::PathFileAccessError},
        {ERROR_SHARING_VIOLATION, HostCall::OpenToWrite, err::PermissionDenied},
        {ERROR_SHARING_VIOLATION, HostCall::OpenToRead, err::PermissionDenied},
        {ERROR_LOCK_VIOLATION, HostCall::Write, err::PermissionDenied},
        {ERROR_WRITE_PROTECT, HostCall::OpenToWrite, err::PermissionDenied},
        {ERROR_WRITE_PROTECT, HostCall::Write, err::PermissionDenied},
        {ERROR_DISK_FULL, HostCall::Write, err::DiskFull},
        {ERROR_HANDLE_DISK_FULL, HostCall::Write, err::DiskFull},
        {ERROR_HANDLE_DISK_FULL, HostCall::OpenToWrite, err::DiskFull},
        {1295 /* ERROR_DISK_QUOTA_EXCEEDED */, HostCall::Write, err::DiskFull},
        {ERROR_FILE_TOO_LARGE, HostCall::Write, err::DiskFull},
        {ERROR_TOO_MANY_OPEN_FILES, HostCall::OpenToRead, err::TooManyFiles},
        {ERROR_TOO_MANY_OPEN_FILES, HostCall::Write, err::DeviceIOError},
        {ERROR_NETNAME_DELETED, HostCall::Write, err::DeviceIOError},
        {ERROR_CRC, HostCall::OpenToRead, err::DeviceIOError},
        {ERROR_NOT_READY, HostCall::Write, err::DeviceIOError},
        {ERROR_INVALID_PARAMETER, HostCall::OpenToWrite, err::PathFileAccessError},
        {ERROR_INVALID_PARAMETER, HostCall::Write, err::DeviceIOError},
    };
    for (const auto& row : rows)
        EXPECT_EQ(windowsErrorNumber(row.error, row.call), row.number)
            << "error " << row.error << ", call " << static_cast<int>(row.call);
}

// The second process. Modes:
//   lock-exclusive, lock-shared  opens PATH through the host (Append, or
//                                Input) and takes its lock;
//   hold-unshared                opens PATH as a program that shares it with
//                                no one;
//   append-shared                opens PATH as another run would, while this
//                                one has it open, and appends "child";
// then signals NAME-ready and waits for NAME-go. Exits 0 when all went well.
int childMain(const std::string& mode, const std::string& path, const std::string& name)
{
    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, wideFromUtf8(name + "-ready").c_str());
    const HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, wideFromUtf8(name + "-go").c_str());
    if (!ready || !go)
        return 2;
    const fs::path file = hostPathFromUtf8(path);
    Host& host = systemHost();
    HANDLE held = INVALID_HANDLE_VALUE;
    try {
        if (mode == "lock-exclusive" || mode == "lock-shared") {
            const bool shared = mode == "lock-shared";
            if (shared)
                host.close(host.open(file, FileMode::Append).handle);
            const Host::Opened opened = host.open(file, shared ? FileMode::Input : FileMode::Append);
            if (host.tryLock(opened.handle, shared) != LockAnswer::Locked)
                return 3;
            bool written = false;
            if (!shared)
                host.writeAll(opened.handle, "child\r\n", written);
            held = reinterpret_cast<HANDLE>(opened.handle);
        } else if (mode == "hold-unshared") {
            held = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
            if (held == INVALID_HANDLE_VALUE)
                return 4;
        } else if (mode == "append-shared") {
            const Host::Opened opened = host.open(file, FileMode::Append);
            bool written = false;
            host.writeAll(opened.handle, "child\r\n", written);
            host.close(opened.handle);
        } else {
            return 5;
        }
    } catch (const RunError& e) {
        return 100 + e.number();
    }
    SetEvent(ready);
    WaitForSingleObject(go, 20000);
    if (held != INVALID_HANDLE_VALUE)
        CloseHandle(held);
    return 0;
}

} // namespace
} // namespace qal

int main(int argc, char* argv[])
{
    const std::vector<std::string> arguments = qal::commandLineArguments(argc, argv);
    if (arguments.size() == 5 && arguments[1] == "--child")
        return qal::childMain(arguments[2], arguments[3], arguments[4]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
