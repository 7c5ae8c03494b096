#pragma once

#include <concepts>
#include <ostream>
#include <string>

namespace qal::test {

// A row of a case table: a struct whose first member, `name`, names the case
// in CamelCase. The name is what GoogleTest shows for the row and the name of
// the test it makes:
//
//   INSTANTIATE_TEST_SUITE_P(Rows, SomeTest, ::testing::ValuesIn(cases), caseName);
//
// A file with case tables brings PrintTo into its own namespace
// (`using test::PrintTo;`), where GoogleTest looks for it.
template <class Case>
concept NamedCase = std::convertible_to<decltype(Case::name), std::string>;

template <NamedCase Case> void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.name;
}

inline constexpr auto caseName = [](const auto& info) { return std::string(info.param.name); };

} // namespace qal::test
