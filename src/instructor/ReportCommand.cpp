#include "instructor/ReportCommand.h"

#include "instructor/ClassOverview.h"
#include "instructor/CsvReport.h"
#include "instructor/Feedback.h"
#include "instructor/HtmlReport.h"
#include "instructor/RecordFileReader.h"
#include "instructor/ReportColumns.h"
#include "instructor/SpreadsheetReader.h"
#include "instructor/WorkbookReport.h"
#include "platform/CodePage.h"
#include "platform/FileArguments.h"
#include "platform/Host.h"
#include "platform/Printable.h"
#include "run/LessonFile.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string_view>

#ifndef QALESSON_VERSION
#error "QALESSON_VERSION must be defined by the build"
#endif

namespace qal {

namespace {

const char* const usage = "Usage: qalesson-report [--raw] FILE...\n"
                          "       qalesson-report --html [--lesson LESSON] [--roster ROSTER] FILE...\n"
                          "       qalesson-report --xlsx OUT.xlsx [--lesson LESSON] [--roster ROSTER] FILE...\n"
                          "       qalesson-report --feedback MARKED [--out DIR]\n"
                          "       qalesson-report --help | --version\n";

// The names of the columns that `take` picks, comma-separated, in lines of up
// to 76 characters; the first line goes on after `lead`, the others start
// with `indent`.
template <typename Take> std::string columnList(std::string_view lead, Take take, std::string_view indent)
{
    std::string out(lead);
    std::size_t width = lead.size();
    bool first = true;
    for (const ReportColumn& column : reportColumns) {
        if (!take(column))
            continue;
        if (!first) {
            out += ',';
            ++width;
        }
        first = false;
        if (width + column.name.size() + 1 > 76) {
            out += "\n";
            out += indent;
            width = indent.size();
        }
        out += column.name;
        width += column.name.size();
    }
    return out;
}

std::string helpText()
{
    return "\n"
           "Reads the master, send and notes files that qalesson writes (Windows-1252,\n"
           "CR LF line ends) and writes every response and note in them to standard\n"
           "output as CSV (UTF-8 with a byte order mark), one row a record, with the\n" +
           columnList(
               "columns ", [](const ReportColumn& c) { return c.inCsv; }, "") +
           ".\n"
           "id names the record: the same record has the same id in every file and\n"
           "every report. A cell that begins with =, +, -, @, a tab or a carriage\n"
           "return gets an apostrophe in front, so that a spreadsheet program does not\n"
           "take it for a formula.\n"
           "\n"
           "Options:\n"
           "  --raw           write every cell of the CSV exactly as it is\n"
           "  --html          write one HTML page instead: by assignment, then by\n"
           "                  question, every student's responses and notes\n"
           "  --xlsx OUT.xlsx write an Excel workbook to OUT.xlsx instead, which\n"
           "                  spreadsheet programs open as it is (no import dialog);\n" +
           columnList(
               "                  its records sheets add the columns ",
               [](const ReportColumn& c) { return c.kind == ColumnKind::ToFill; }, "") +
           ",\n                  to fill in, and " +
           columnList(
               "", [](const ReportColumn& c) { return c.kind == ColumnKind::Hidden; }, "") +
           ", hidden\n" +
           "                  and a sheet class: a row per student and assignment\n"
           "  --lesson LESSON with --xlsx or --html: the lesson the files answer, so that\n"
           "                  the class overview names the questions with no response\n"
           "  --roster ROSTER with --xlsx or --html: a text file of the class, a line a\n"
           "                  student, \"name, initials\"; the overview shows every one\n"
           "  --feedback MARKED\n"
           "                  read the workbook MARKED (.xlsx or .ods) after marks and\n"
           "                  comments were written into it, and write for each student\n"
           "                  and assignment feedback_<NNN>_<name>.txt, a lesson to open\n"
           "                  with qalesson (the student can answer each comment), and\n"
           "                  feedback_<NNN>_<name>.html, a page; rows are matched by\n"
           "                  their id alone, and a row without a mark or a comment is\n"
           "                  left out\n"
           "  --out DIR       where --feedback writes (default: the folder feedback\n"
           "                  beside MARKED)\n"
           "  -h, --help      print this help and exit\n"
           "  -v, --version   print the version and exit\n"
           "\n"
           "A record cut short or stray text is reported on standard error as\n"
           "FILE:LINE: warning: ... and skipped; everything else is still reported.\n"
           "With --feedback, a marked row whose id names no record, or is marked twice,\n"
           "is reported as MARKED:ROW: warning: ... and left out.\n"
           "\n"
           "Exit status: 0 when every file was read whole; 1 when something was\n"
           "skipped (or a text too long for a workbook's cell was cut); 2 when a file\n"
           "cannot be read or written, or an option is wrong.\n";
}

enum class Form { Csv, Html, Workbook, Feedback };

struct Options {
    Form form = Form::Csv;
    CsvCells cells = CsvCells::SpreadsheetSafe;
    std::string workbook; // the workbook's path
    std::string marked;   // --feedback's workbook
    std::string out;      // --feedback's folder; empty for the default
    std::string lesson;   // --lesson's file, for the class overview
    std::string roster;   // --roster's file
    std::vector<std::string> files;
};

// A record file longer than this is refused before it is read: a student's
// files of a whole course come nowhere near it, while /dev/zero's endless
// bytes, or a file grown without end, would be read until memory ran out.
constexpr std::uint64_t maxReportFileBytes = std::uint64_t{1} << 30;

// A file read from some offset on. A failure to read ends its bytes and is
// kept, to be told once the reading is done.
class InputFile : public ByteSource {
public:
    explicit InputFile(Host& host = systemHost()) : host_(host) {}
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The one place where a file is opened for reading: a path of this host,
    // read as bytes. False, with why, when it cannot be read.
    bool open(const std::string& path, std::string& reason)
    {
        close();
        ReadOutcome outcome;
        file_ = host_.openToRead(hostPathFromUtf8(path), outcome, maxReportFileBytes);
        if (file_ == noHandle) {
            // The report's message says "cannot read" already: the host's
            // own words alone follow it when the file will not open.
            reason = outcome.kind == ReadOutcome::CannotOpen ? outcome.reason
                                                             : readRefusal(outcome, "record file", maxReportFileBytes);
            return false;
        }
        failure_.clear();
        start_ = 0;
        wanted_ = unlimited;
        return true;
    }

