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

// A run-time failure with its platform error number.
class RunError : public std::runtime_error {
public:
    explicit RunError(int number);
    // A failed header block or record that could not be taken back out of
    // some of its files: they may now end in part of it (Windows paths).
    RunError(int number, std::vector<std::string> partialFiles);
    int number() const noexcept { return number_; }
    const std::vector<std::string>& partialFiles() const noexcept { return partialFiles_; }

private:
    int number_;
    std::vector<std::string> partialFiles_;
};

// Thrown to end the program at once: it unwinds out of whatever command is
// running, so no further step of it runs. The command dispatcher
// (LessonForm::dispatch) is the one place that catches it: it closes every
// file and tells the toolkit to close the window for good. Deliberately not derived
// from std::exception so that no failure handler can swallow it.
struct EndProgram {};

} // namespace qal
