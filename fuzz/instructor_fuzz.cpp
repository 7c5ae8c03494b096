// Fuzzes the instructor's readers of what others wrote: the record file
// reader of qalesson-report (any bytes, as a student may mail back) and the
// lesson checker (any lesson lines).

#include "FuzzSupport.h"

#include "instructor/CsvReport.h"
#include "instructor/HtmlReport.h"
#include "instructor/LessonCheck.h"
#include "instructor/RecordFileReader.h"
#include "platform/CodePage.h"
#include "platform/LineBreaks.h"
#include "run/LessonFile.h"

#include "fakes/PieceSource.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace qal;

namespace {

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Lines end at CR LF, a lone LF or a lone CR.
    std::size_t lines = 1;
    for (std::size_t at = 0; const auto end = findLineEnd(bytes, at, false); at = end->next)
        ++lines;

    const RecordFileContents read = readRecordText(bytes, "f");
    std::size_t after = 0; // the last line used so far
    std::size_t r = 0, p = 0;
    // Records and skipped pieces come in the order of their lines and never
    // share one.
    while (r < read.records.size() || p < read.skipped.size()) {
        const bool record =
            p == read.skipped.size() || (r < read.records.size() && read.records[r].line < read.skipped[p].firstLine);
        const std::size_t first = record ? read.records[r].line : read.skipped[p].firstLine;
        fuzz::require(first > after && first <= lines, "blocks in order", std::to_string(first));
        if (record) {
            const ReportRecord& rec = read.records[r++];
            for (const std::string* field : {&rec.student, &rec.initials, &rec.assignment, &rec.title, &rec.date,
                                             &rec.time, &rec.record, &rec.question, &rec.text})
                fuzz::require(isUtf8(*field), "fields are UTF-8");
            fuzz::require(rec.question.find('\n') == std::string::npos, "a question is one line");
            fuzz::require(rec.time.size() == 8, "time HH:MM:SS");
            fuzz::require(rec.date.empty() || rec.date.size() == 10, "date YYYY-MM-DD");
            after = first; // a record spans at least its first line
        } else {
            const SkippedPiece& piece = read.skipped[p++];
            fuzz::require(piece.lastLine >= piece.firstLine && piece.lastLine <= lines, "piece lines");
            after = piece.lastLine;
        }
    }
    // Read in pieces, or again from a record's header place on, the same
    // records come.
    const std::size_t piece = size == 0 ? 1 : data[0] % 16 + 1;
    test::PieceSource pieces(bytes, piece);
    RecordReader reader(pieces, "f");
    std::size_t n = 0;
    FilePlace lastPlace{~std::uint64_t{0}, 0};
    while (const ReportRecord* rec = reader.next()) {
        fuzz::require(n < read.records.size() && rec->line == read.records[n].line && rec->text == read.records[n].text,
                      "the same records in pieces");
        const FilePlace place = reader.headerPlace();
        if (place.offset != lastPlace.offset) {
            lastPlace = place;
            test::PieceSource rest(bytes.substr(place.offset), piece);
            RecordReader again(rest, "f", {}, place);
            for (std::size_t k = n; k < read.records.size(); ++k) {
                const ReportRecord* same = again.next();
                fuzz::require(same != nullptr && same->line == read.records[k].line &&
                                  same->text == read.records[k].text && same->question == read.records[k].question,
                              "the same records from a header place on");
            }
            fuzz::require(again.next() == nullptr, "no more records from a header place on");
        }
        ++n;
    }
    fuzz::require(n == read.records.size(), "as many records in pieces");

    std::string csv;
    for (const ReportRecord& rec : read.records) {
        appendCsvRow(csv, rec);
        appendCsvRow(csv, rec, CsvCells::Raw);
    }
    const std::string page = htmlReport(read.records, {"f"});
    for (const ReportRecord& rec : read.records)
        fuzz::require(htmlEscaped(rec.text).find_first_of("<>\"'") == std::string::npos, "text escaped");
    fuzz::require(page.find("<script") == std::string::npos, "no script in the page");

    // The same bytes as lesson lines.
    std::vector<std::string> lesson = splitLessonLines(bytes);
    if (lesson.size() > maxLessonLines)
        lesson.resize(maxLessonLines);
    const std::vector<Finding> findings = checkLessonLines(lesson);
    for (std::size_t i = 0; i < findings.size(); ++i) {
        fuzz::require(findings[i].line >= 1 && findings[i].line <= std::max<std::size_t>(lesson.size(), 1),
                      "finding within the lesson");
        fuzz::require(i == 0 || findings[i - 1].line <= findings[i].line, "findings sorted by line");
        fuzz::require(!findings[i].text.empty() && findings[i].text.find_first_of("\r\n") == std::string::npos,
                      "a finding is one line");
        fuzz::require(isUtf8(findings[i].text), "a finding is UTF-8");
    }
    return 0;
}