    // Reads on from offset. About `wanted` bytes will do: they are read at
    // first, and then a little at a time, so that reading a short piece of
    // a long file reads little more than the piece.
    bool seek(std::uint64_t offset, std::uint64_t wanted, std::string& reason)
    {
        if (!host_.seekTo(file_, offset, reason))
            return false;
        failure_.clear();
        start_ = offset;
        wanted_ = wanted;
        return true;
    }

    // Reads again from offset after where reading started: the reader reads
    // the text of a long record a second time rather than hold it twice.
    bool readFrom(std::uint64_t offset) override
    {
        if (file_ == noHandle || !failure_.empty())
            return false;
        return host_.seekTo(file_, start_ + offset, failure_);
    }

    std::size_t read(char* into, std::size_t size) override
    {
        if (file_ == noHandle || !failure_.empty())
            return 0;
        if (wanted_ != unlimited) {
            size = static_cast<std::size_t>(std::min<std::uint64_t>(size, std::max<std::uint64_t>(wanted_, 4096)));
            wanted_ -= std::min<std::uint64_t>(wanted_, size);
        }
        return host_.readSome(file_, into, size, failure_);
    }

    // Why the reading stopped before the end; empty when it did not.
    const std::string& failure() const { return failure_; }

private:
    void close()
    {
        if (file_ != noHandle)
            host_.close(file_);
        file_ = noHandle;
    }

    static constexpr std::uint64_t unlimited = ~std::uint64_t{0};

    Host& host_;
    HostHandle file_ = noHandle;
    std::string failure_;
    std::uint64_t start_ = 0; // where reading started
    std::uint64_t wanted_ = unlimited;
};

// A file's name for the report, which is UTF-8. The program names a
// student's files in UTF-8, but files made by earlier versions (and files
// that come back from Windows) may have Windows-1252 names.
std::string reportName(const std::string& path)
{
    return isUtf8(path) ? path : cp1252ToUtf8(path);
}

// The exit status so far: the worst of what happened.
class Status {
public:
    void somethingSkipped() { status_ = std::max(status_, 1); }
    void fileFailed() { status_ = 2; }
    int value() const { return stopped_ ? reportStopped : status_; }

