#include "fakes/TempDrive.h"

#include "fakes/TestEnvironment.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace qal::test {

TempDrive::TempDrive() : root_(makeTempFolder("qalesson-"))
{
    if (const auto old = variable("QALESSON_DRIVE_C")) {
        hadOld_ = true;
        oldValue_ = *old;
    }
    setVariable("QALESSON_DRIVE_C", root_);
}

TempDrive::~TempDrive()
{
    if (hadOld_)
        setVariable("QALESSON_DRIVE_C", std::filesystem::path(oldValue_));
    else
        unsetVariable("QALESSON_DRIVE_C");
    std::error_code ec;
    // Give back write permission first, in case a test took it away.
    for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     ec);
    std::filesystem::remove_all(root_, ec);
}

std::filesystem::path TempDrive::drovnel(bool create) const
{
    auto dir = root_ / "drovnel";
    if (create)
        std::filesystem::create_directories(dir);
    return dir;
}

std::string readBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace qal::test
