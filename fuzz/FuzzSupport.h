#pragma once

// What the fuzz targets share: a run of the program on the fake toolkit that
// never writes a file, and a hard stop when a rule of the program is broken.

#include "paging/LessonLineText.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "platform/RunError.h"
#include "run/LessonForm.h"

#include "fakes/FakeClock.h"
#include "fakes/FakeToolkit.h"
#include "fakes/FaultyHost.h"
#include "fakes/FormOnFakes.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace qal::fuzz {

// Reports a broken rule and aborts, so libFuzzer keeps the input.
[[noreturn]] inline void broken(const char* rule, const std::string& detail = {})
{
    std::fprintf(stderr, "broken: %s %s\n", rule, detail.c_str());
    std::abort();
}

inline void require(bool holds, const char* rule, const std::string& detail = {})
{
    if (!holds)
        broken(rule, detail);
}

// Every open fails: a run keeps to memory, and the reader and commands meet
// a failing file at every turn, as on a missing base folder.
class NoFiles : public test::FaultyHost {
public:
    int beforeOpen(int, FileMode) override { return err::PathFileAccessError; }
};

// True when text is one of the program's three message forms.
inline bool knownMessage(const std::string& text)
{
    if (text == invalidAssignmentMessage)
        return true;
    const std::string general = LessonForm::generalErrorMessage;
    if (text.compare(0, general.size(), general) == 0) {
        const std::string number = text.substr(general.size());
        return !number.empty() && number.find_first_not_of("0123456789") == std::string::npos;
    }
    const std::string runtime = "Run-time error '";
    if (text.compare(0, runtime.size(), runtime) != 0)
        return false;
    const std::size_t end = text.find("':\r\n\r\n");
    if (end == std::string::npos)
        return false;
    const int number = std::atoi(text.c_str() + runtime.size());
    return text.substr(end + 6) == errorText(number);
}

// Points drive C at a fresh temporary folder, so start-up's folder lands
// there and not in the home folder.
inline void useTemporaryDriveC()
{
    static std::string folder;
    if (!folder.empty())
        return;
    char pattern[] = "/tmp/qalesson-fuzz-XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    folder = pattern;
    setenv("QALESSON_DRIVE_C", folder.c_str(), 1);
}

} // namespace qal::fuzz
