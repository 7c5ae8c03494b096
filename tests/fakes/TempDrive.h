#pragma once

#include <filesystem>
#include <string>

namespace qal::test {

// A fresh temporary folder that stands in for drive C: while the object
// lives (QALESSON_DRIVE_C points at it), so "c:\drovnel\..." lands inside it
// and no test touches the real home folder. Removed again on destruction.
class TempDrive {
public:
    TempDrive();
    ~TempDrive();
    TempDrive(const TempDrive&) = delete;
    TempDrive& operator=(const TempDrive&) = delete;

    const std::filesystem::path& root() const { return root_; }
    // root()/drovnel, created on request.
    std::filesystem::path drovnel(bool create = true) const;

private:
    std::filesystem::path root_;
    std::string oldValue_;
    bool hadOld_ = false;
};

// The whole content of a file as bytes; empty when it does not exist.
std::string readBytes(const std::filesystem::path& path);
// Writes bytes to a file, replacing it.
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

} // namespace qal::test
