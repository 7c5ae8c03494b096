// A real disk that fills up in the middle of a record: a 40 KiB tmpfs as
// drive C, two pages left, a long answer pasted. Needs a mount of its own,
// made in a mount namespace (and a user namespace when not root); where the
// machine allows neither, the test is skipped.

#include "platform/FileTable.h"
#include "run/LessonForm.h"

#include "fakes/FormOnFakes.h"
#include "fakes/FakeToolkit.h"
#include "fakes/TempDrive.h"
#include "robustness/RecordLayout.h"

#include <gtest/gtest.h>

#ifdef _WIN32

TEST(DiskFullTest, ASmallDiskFullMidRecordLeavesBothFilesAsTheyWere)
{
    GTEST_SKIP() << "needs a small disk of its own: a tmpfs mounted in a Linux mount namespace";
}

#else

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace qal::test {
namespace {

namespace fs = std::filesystem;

constexpr int skipped = 77;

bool writeTo(const char* path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out.flush());
}

// In a child process: a mount namespace of its own, with a user namespace
// first when not root. False when the machine does not allow it.
bool privateMounts()
{
    if (::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0)
        return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    return writeTo("/proc/self/setgroups", "deny") &&
           writeTo("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
           writeTo("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1") &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// What the child found wrong, one line each; empty when all held.
std::string fillTheDiskMidRecord()
{
    std::ostringstream problems;
    const auto expect = [&](bool ok, const std::string& what) {
        if (!ok)
            problems << what << '\n';
    };
    FormOnFakes run;
    // The fake form's drive C is its own folder; put the small disk there.
    const fs::path c = run.drive.root();
    if (::mount("tmpfs", c.c_str(), "tmpfs", 0, "size=40k") != 0)
        return "SKIP";
    run.startUp(annLee());
    run.form.cmdNextQuestion_Click();
    expect(run.toolkit.messages.empty(), "start-up failed");

    const fs::path drovnel = c / "drovnel";
    const fs::path master = drovnel / "masterFile_Ann_Lee.txt";
    const fs::path send = drovnel / "send_1207Ann_Lee.txt";
    // Fill the disk but for two pages.
    struct statvfs st {};
    ::statvfs(c.c_str(), &st);
    const std::size_t free = st.f_bavail * st.f_bsize;
    writeBytes(c / "filler", std::string(free > 8192 ? free - 8192 : 0, 'f'));
    const std::string masterBefore = readBytes(master);
    const std::string sendBefore = readBytes(send);

    const std::string answer = "A long answer " + std::string(9100 - 14, 'w');
    run.toolkit.answerBox = answer;
    run.form.cmd_enter_response_Click();
    expect(run.toolkit.messages == std::vector<std::string>{runtimeError(61, "Disk full")},
           "not reported as a full disk: " + (run.toolkit.messages.empty() ? "" : run.toolkit.messages.back()));
    expect(run.toolkit.answerBox == answer, "the answer left its box");
    expect(readBytes(master) == masterBefore, "the master file changed");
    expect(readBytes(send) == sendBefore, "the send file changed");

    // Room again: the retry writes the record once, whole.
    fs::remove(c / "filler");
    run.toolkit.messages.clear();
    run.form.cmd_enter_response_Click();
    expect(run.toolkit.messages.empty(), "the retry failed");
    for (const auto& [path, kind] : {std::pair{master, RecordFileKind::Master}, {send, RecordFileKind::Send}}) {
        const RecordFile parsed = parseRecordFile(readBytes(path), kind);
        expect(parsed.whole(), path.filename().string() + ": " + parsed.error);
        expect(parsed.blocks.size() == 2 && parsed.blocks.back().text == answer,
               path.filename().string() + " does not end in the record, once");
    }
    ::umount(c.c_str());
    return problems.str();
}

TEST(DiskFullTest, ASmallDiskFullMidRecordLeavesBothFilesAsTheyWere)
{
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        if (!privateMounts())
            _exit(skipped);
        const std::string problems = fillTheDiskMidRecord();
        if (problems == "SKIP")
            _exit(skipped);
        [[maybe_unused]] const ssize_t n = ::write(report[1], problems.data(), problems.size());
        _exit(problems.empty() ? 0 : 1);
    }
    ::close(report[1]);
    std::string problems;
    char bytes[4096];
    for (ssize_t n; (n = ::read(report[0], bytes, sizeof bytes)) > 0;)
        problems.append(bytes, static_cast<std::size_t>(n));
    ::close(report[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == skipped)
        GTEST_SKIP() << "no mount of a small tmpfs allowed here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << problems;
    EXPECT_EQ(problems, "");
}

} // namespace
} // namespace qal::test

#endif
