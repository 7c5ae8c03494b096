#pragma once

#include <cstddef>

namespace qal {

// How much of a lesson the program holds and opens. The lesson line table has
// slots 1 to 5000, one lesson line a slot (slot 0 is unused); the
// start-question table has a row for each assignment number from 0 to 100
// and a column for each question from 0 to 50, and an assignment number
// outside its rows fails there.
inline constexpr std::size_t maxLessonLines = 5000;
inline constexpr int highestAssignment = 100;
inline constexpr int lastQuestionColumn = 50;

} // namespace qal
