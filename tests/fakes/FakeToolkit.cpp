#include "fakes/FakeToolkit.h"

#include "platform/RunError.h"

namespace qal::test {

namespace {
const char* paneName(Pane pane)
{
    return pane == Pane::Picture1 ? "Picture1" : "Picture2";
}
} // namespace

void FakeToolkit::boxShown()
{
    if (boxesUntilEnd > 0 && --boxesUntilEnd == 0)
        throw EndProgram{};
}

std::string FakeToolkit::inputBox(const std::string& prompt)
{
    prompts.push_back(prompt);
    boxShown();
    if (replies.empty())
        return {}; // as if Cancel were pressed
    std::string reply = replies.front();
    replies.pop_front();
    return reply;
}

TypedAnswerChoice FakeToolkit::askRecordOrDiscard(const std::string& text, bool offerCancel)
{
    questions.push_back({text, offerCancel});
    boxShown();
    if (choices.empty())
        return TypedAnswerChoice::Discard;
    const TypedAnswerChoice choice = choices.front();
    choices.pop_front();
    return choice;
}

void FakeToolkit::messageBox(const std::string& text)
{
    messages.push_back(text);
    boxShown();
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
