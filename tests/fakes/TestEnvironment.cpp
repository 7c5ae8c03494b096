#include "fakes/TestEnvironment.h"

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <system_error>

namespace qal::test {

void setVariable(const std::string& name, const std::filesystem::path& value)
{
#ifdef _WIN32
    const std::wstring wideName(name.begin(), name.end()); // names are ASCII
    _wputenv_s(wideName.c_str(), value.c_str());
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetVariable(const std::string& name)
{
#ifdef _WIN32
    _putenv_s(name.c_str(), ""); // an empty value removes it
#else
    unsetenv(name.c_str());
#endif
}

std::optional<std::string> variable(const std::string& name)
{
    if (const char* value = std::getenv(name.c_str()))
        return std::string(value);
    return std::nullopt;
}

std::filesystem::path makeTempFolder(const std::string& prefix)
{
    static std::mt19937_64 draw{std::random_device{}()};
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = temp / (prefix + std::to_string(draw() % 1'000'000'000'000ULL));
        std::error_code ec;
        // create_directory answers false, without an error, when the name was
        // taken already: then try another.
        if (std::filesystem::create_directory(folder, ec))
            return folder;
        if (ec)
            throw std::system_error(ec, "cannot make a temporary folder");
    }
    throw std::runtime_error("no free name for a temporary folder");
}

ScopedVariable::ScopedVariable(std::string name, const std::optional<std::filesystem::path>& value)
    : name_(std::move(name)), old_(variable(name_))
{
    if (value)
        setVariable(name_, *value);
    else
        unsetVariable(name_);
}

ScopedVariable::~ScopedVariable()
{
    if (old_)
        setVariable(name_, std::filesystem::path(*old_));
    else
        unsetVariable(name_);
}

} // namespace qal::test
