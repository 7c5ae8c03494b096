#include "desk/FeedbackReturn.h"

#include "desk/Collection.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>

namespace qal {

FeedbackPreview previewFeedback(const std::string& marked)
{
    FeedbackPreview preview;
    preview.marked = marked;
    std::ostringstream err;
    preview.status = readMarkedWorkbook(marked, err, preview.sets);
    preview.messages = reportMessageLines(err.str());
    return preview;
}

std::size_t feedbackStudents(const FeedbackPreview& preview)
{
    std::set<std::pair<std::string, std::string>> students;
    for (const auto& [stem, set] : preview.sets)
        students.emplace(set.student, set.initials);
    return students.size();
}

std::size_t skippedRows(const FeedbackPreview& preview)
{
    return static_cast<std::size_t>(
        std::count_if(preview.messages.begin(), preview.messages.end(),
                      [](const std::string& line) { return line.find(": warning: ") != std::string::npos; }));
}

std::vector<std::string> mailingLines(const FeedbackPreview& preview)
{
    std::vector<std::string> lines;
    for (const auto& [stem, set] : preview.sets) {
        const std::size_t n = set.records.size();
        lines.push_back(stem + ".txt and .html to " + set.student + " (" + set.initials + "): " + std::to_string(n) +
                        (n == 1 ? " marked record" : " marked records"));
    }
    return lines;
}

ReturnedFeedback returnFeedback(const FeedbackPreview& preview, const std::string& folder, const KeepGoing& keepGoing)
{
    ReturnedFeedback result;
    result.folder = folder.empty() ? defaultFeedbackFolder(preview.marked) : folder;
    std::ostringstream err;
    result.status = writeFeedbackFiles(preview.sets, preview.marked, result.folder, err, keepGoing, &result.written);
    result.messages = reportMessageLines(err.str());
    return result;
}

} // namespace qal
