#include "paging/LessonReader.h"

#include "paging/LessonLimits.h"
#include "paging/LessonLineText.h"

namespace qal {

namespace {

constexpr int lastSlot = static_cast<int>(maxLessonLines);

bool inTable(int slot)
{
    return slot >= 0 && slot <= lastSlot;
}

std::string_view slotText(const LessonSlots& slots, int slot)
{
    return static_cast<std::size_t>(slot) < slots.size() ? std::string_view(slots[static_cast<std::size_t>(slot)])
                                                         : std::string_view();
}

} // namespace

HeaderSearch findHeader(const LessonSlots& slots, std::string_view header, int from)
{
    // Exactly four characters of the line are compared, so a number of four
    // or more characters never matches.
    for (int slot = from + 1;; ++slot) {
        if (!inTable(slot))
            return {slot, false};
        if (slotText(slots, slot).substr(0, 4) == header)
            return {slot, true};
    }
}

LessonRead readNextLine(const LessonSlots& slots, int counter, std::string_view nextAssignmentMarker)
{
    for (int slot = counter + 1;; ++slot) {
        if (!inTable(slot))
            return {slot, RunEnd::RanOff};
        const std::string_view line = slotText(slots, slot);
        if (line.empty())
            continue;
        // The end tests come in this order; both end before anything of the
        // line is shown or recorded.
        if (line.substr(0, 3) == nextAssignmentMarker)
            return {slot, RunEnd::NextAssignment};
        if (line.substr(0, endMarker.size()) == endMarker)
            return {slot, RunEnd::EndMarker};
        return {slot, RunEnd::None};
    }
}

NextQuestionClick nextQuestionClick(const LessonSlots& slots, int counter, std::string_view nextAssignmentMarker)
{
    NextQuestionClick click;
    click.first = readNextLine(slots, counter, nextAssignmentMarker);
    if (click.first.end != RunEnd::None)
        return click;
    const std::string_view line = slotText(slots, click.first.slot);
    click.runsRoutine = runByNextQuestion(line);
    if (!click.runsRoutine)
        return click;
    click.routineEnds = routineEndsRun(routineName(line));
    click.second = readNextLine(slots, click.first.slot, nextAssignmentMarker);
    return click;
}

int NextQuestionClick::shown() const
{
    if (end() != RunEnd::None)
        return 0;
    return runsRoutine ? second.slot : first.slot;
}

RunEnd NextQuestionClick::end() const
{
    if (first.end != RunEnd::None)
        return first.end;
    if (!runsRoutine)
        return RunEnd::None;
    return routineEnds ? RunEnd::Routine : second.end;
}

int NextQuestionClick::endSlot() const
{
    if (first.end != RunEnd::None || (runsRoutine && routineEnds))
        return first.slot;
    return runsRoutine && second.end != RunEnd::None ? second.slot : 0;
}

NextPictureClick nextPictureClick(const LessonSlots& slots, int counter)
{
    NextPictureClick click;
    click.counter = counter;
    for (int k = 1; k <= 2; ++k) {
        PicturePass& pass = click.passes[static_cast<std::size_t>(k - 1)];
        ++click.passCount;
        pass.slot = click.counter + k;
        if (!inTable(pass.slot)) {
            pass.pastTable = true;
            break;
        }
        const std::string_view line = slotText(slots, pass.slot);
        if (!startsWithRoutineMarker(line))
            continue;
        pass.routine = true;
        pass.endsRun = routineEndsRun(routineName(line));
        if (pass.endsRun)
            break;
        click.counter += k;
    }
    return click;
}

RunEnd NextPictureClick::end() const
{
    return passCount > 0 && passes[static_cast<std::size_t>(passCount - 1)].endsRun ? RunEnd::Routine : RunEnd::None;
}

int NextPictureClick::endSlot() const
{
    return end() == RunEnd::Routine ? passes[static_cast<std::size_t>(passCount - 1)].slot : 0;
}

} // namespace qal
