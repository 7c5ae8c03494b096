#include "platform/CodePage.h"
#include "platform/FileTable.h"
#include "platform/Host.h"
#include "platform/RunError.h"
#include "platform/WinPath.h"

#include "fakes/TempDrive.h"
#include "fakes/TestEnvironment.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::ScopedVariable;
using test::TempDrive;

// A name given in UTF-8 as the host spells it (UTF-16 on Windows).
fs::path onHost(const std::string& utf8)
{
    return hostPathFromUtf8(utf8);
}

TEST(WinPath, DriveCMapsToItsFolderAndBackslashesSeparate)
{
    TempDrive drive;
    EXPECT_EQ(hostPath("c:\\drovnel\\masterFile_Ann_Lee.txt"), drive.root() / "drovnel" / "masterFile_Ann_Lee.txt");
    EXPECT_EQ(hostPath("C:\\drovnel"), drive.root() / "drovnel");
}

#ifdef _WIN32
TEST(WinPath, UnmappedDrivesAreTheRealDrives)
{
    const ScopedVariable unmapped("QALESSON_DRIVE_C", std::nullopt);
    EXPECT_EQ(hostPath("c:\\drovnel\\x.txt"), fs::path(L"C:\\drovnel\\x.txt"));
    EXPECT_EQ(hostPath("\\drovnel"), fs::path(L"C:\\drovnel"));
}
#else
TEST(WinPath, DriveCDefaultsToTheHomeFolder)
{
    TempDrive drive;
    const ScopedVariable unmapped("QALESSON_DRIVE_C", std::nullopt);
    const ScopedVariable home("HOME", drive.root());
    EXPECT_EQ(hostPath("c:\\drovnel\\x.txt"), drive.root() / "drovnel" / "x.txt");
}
#endif

TEST(WinPath, OtherDrivesNeedAMapping)
{
    TempDrive drive;
    {
        const ScopedVariable unmapped("QALESSON_DRIVE_I", std::nullopt);
#ifdef _WIN32
        // The real drive I:, which the test machine lacks (Wine has C: and
        // Z:): the path is made, opening it finds no such path.
        EXPECT_EQ(hostPath("i:\\bkp_000416\\x.txt"), fs::path(L"I:\\bkp_000416\\x.txt"));
        FileTable files;
        try {
            files.open(1, "i:\\bkp_000416\\My Documents\\lb1\\x.txt", FileMode::Append);
            ADD_FAILURE() << "a file on a missing drive opened";
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), err::PathNotFound);
        }
#else
        try {
            hostPath("i:\\bkp_000416\\My Documents\\lb1\\x.txt");
            ADD_FAILURE() << "unmapped drive accepted";
        } catch (const RunError& e) {
            EXPECT_EQ(e.number(), err::PathNotFound);
        }
#endif
    }
    const ScopedVariable mapped("QALESSON_DRIVE_I", drive.root() / "lan");
    EXPECT_EQ(hostPath("i:\\bkp_000416\\My Documents\\x.txt"),
              drive.root() / "lan" / "bkp_000416" / "My Documents" / "x.txt");
}

TEST(WinPath, ExistingNamesMatchWithoutRegardToLetterCase)
{
    TempDrive drive;
    fs::create_directories(drive.root() / "Drovnel");
    test::writeBytes(drive.root() / "Drovnel" / "masterFile_ann_lee.txt", "x");
    // An existing file and folder are found whatever the case typed (on
    // Windows by the file system itself, with the name as typed)...
    const fs::path existing = drive.root() / "Drovnel" / "masterFile_ann_lee.txt";
    const fs::path found = hostPath("c:\\drovnel\\masterFile_Ann_Lee.txt");
    EXPECT_TRUE(fs::equivalent(found, existing)) << found;
    if (!hostMatchesLetterCase()) {
        EXPECT_EQ(found, existing);
    }
    // ...a new name keeps the case given.
    const fs::path made = hostPath("c:\\DROVNEL\\New_File.txt");
    EXPECT_EQ(made.filename(), "New_File.txt");
    if (!hostMatchesLetterCase()) {
        EXPECT_EQ(made, drive.root() / "Drovnel" / "New_File.txt");
    }
}

