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
        closeQuietly();
        throw;
    }
}

RecordFiles::~RecordFiles()
{
    if (!closed_)
        closeQuietly();
}

void RecordFiles::write(const std::string& text)
{
    for (int number : numbers_)
        files_.writeLine(number, text);
}

void RecordFiles::close()
{
    for (int number : numbers_)
        files_.close(number);
    closed_ = true;
}

void RecordFiles::closeQuietly() noexcept
{
    // The first failure is the one to report; one in closing after it adds
    // nothing the student can act on.
    for (int number : numbers_) {
        try {
            files_.close(number);
        } catch (const RunError&) {
        }
    }
}

} // namespace qal
