#include "run/LessonFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace qal {

void LessonLineSplitter::feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false; // the LF of a CR LF
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            lines_.push_back(std::move(current_));
            current_.clear();
            inLine_ = false;
        } else {
            current_.push_back(c);
            inLine_ = true;
        }
    }
}

std::vector<std::string> LessonLineSplitter::finish()
{
    if (inLine_)
        lines_.push_back(std::move(current_));
    current_.clear();
    inLine_ = false;
    afterCr_ = false;
    return std::move(lines_);
}

std::vector<std::string> splitLessonLines(std::string_view bytes)
{
    LessonLineSplitter splitter;
    splitter.feed(bytes);
    return splitter.finish();
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::string systemReason(int number)
{
    return std::generic_category().message(number);
}

// Why the first bytes of a file show that it is not Windows-1252 text, or
// empty text. Byte order marks are only ever written by editors saving UTF-8
// or UTF-16, and Windows-1252 text never begins with them in practice.
std::string encodingRefusal(std::string_view start)
{
    if (start.substr(0, 3) == "\xEF\xBB\xBF")
        return "it is UTF-8 text with a byte order mark; save it as Windows-1252 (ANSI) text";
    if (start.substr(0, 2) == "\xFF\xFE" || start.substr(0, 2) == "\xFE\xFF")
        return "it is UTF-16 text; save it as Windows-1252 (ANSI) text";
    return {};
}

LessonFile refused(std::string reason)
{
    return LessonFile{{}, std::move(reason)};
}

} // namespace

LessonFile readLessonFile(const std::string& path)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found)
        return refused("it does not exist");
    if (ec)
        return refused("it cannot be opened: " + ec.message());
    if (status.type() == fs::file_type::directory)
        return refused("it is a folder, not a file");

    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return refused("it cannot be opened: " + systemReason(errno));

    LessonLineSplitter splitter;
    std::string chunk(64 * 1024, '\0');
    std::size_t total = 0;
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        if (got == 0)
            break;
        const std::string_view piece(chunk.data(), got);
        if (total == 0) {
            if (std::string reason = encodingRefusal(piece); !reason.empty())
                return refused(std::move(reason));
        }
        if (const std::size_t nul = piece.find('\0'); nul != std::string_view::npos) {
            splitter.feed(piece.substr(0, nul));
            return refused("line " + std::to_string(splitter.endedLines() + 1) +
                           " holds a NUL byte, so it is not Windows-1252 text");
        }
        total += got;
        splitter.feed(piece);
        if (splitter.lineCount() > maxLessonLines)
            return refused("it has more than " + std::to_string(maxLessonLines) + " lines");
    }
    if (std::ferror(file.get()))
        return refused("it cannot be read: " + systemReason(errno));
    if (total == 0)
        return refused("it is empty");
    return LessonFile{splitter.finish(), {}};
}

std::string lessonFileRefusalLine(const std::string& path, const std::string& refusal)
{
    return "qalesson: cannot use the lesson file \"" + path + "\": " + refusal + ".";
}

} // namespace qal