TEST(WinPath, AmongNamesThatDifferInCaseTheExactOneThenTheRightKindThenTheFirst)
{
    // Windows never holds two names that differ only in case; the host may,
    // and whichever entry the folder lists first must not decide.
    if (hostMatchesLetterCase())
        GTEST_SKIP() << "this file system cannot hold two names that differ only in letter case";
    const struct {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> folders;
        const char* path;
        PathKind kind;
        const char* found; // relative to drive C
    } cases[] = {
        {"exact file over a folder in other case",
         {"d/masterFile_Ann_Lee.txt"},
         {"d/MasterFile_Ann_Lee.TXT"},
         "c:\\d\\masterFile_Ann_Lee.txt",
         PathKind::File,
         "d/masterFile_Ann_Lee.txt"},
        {"a file over a folder when a file is opened",
         {"d/masterfile_ann_lee.txt"},
         {"d/MasterFile_Ann_Lee.TXT"},
         "c:\\d\\masterFile_Ann_Lee.txt",
         PathKind::File,
         "d/masterfile_ann_lee.txt"},
        {"a folder over a file on the way",
         {"DROVNEL"},
         {"Drovnel"},
         "c:\\drovnel\\x.txt",
         PathKind::File,
         "Drovnel/x.txt"},
        {"a folder over a file when a folder is made",
         {"DROVNEL"},
         {"Drovnel"},
         "c:\\drovnel",
         PathKind::Folder,
         "Drovnel"},
        {"the first in byte order among several",
         {"d/NOTES.txt", "d/Notes.txt", "d/notes.TXT"},
         {},
         "c:\\d\\notes.txt",
         PathKind::File,
         "d/NOTES.txt"},
        {"only a folder: it is taken", {}, {"d/Notes.TXT"}, "c:\\d\\notes.txt", PathKind::File, "d/Notes.TXT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        for (const auto& folder : c.folders)
            fs::create_directories(drive.root() / folder);
        for (const auto& file : c.files) {
            fs::create_directories((drive.root() / file).parent_path());
            test::writeBytes(drive.root() / file, "x");
        }
        EXPECT_EQ(hostPath(c.path, c.kind), drive.root() / c.found);
    }
}

TEST(WinPath, Windows1252NamesAreUtf8OnTheHost)
{
    TempDrive drive;
    const struct {
        const char* windows;
        const char* host;
    } cases[] = {
        {"c:\\drovnel\\masterFile_Zo\xeb_Ann.txt", "drovnel/masterFile_Zo\xc3\xab_Ann.txt"},
        {"c:\\drovnel\\send_1207Jos\xe9_\x80.txt", "drovnel/send_1207Jos\xc3\xa9_\xe2\x82\xac.txt"},
        {"c:\\F\xfc\xdf"
         "e\\\x8a\x9c.txt",
         "F\xc3\xbc\xc3\x9f"
         "e/\xc5\xa0\xc5\x93.txt"},
        {"c:\\plain\\Ann_Lee.txt", "plain/Ann_Lee.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hostPath(c.windows), drive.root() / onHost(c.host)) << c.windows;
}

TEST(WinPath, EveryLetterOfTheCodePageMatchesItsOtherCaseAsOnWindows)
{
    // Small and capital letters of Windows-1252, pair by pair.
    const std::string small = "abcdefghijklmnopqrstuvwxyz"
                              "\xe0\xe1\xe2\xe3\xe4\xe5\xe6\xe7\xe8\xe9\xea\xeb\xec\xed\xee\xef"
                              "\xf0\xf1\xf2\xf3\xf4\xf5\xf6\xf8\xf9\xfa\xfb\xfc\xfd\xfe"
                              "\x9a\x9c\x9e\xff";
    const std::string capital = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                "\xc0\xc1\xc2\xc3\xc4\xc5\xc6\xc7\xc8\xc9\xca\xcb\xcc\xcd\xce\xcf"
                                "\xd0\xd1\xd2\xd3\xd4\xd5\xd6\xd8\xd9\xda\xdb\xdc\xdd\xde"
                                "\x8a\x8c\x8e\x9f";
    ASSERT_EQ(small.size(), capital.size());
    TempDrive drive;
    fs::create_directories(drive.root() / "d");
    for (std::size_t i = 0; i < small.size(); ++i) {
        for (const auto& [existing, typed] : {std::pair{small[i], capital[i]}, {capital[i], small[i]}}) {
            const fs::path made = drive.root() / "d" / onHost(cp1252ToUtf8("x" + std::string(1, existing) + ".txt"));
            test::writeBytes(made, "x");
            const fs::path found = hostPath("c:\\d\\x" + std::string(1, typed) + ".txt");
            // Matched by the program, or on Windows by the file system.
            EXPECT_TRUE(hostMatchesLetterCase() ? fs::exists(found) && fs::equivalent(found, made) : found == made)
                << "letter " << static_cast<int>(static_cast<unsigned char>(typed));
            fs::remove(made);
        }
    }
    // Not letter pairs: each stays a name of its own.
    const struct {
        const char* existing;
        const char* typed;
    } apart[] = {{"\xdf", "SS"}, {"\xd7", "\xf7"}, {"\xb5", "M"}, {"\x83", "F"}, {"\xaa", "A"}};
    for (const auto& c : apart) {
        test::writeBytes(drive.root() / "d" / onHost(cp1252ToUtf8(c.existing)), "x");
        const fs::path found = hostPath(std::string("c:\\d\\") + c.typed);
        EXPECT_EQ(found, drive.root() / "d" / onHost(cp1252ToUtf8(c.typed))) << c.typed;
        EXPECT_FALSE(fs::exists(found)) << c.typed;
        fs::remove(drive.root() / "d" / onHost(cp1252ToUtf8(c.existing)));
    }
}

TEST(WinPath, AFileNamedInTheOlderByteFormIsStillFound)
{
    // Earlier versions wrote the Windows-1252 bytes as the host's name. A
    // name found in that form comes with its UTF-8 form, to be renamed to.
    if (hostMatchesLetterCase())
        GTEST_SKIP() << "no older byte form on Windows: its names were always UTF-16";
    const struct {
        const char* what;
        std::vector<std::string> existing;
        const char* found;
        const char* utf8Form; // empty: none
    } cases[] = {
        {"the same name in bytes",
         {"masterFile_Zo\xeb_Ann.txt"},
         "masterFile_Zo\xeb_Ann.txt",
         "masterFile_Zo\xc3\xab_Ann.txt"},
        {"in bytes, other case",
         {"MASTERFILE_ZO\xcb_ANN.TXT"},
         "MASTERFILE_ZO\xcb_ANN.TXT",
         "MASTERFILE_ZO\xc3\x8b_ANN.TXT"},
        {"in UTF-8, other case", {"masterfile_ZO\xc3\x8b_ann.txt"}, "masterfile_ZO\xc3\x8b_ann.txt", ""},
        {"UTF-8 before bytes",
         {"masterFile_Zo\xeb_Ann.txt", "masterFile_Zo\xc3\xab_Ann.txt"},
         "masterFile_Zo\xc3\xab_Ann.txt",
         ""},
        {"none yet", {}, "masterFile_Zo\xc3\xab_Ann.txt", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDrive drive;
        for (const auto& name : c.existing)
            test::writeBytes(drive.drovnel() / name, "old\r\n");
        fs::path utf8Form = "not cleared";
        EXPECT_EQ(hostPath("c:\\drovnel\\masterFile_Zo\xeb_Ann.txt", PathKind::File, &utf8Form),
                  drive.drovnel() / c.found);
        EXPECT_EQ(utf8Form, *c.utf8Form ? drive.drovnel() / c.utf8Form : fs::path());
    }
}

} // namespace
} // namespace qal
