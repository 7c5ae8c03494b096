#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace qal {

// The run-time error numbers of the original platform. Failures everywhere in
// the program carry one of these, and the messages the student sees quote it.
namespace err {
constexpr int InvalidProcedureCall = 5;
constexpr int Overflow = 6;
constexpr int SubscriptOutOfRange = 9;
constexpr int TypeMismatch = 13;
constexpr int BadFileNameOrNumber = 52;
constexpr int FileNotFound = 53;
constexpr int BadFileMode = 54;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIOError = 57;
constexpr int DiskFull = 61;
constexpr int InputPastEndOfFile = 62;
constexpr int TooManyFiles = 67;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccessError = 75;
constexpr int PathNotFound = 76;
constexpr int CantOpenClipboard = 521;
} // namespace err

// The platform's text for an error number, e.g. 61 -> "Disk full".
// Unknown numbers give "Application-defined or object-defined error".
std::string errorText(int number);

// How the platform reports a run-time error that no handler of the program
// took care of, e.g. "Run-time error '61':", an empty line, "Disk full"
// (lines broken by CR LF). Also the RunError's what().
std::string runTimeErrorMessage(int number);

// What one file holds of a header block or record that failed and could
// not be taken back out of every file (Journal.h's unitHeld tells it).
enum class UnitHeld {
    Whole,   // the whole of it
    Part,    // the start of it, cut short
    None,    // nothing of it
    Changed, // someone else changed the file since: it may hold part of it
};
struct UnitFileHeld {
    std::string path; // the Windows path, as the program names the file
    UnitHeld held = UnitHeld::None;
    bool operator==(const UnitFileHeld&) const = default;
};

// A run-time failure with its platform error number.
class RunError : public std::runtime_error {
public:
    explicit RunError(int number);
    // A failed header block or record that could not be taken back out of
    // every one of its files: what each of them holds of it now, in the
    // unit's order.
    RunError(int number, std::vector<UnitFileHeld> unitFiles);
    int number() const noexcept { return number_; }
    const std::vector<UnitFileHeld>& unitFiles() const noexcept { return unitFiles_; }
    // True when some file holds something of the failed unit.
    bool leftInFiles() const noexcept;

private:
    int number_;
    std::vector<UnitFileHeld> unitFiles_;
};

// Thrown to end the program at once: it unwinds out of whatever command is
// running, so no further step of it runs. The command dispatcher
// (LessonForm::dispatch) is the one place that catches it: it closes every
// file and tells the toolkit to close the window for good. Deliberately not derived
// from std::exception so that no failure handler can swallow it.
struct EndProgram {};

} // namespace qal
