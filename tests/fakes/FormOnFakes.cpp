#include "fakes/FormOnFakes.h"

#include <filesystem>

namespace qal::test {

RunState& stateOf(LessonForm& form)
{
    return form.s_;
}

std::deque<std::string> annLee(const std::string& assignment)
{
    return {"1", "Ann Lee", "ALX", assignment};
}

void startUp(LessonForm& form, FakeToolkit& toolkit, std::deque<std::string> replies, std::vector<std::string> lesson)
{
    if (!lesson.empty())
        form.setLessonLines(std::move(lesson));
    toolkit.replies = std::move(replies);
    form.Form_Load();
}

void FormOnFakes::afterStartUp(std::vector<std::string> lesson)
{
    random.values = {0.4f}; // 0.4 * 10 + 19: code number 23
    startUp(annLee(), std::move(lesson));
    for (const auto& entry : std::filesystem::directory_iterator(drive.drovnel()))
        std::filesystem::remove(entry.path());
    toolkit = FakeToolkit{};
    random = ScriptedRandom{};
}

} // namespace qal::test
