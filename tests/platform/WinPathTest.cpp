#include "platform/RunError.h"
#include "platform/WinPath.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <cstdlib>

namespace qal {
namespace {

namespace fs = std::filesystem;
using test::TempDrive;

TEST(WinPath, DriveCMapsToItsFolderAndBackslashesSeparate)
{
    TempDrive drive;
    EXPECT_EQ(hostPath("c:\\drovnel\\masterFile_Ann_Lee.txt"), drive.root() / "drovnel" / "masterFile_Ann_Lee.txt");
    EXPECT_EQ(hostPath("C:\\drovnel"), drive.root() / "drovnel");
}

TEST(WinPath, DriveCDefaultsToTheHomeFolder)
{
    TempDrive drive; // sets QALESSON_DRIVE_C; take it away for this test
    unsetenv("QALESSON_DRIVE_C");
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    setenv("HOME", drive.root().c_str(), 1);
    EXPECT_EQ(hostPath("c:\\drovnel\\x.txt"), drive.root() / "drovnel" / "x.txt");
    setenv("HOME", saved.c_str(), 1);
}

TEST(WinPath, OtherDrivesNeedAMapping)
{
    TempDrive drive;
    unsetenv("QALESSON_DRIVE_I");
    try {
        hostPath("i:\\bkp_000416\\My Documents\\lb1\\x.txt");
        ADD_FAILURE() << "unmapped drive accepted";
    } catch (const RunError& e) {
        EXPECT_EQ(e.number(), err::PathNotFound);
    }
    setenv("QALESSON_DRIVE_I", (drive.root() / "lan").c_str(), 1);
    EXPECT_EQ(hostPath("i:\\bkp_000416\\My Documents\\x.txt"),
              drive.root() / "lan" / "bkp_000416" / "My Documents" / "x.txt");
    unsetenv("QALESSON_DRIVE_I");
}

TEST(WinPath, ExistingNamesMatchWithoutRegardToLetterCase)
{
    TempDrive drive;
    fs::create_directories(drive.root() / "Drovnel");
    test::writeBytes(drive.root() / "Drovnel" / "masterFile_ann_lee.txt", "x");
    // An existing file and folder are found whatever the case typed...
    EXPECT_EQ(hostPath("c:\\drovnel\\masterFile_Ann_Lee.txt"), drive.root() / "Drovnel" / "masterFile_ann_lee.txt");
    // ...a new name keeps the case given.
    EXPECT_EQ(hostPath("c:\\DROVNEL\\New_File.txt"), drive.root() / "Drovnel" / "New_File.txt");
}

TEST(WinPath, AmongNamesThatDifferInCaseTheExactOneThenTheRightKindThenTheFirst)
{
    // Windows never holds two names that differ only in case; the host may,
    // and whichever entry the folder lists first must not decide.
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

} // namespace
} // namespace qal