    // Asks the caller whether to go on; once it says no, the work stops.
    bool goOn(const KeepGoing& keepGoing)
    {
        if (!stopped_ && keepGoing && !keepGoing())
            stopped_ = true;
        return !stopped_;
    }
    bool stopped() const { return stopped_; }

private:
    int status_ = 0;
    bool stopped_ = false;
};

using RecordUse = std::function<void(const ReportRecord&, RecordReader&)>;

// Why a file was not read to its end when the memory ran out.
constexpr const char* outOfMemory = "there was not enough memory to read all of it";

void cannotRead(const std::string& path, const std::string& reason, std::ostream& err, Status& status)
{
    err << "qalesson-report: cannot read \"" << printable(path) << "\": " << printable(reason) << ".\n";
    status.fileFailed();
}

// Hands every whole record of the file at path to use; each piece skipped
// is a warning on err, and so is a file that cannot be read.
void readAll(const std::string& path, std::ostream& err, Status& status, const RecordUse& use,
             const KeepGoing& keepGoing = {}, Host& host = systemHost())
{
    if (!status.goOn(keepGoing))
        return;
    InputFile file(host);
    std::string reason;
    if (!file.open(path, reason)) {
        cannotRead(path, reason, err, status);
        return;
    }
    const std::string name = reportName(path);
    try {
        RecordReader reader(file, name, [&](const SkippedPiece& piece) {
            err << printable(name) << ":" << piece.firstLine << ": warning: " << piece.warning() << "\n";
            status.somethingSkipped();
        });
        std::size_t read = 0;
        while (const ReportRecord* record = reader.next()) {
            use(*record, reader);
            if (++read % 1000 == 0 && !status.goOn(keepGoing))
                return;
        }
    } catch (const std::bad_alloc&) {
        // The records of the file handed out so far stay reported; the
        // other files are still read.
        cannotRead(path, outOfMemory, err, status);
        return;
    }
    if (!file.failure().empty())
        cannotRead(path, file.failure(), err, status);
}

void write(std::ostream& out, std::string& text)
{
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    text.clear();
}

// The class overview of --xlsx and --html, with --lesson's questions and
// --roster's students; empty, with the status at 2, when either cannot be
// read.
std::optional<ClassOverview> overviewOf(const std::string& lessonPath, const std::string& rosterPath, std::ostream& err,
                                        Status& status)
{
    std::map<std::string, std::vector<std::string>> questions;
    if (!lessonPath.empty()) {
        const LessonFile lesson = readLessonFile(lessonPath);
        if (!lesson.usable()) {
            err << "qalesson-report: cannot use the lesson file \"" << printable(lessonPath)
                << "\": " << printable(lesson.refusal) << ".\n";
            status.fileFailed();
            return std::nullopt;
        }
        questions = lessonQuestions(lesson.lines);
    }
    std::vector<RosterStudent> roster;
    if (!rosterPath.empty()) {
        InputFile file;
        std::string reason, bytes;
        if (!file.open(rosterPath, reason)) {
            cannotRead(rosterPath, reason, err, status);
            return std::nullopt;
        }
        char buffer[1 << 16];
        while (const std::size_t got = file.read(buffer, sizeof buffer))
            bytes.append(buffer, got);
        if (!file.failure().empty()) {
            cannotRead(rosterPath, file.failure(), err, status);
            return std::nullopt;
        }
        std::vector<std::string> warnings;
        roster = readRoster(bytes, warnings);
        for (const std::string& warning : warnings) {
            err << printable(reportName(rosterPath)) << ":" << printable(warning) << "\n";
            status.somethingSkipped();
        }
    }
    return ClassOverview(std::move(roster), std::move(questions));
}

// Rows go out as their records are read, a megabyte at a time.
void csvReport(const Options& options, std::ostream& out, std::ostream& err, Status& status)
{
    std::string rows = csvHeader();
    for (const std::string& file : options.files)
        readAll(file, err, status, [&](const ReportRecord& record, RecordReader&) {
            // A long text goes out from the record itself, not copied into
            // the rows first.
            if (record.text.size() > (1 << 20)) {
                write(out, rows);
                writeCsvRow(out, record, options.cells);
                return;
            }
            appendCsvRow(rows, record, options.cells);
            if (rows.size() > (1 << 20))
                write(out, rows);
        });
    write(out, rows);
}

// The page shows the assignments in the order of their keys, so it is made
// in two readings: the first finds each assignment's runs of records (where
// they start and end, how many), the second reads one assignment's runs at a
// time and writes its section. Only one assignment's records are held at
// once.
void htmlReport(const Options& options, std::ostream& out, std::ostream& err, Status& status)
{
    struct Run {
        std::size_t file;
        FilePlace start;     // the header block the records belong to
        std::uint64_t end;   // after the last record
        std::size_t records; // from the start on
    };
    std::optional<ClassOverview> overview = overviewOf(options.lesson, options.roster, err, status);
    if (!overview)
        return;
    std::map<HtmlAssignmentKey, std::vector<Run>> assignments;
    std::size_t total = 0;
    for (std::size_t f = 0; f < options.files.size(); ++f) {
        std::vector<Run>* last = nullptr; // the run of the record before
        readAll(options.files[f], err, status, [&](const ReportRecord& record, RecordReader& reader) {
            ++total;
            overview->add(record);
            std::vector<Run>& runs = assignments[HtmlAssignmentKey::of(record)];
            if (last != &runs)
                runs.push_back({f, reader.headerPlace(), 0, 0});
            ++runs.back().records;
            runs.back().end = reader.place().offset;
            last = &runs;
        });
    }

    std::vector<std::string> names;
    for (const std::string& file : options.files)
        names.push_back(reportName(file));
    std::string page = htmlPageStart(total, names) + htmlOverview(overview->rows());
    std::vector<ReportRecord> records;
    InputFile input;
    std::size_t opened = options.files.size(); // the file input holds
    for (const auto& [key, runs] : assignments) {
        for (const Run& run : runs) {
            const std::string& path = options.files[run.file];
            std::string reason;
            if ((opened != run.file && !input.open(path, reason)) ||
                !input.seek(run.start.offset, run.end - run.start.offset, reason)) {
                cannotRead(path, reason, err, status);
                opened = options.files.size();
                continue;
            }
            opened = run.file;
            try {
                RecordReader reader(input, names[run.file], {}, run.start);
                for (std::size_t n = 0; n < run.records; ++n) {
                    if (reader.next() == nullptr)
                        break;
                    records.push_back(reader.take());
                }
            } catch (const std::bad_alloc&) {
                cannotRead(path, outOfMemory, err, status);
                continue;
            }
            if (!input.failure().empty())
                cannotRead(path, input.failure(), err, status);
        }
        appendHtmlAssignment(page, records);
        records.clear();
        write(out, page);
    }
    page += htmlPageEnd(total);
    write(out, page);
}

void workbookReport(const WorkbookRequest& options, std::ostream& err, Status& status, const KeepGoing& keepGoing,
                    std::vector<OverviewRow>* overviewRows)
{
    // The ZIP64 form once the data may pass 4 GB; the rows take about one and
    // a half times the bytes of the files.
    std::uintmax_t bytes = 0;
    for (const std::string& file : options.files) {
        std::error_code ec;
        const std::uintmax_t size = std::filesystem::file_size(hostPathFromUtf8(file), ec);
        bytes += ec ? 0 : size;
    }
    std::optional<ClassOverview> overview = overviewOf(options.lesson, options.roster, err, status);
    if (!overview)
        return;
    WorkbookReport workbook(options.workbook, bytes > (std::uintmax_t{2} << 30));
    std::string reason;
    if (!workbook.writable(reason)) {
        err << "qalesson-report: cannot write \"" << printable(options.workbook) << "\": " << reason << ".\n";
        status.fileFailed();
        return;
    }
    for (const std::string& file : options.files)
        readAll(
            file, err, status,
            [&](const ReportRecord& record, RecordReader&) {
                overview->add(record);
                if (workbook.add(record))
                    return;
                const WorkbookReport::Added& added = workbook.lastAdded();
                if (added.unholdable) {
                    err << printable(record.file) << ":" << record.line << ": warning: a text of this record holds a "
                        << "character a workbook's cell cannot hold (NUL or another control character): shown as \\0 "
                        << "or \\x and its code\n";
                    status.somethingSkipped();
                }
                if (added.cut) {
                    err << printable(record.file) << ":" << record.line
                        << ": warning: a text of this record is longer than a "
                        << "workbook's cell holds (" << WorkbookReport::maxCellCharacters
                        << " characters): cut there\n";
                    status.somethingSkipped();
                }
            },
            keepGoing);
    // Stopped by the caller: the workbook goes unwritten, its part file with it.
    if (status.stopped())
        return;
    // A file that could not be read leaves the report incomplete: an earlier
    // workbook of the name stays as it was (this one's part file goes with it).
    if (status.value() == 2) {
        err << "qalesson-report: \"" << printable(options.workbook) << "\" is not written, as a file could not be "
            << "read; any earlier workbook of that name is left as it was.\n";
        return;
    }
    const std::vector<OverviewRow> rows = overview->rows();
    workbook.addOverview(rows);
    if (overviewRows != nullptr)
        *overviewRows = rows;
    if (!workbook.close(reason)) {
        err << "qalesson-report: cannot write \"" << printable(options.workbook) << "\": " << reason << ".\n";
        status.fileFailed();
    }
}

// Writes bytes to path whole or not at all: beside it first, then renamed.
bool writeWhole(const std::filesystem::path& path, const std::string& bytes, std::string& reason)
{
    std::filesystem::path part = path;
    part += ".part";
    {
        std::ofstream file(part, std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ec;
            std::filesystem::remove(part, ec);
            reason = "it cannot be written";
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(part, path, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        reason = ec.message();
        return false;
    }
    return true;
}

bool endsWithLowered(std::string_view text, std::string_view end)
{
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        char c = text[text.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i])
            return false;
    }
    return true;
}

// The marked workbook's rows, matched by id, become each student's set. A
// workbook that cannot be read gives none.
std::map<std::string, FeedbackSet> markedSets(const std::string& path, std::ostream& err, Status& status)
{
    if (endsWithLowered(path, ".csv")) {
        err << "qalesson-report: cannot read \"" << printable(path)
            << "\": a CSV file keeps no cell's type (a mark of 5/6 becomes a date, 002 becomes 2); open the "
               "workbook in your spreadsheet program and save it as .xlsx or .ods.\n";
        status.fileFailed();
        return {};
    }
    const std::string name = reportName(path);
    FeedbackRows rows;
    std::vector<std::string> warnings;
    std::string refusal;
    const bool read = readSpreadsheet(
        path,
        [&](const SheetRow& row) {
            rows.take(row.sheet, row.number, row.cells, warnings);
            for (const std::string& warning : warnings) {
                err << printable(name) << ":" << printable(warning) << "\n";
                status.somethingSkipped();
            }
            warnings.clear();
        },
        refusal);
    if (!read) {
        cannotRead(path, refusal, err, status);
        return {};
    }
    if (!rows.sawRecords()) {
        cannotRead(path,
                   "it has no sheet of records (no column headed id): give the workbook that "
                   "qalesson-report --xlsx wrote",
                   err, status);
        return {};
    }
    std::map<std::string, FeedbackSet> sets = rows.takeSets();
    if (sets.empty()) {
        err << "qalesson-report: no row of \"" << printable(path)
            << "\" has a mark or a comment: no feedback written\n";
        status.somethingSkipped();
    }
    return sets;
}

// Each set's lesson and page, written whole into folder (made when missing).
void writeSets(const std::map<std::string, FeedbackSet>& sets, const std::string& marked, const std::string& out,
               std::ostream& err, Status& status, const KeepGoing& keepGoing, std::vector<std::string>* written)
{
    const std::string name = reportName(marked);
    const std::filesystem::path folder = hostPathFromUtf8(out.empty() ? defaultFeedbackFolder(marked) : out);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        err << "qalesson-report: cannot write into \"" << printable(utf8FromHostPath(folder))
            << "\": " << printable(ec ? ec.message() : std::string("it is not a folder")) << ".\n";
        status.fileFailed();
        return;
    }
    for (const auto& [stem, set] : sets) {
        if (!status.goOn(keepGoing))
            return;
        if (set.records.size() > maxFeedbackQuestions) {
            err << printable(name) << ": warning: " << printable(stem) << " has " << set.records.size()
                << " marked records, more than a lesson holds: its lesson shows the first " << maxFeedbackQuestions
                << ", its page all of them\n";
            status.somethingSkipped();
        }
        for (const bool lesson : {true, false}) {
            const std::filesystem::path file = folder / hostPathFromUtf8(stem + (lesson ? ".txt" : ".html"));
            std::string reason;
            if (!writeWhole(file, lesson ? feedbackLesson(set) : feedbackPage(set), reason)) {
                err << "qalesson-report: cannot write \"" << printable(utf8FromHostPath(file))
                    << "\": " << printable(reason) << ".\n";
                status.fileFailed();
            } else if (written != nullptr) {
                written->push_back(utf8FromHostPath(file));
            }
        }
    }
}

// The options, or the exit status when there is nothing more to do.
std::optional<int> parse(const std::vector<std::string>& arguments, Options& options, std::ostream& out,
                         std::ostream& err)
{
    bool optionsEnded = false;
    bool html = false, raw = false, workbook = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            options.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--html") {
            html = true;
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg == "--xlsx") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                err << "qalesson-report: --xlsx needs the workbook's file name\n" << usage;
                return 2;
            }
            workbook = true;
            options.workbook = arguments[++i];
        } else if (arg == "--feedback" || arg == "--out" || arg == "--lesson" || arg == "--roster") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                err << "qalesson-report: " << printable(arg) << " needs a file's name\n" << usage;
                return 2;
            }
            (arg == "--out"      ? options.out
             : arg == "--lesson" ? options.lesson
             : arg == "--roster" ? options.roster
                                 : options.marked) = arguments[++i];
        } else if (arg == "--help" || arg == "-h") {
            out << usage << helpText();
            return 0;
        } else if (arg == "--version" || arg == "-v") {
            out << "qalesson-report " << QALESSON_VERSION << "\n";
            return 0;
        } else {
            err << "qalesson-report: unknown option: " << printable(arg) << "\n" << usage;
            return 2;
        }
    }
    const bool feedback = !options.marked.empty();
    if ((!options.lesson.empty() || !options.roster.empty()) && !html && !workbook) {
        err << "qalesson-report: --lesson and --roster go with --xlsx or --html\n" << usage;
        return 2;
    }
    if (feedback && (html || raw || workbook || !options.files.empty())) {
        err << "qalesson-report: --feedback reads the marked workbook alone (no other option, no record file)\n"
            << usage;
        return 2;
    }
    if (!options.out.empty() && !feedback) {
        err << "qalesson-report: --out goes with --feedback\n" << usage;
        return 2;
    }
    if (feedback) {
        options.form = Form::Feedback;
        return std::nullopt;
    }
    if (html + raw + workbook > 1) {
        err << "qalesson-report: --html, --xlsx and --raw do not go together (--raw is for the CSV)\n" << usage;
        return 2;
    }
    if (options.files.empty()) {
        err << "qalesson-report: no file given\n" << usage;
        return 2;
    }
    // On Windows the program expands send_*.txt itself, as Windows programs do.
    options.files = expandedFileArguments(options.files);
    options.form = html ? Form::Html : workbook ? Form::Workbook : Form::Csv;
    options.cells = raw ? CsvCells::Raw : CsvCells::SpreadsheetSafe;
    return std::nullopt;
}

} // namespace

int reportCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    Options options;
    if (const std::optional<int> done = parse(arguments, options, out, err))
        return *done;
    Status status;
    switch (options.form) {
    case Form::Csv:
        csvReport(options, out, err, status);
        break;
    case Form::Html:
        htmlReport(options, out, err, status);
        break;
    case Form::Workbook:
        workbookReport({options.workbook, options.lesson, options.roster, options.files}, err, status, {}, nullptr);
        break;
    case Form::Feedback: {
        const std::map<std::string, FeedbackSet> sets = markedSets(options.marked, err, status);
        if (!sets.empty())
            writeSets(sets, options.marked, options.out, err, status, {}, nullptr);
        break;
    }
    }
    out.flush();
    if (!out) {
        err << "qalesson-report: cannot write the report\n";
        return 2;
    }
    return status.value();
}

int forEachRecord(const std::vector<std::string>& files, std::ostream& err, const KeepGoing& keepGoing,
                  const std::function<void(const ReportRecord&)>& use, Host& host)
{
    Status status;
    for (const std::string& file : files)
        readAll(
            file, err, status, [&](const ReportRecord& record, RecordReader&) { use(record); }, keepGoing, host);
    return status.value();
}

std::optional<ClassOverview> classOverview(const std::string& lesson, const std::string& roster, std::ostream& err)
{
    Status status;
    return overviewOf(lesson, roster, err, status);
}

int writeWorkbookReport(const WorkbookRequest& request, std::ostream& err, const KeepGoing& keepGoing,
                        std::vector<OverviewRow>* overview)
{
    Status status;
    workbookReport(request, err, status, keepGoing, overview);
    return status.value();
}

int readMarkedWorkbook(const std::string& path, std::ostream& err, std::map<std::string, FeedbackSet>& sets)
{
    Status status;
    sets = markedSets(path, err, status);
    return status.value();
}

std::string defaultFeedbackFolder(const std::string& marked)
{
    return utf8FromHostPath(hostPathFromUtf8(marked).parent_path() / "feedback");
}

int writeFeedbackFiles(const std::map<std::string, FeedbackSet>& sets, const std::string& marked,
                       const std::string& folder, std::ostream& err, const KeepGoing& keepGoing,
                       std::vector<std::string>* written)
{
    Status status;
    writeSets(sets, marked, folder, err, status, keepGoing, written);
    return status.value();
}

} // namespace qal
