#include "recording/RecordFiles.h"

#include "platform/RunError.h"

namespace qal {

RecordFiles::RecordFiles(FileTable& files, std::vector<int> numbers, const std::vector<std::string>& paths)
    : files_(files), numbers_(std::move(numbers))
{
    for (int number : numbers_)
        files_.close(number);
    try {
        for (std::size_t i = 0; i < numbers_.size(); ++i)
            files_.open(numbers_[i], paths.at(i), FileMode::Append);
    } catch (const RunError&) {
        abandonQuietly();
        throw;
    }
}

RecordFiles::~RecordFiles()
{
    if (!closed_)
        abandonQuietly();
}

void RecordFiles::close(bool finishing)
{
    // Whatever happens, the unit is over: closeUnit leaves no number open.
    closed_ = true;
    files_.closeUnit(numbers_, finishing ? FileTable::Finish::Unfinished : FileTable::Finish::New);
}

void RecordFiles::abandonQuietly() noexcept
{
    // Nothing has reached the files before close(), so there is nothing to
    // cut back that could fail; the failure to report is the one under way.
    try {
        files_.abandonUnit(numbers_, err::DeviceIOError);
    } catch (const RunError&) {
    }
}

} // namespace qal
