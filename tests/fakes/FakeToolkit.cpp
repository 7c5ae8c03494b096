#include "fakes/FakeToolkit.h"

#include "platform/RunError.h"

namespace qal::test {

namespace {
const char* paneName(Pane pane)
{
    return pane == Pane::Picture1 ? "Picture1" : "Picture2";
}
} // namespace

std::string FakeToolkit::inputBox(const std::string& prompt)
{
    prompts.push_back(prompt);
    if (replies.empty())
        return {}; // as if Cancel were pressed
    std::string reply = replies.front();
    replies.pop_front();
    return reply;
}

TypedAnswerChoice FakeToolkit::askRecordOrDiscard(const std::string& text, bool offerCancel)
{
    questions.push_back({text, offerCancel});
    if (choices.empty())
        return TypedAnswerChoice::Discard;
    const TypedAnswerChoice choice = choices.front();
    choices.pop_front();
    return choice;
}

void FakeToolkit::setPaneScaleHeight(Pane pane, float units)
{
    scaleCalls.push_back(std::string(paneName(pane)) + " height " + std::to_string(static_cast<int>(units)));
}

void FakeToolkit::setPaneScaleWidth(Pane pane, float units)
{
    scaleCalls.push_back(std::string(paneName(pane)) + " width " + std::to_string(static_cast<int>(units)));
}

void FakeToolkit::copyPaneToClipboard(Pane)
{
    ++copyCalls;
    if (clipboardError)
        throw RunError(clipboardError);
}

void FakeToolkit::pasteClipboardIntoPane(Pane)
{
    ++pasteCalls;
    if (clipboardError)
        throw RunError(clipboardError);
}

} // namespace qal::test
