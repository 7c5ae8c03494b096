#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace qal::test {

// The few host services the tests need that POSIX and Windows spell
// differently (setenv and _wputenv_s, mkdtemp and nothing).

// Sets an environment variable of this process; a path keeps every
// character (UTF-16 on Windows).
void setVariable(const std::string& name, const std::filesystem::path& value);
void unsetVariable(const std::string& name);
// The variable's value, or nothing when it is not set.
std::optional<std::string> variable(const std::string& name);

// A new, empty folder of this process's own in the temporary folder, its name
// starting with prefix.
std::filesystem::path makeTempFolder(const std::string& prefix);

// A variable set for as long as the object lives, then put back as it was.
class ScopedVariable {
public:
    // value empty: the variable is unset meanwhile.
    ScopedVariable(std::string name, const std::optional<std::filesystem::path>& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

} // namespace qal::test
