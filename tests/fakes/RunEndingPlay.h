#pragma once

#include "instructor/LessonCheck.h"

#include <string>
#include <vector>

namespace qal::test {

// Plays one way the lesson checker says a student's run ends on the real
// form, on the fake toolkit with every file refused (nothing is written):
// start-up with the assignment typed as its number, the Next Question clicks
// and the next picture click the ending names. Returns what the form did
// otherwise (empty when it ended the run as the checker says: at that click
// and no earlier, on that line, for that reason).
std::string formDisagrees(const std::vector<std::string>& lesson, const RunEnding& ending);

// Plays `nextQuestionClicks` clicks of Next Question and then, when
// withNextPicture, one of next picture, where the checker names no ending:
// returns what the form did otherwise (empty when the run is still on).
std::string formEndsUnannounced(const std::vector<std::string>& lesson, int assignment, int nextQuestionClicks,
                                bool withNextPicture);

// The reason as a word, for messages.
const char* reasonName(RunEnd reason);

} // namespace qal::test
