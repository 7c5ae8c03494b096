#include "platform/RunError.h"
#include "platform/WinPath.h"

#include "fakes/TempDrive.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(hostPath("i:\\bkp_000416\\My Documents\\x.txt"), drive.root() / "lan" / "bkp_000416" / "My Documents" / "x.txt");
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

} // namespace
} // namespace qal
