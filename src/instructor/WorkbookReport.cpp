#include "instructor/WorkbookReport.h"

#include "instructor/ReportColumns.h"
#include "platform/CodePage.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace qal {

namespace {

constexpr lxw_col_t lastColumn = reportColumns.size() - 1;
constexpr lxw_col_t questionColumn = columnAt("question"), textColumn = columnAt("text");
static_assert(reportColumns.size() <= 26, "the columns are named by one letter");

// Rows of a sheet below its header row.
constexpr lxw_row_t rowsPerSheet = LXW_ROW_MAX - 1;

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int& value)
{
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

// The height of a line of the default font, and of the tallest row, in points.
constexpr double lineHeight = 15;
constexpr double maxRowHeight = 409;

// How many lines a text takes, wrapped in a column of the given width:
// a width holds about 1.2 characters of text for each digit it is measured
// in.
double linesOf(std::string_view text, double width)
{
    const auto perLine = static_cast<std::size_t>(width * 1.2);
    std::size_t lines = 0;
    std::size_t characters = 0;
    auto endLine = [&] {
        lines += characters == 0 ? 1 : (characters + perLine - 1) / perLine;
        characters = 0;
    };
    for (char c : text) {
        if (c == '\n')
            endLine();
        else if (!isUtf8Continuation(static_cast<unsigned char>(c)))
            ++characters;
        if (lines * lineHeight >= maxRowHeight)
            return static_cast<double>(lines);
    }
    endLine();
    return static_cast<double>(lines);
}

// YYYY-MM-DD of a real day, from 1900 on (the first day a spreadsheet's
// date cells hold).
bool dateOf(std::string_view iso, lxw_datetime& when)
{
    int year, month, day;
    if (iso.size() != 10 || iso[4] != '-' || iso[7] != '-' || !digitsAt(iso, 0, 4, year) ||
        !digitsAt(iso, 5, 2, month) || !digitsAt(iso, 8, 2, day))
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > days[month - 1] + (month == 2 && leap ? 1 : 0))
        return false;
    when = {year, month, day, 0, 0, 0.0};
    return true;
}

// HH:MM:SS of the 24-hour clock.
bool timeOf(std::string_view text, lxw_datetime& when)
{
    int hour, minute, second;
    if (text.size() != 8 || text[2] != ':' || text[5] != ':' || !digitsAt(text, 0, 2, hour) ||
        !digitsAt(text, 3, 2, minute) || !digitsAt(text, 6, 2, second) || hour > 23 || minute > 59 || second > 59)
        return false;
    when = {0, 0, 0, hour, minute, static_cast<double>(second)};
    return true;
}

// The first `most` characters of UTF-8 text, or all of it.
std::string_view firstCharacters(std::string_view text, std::size_t most, bool& cut)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isUtf8Continuation(static_cast<unsigned char>(text[i])))
            continue;
        if (characters == most) {
            cut = true;
            return text.substr(0, i);
        }
        ++characters;
    }
    return text;
}

// The C0 controls but tab, line feed and carriage return: XML 1.0 holds no
// such character, so a workbook cannot either (a NUL would end the cell's
// text, the others come back as other characters or not at all).
bool unholdable(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// text with each character a cell cannot hold written visibly, as "\0" for
// NUL and "\x1b" for the others; true when there was one.
bool showUnholdable(std::string_view text, std::string& shown)
{
    static constexpr char hex[] = "0123456789abcdef";
    shown.clear();
    bool found = false;
    for (const char c : text) {
        if (!unholdable(c)) {
            shown.push_back(c);
            continue;
        }
        found = true;
        if (c == '\0') {
            shown.append("\\0");
        } else {
            shown.append("\\x");
            shown.push_back(hex[static_cast<unsigned char>(c) >> 4]);
            shown.push_back(hex[c & 0xF]);
        }
    }
    return found;
}

} // namespace

class WorkbookReport::Impl {
public:
    Impl(const std::string& path, bool large) : path_(path), part_(path + ".part")
    {
        // The one place where the workbook's file is opened here: made
        // empty at once, so that a folder that cannot be written is told
        // before the files are read. The library writes it on close, and it
        // takes the workbook's name only when it is whole.
        errno = 0;
        if (std::FILE* part = std::fopen(part_.c_str(), "wb")) {
            std::fclose(part);
            partMade_ = true;
        } else {
            failure_ = std::generic_category().message(errno);
            return;
        }
        // The temporary files go where the user's TMPDIR says.
        const char* tmpdir = std::getenv("TMPDIR");
        if (tmpdir != nullptr && *tmpdir != '\0')
            tmpdir_ = tmpdir;
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        options.tmpdir = tmpdir_.empty() ? nullptr : tmpdir_.data();
        options.use_zip64 = large ? LXW_TRUE : LXW_FALSE;
        workbook_ = workbook_new_opt(part_.c_str(), &options);
        if (workbook_ == nullptr) {
            failure_ = "the workbook cannot be started";
            return;
        }
        header_ = workbook_add_format(workbook_);
        format_set_bold(header_);
        format_set_bg_color(header_, 0xDDE4EE);
        format_set_bottom(header_, LXW_BORDER_THIN);
        text_ = workbook_add_format(workbook_);
        format_set_num_format(text_, "@");
        format_set_align(text_, LXW_ALIGN_VERTICAL_TOP);
        wrapped_ = workbook_add_format(workbook_);
        format_set_num_format(wrapped_, "@");
        format_set_align(wrapped_, LXW_ALIGN_VERTICAL_TOP);
        format_set_text_wrap(wrapped_);
        date_ = workbook_add_format(workbook_);
        format_set_num_format(date_, "yyyy-mm-dd");
        format_set_align(date_, LXW_ALIGN_VERTICAL_TOP);
        format_set_align(date_, LXW_ALIGN_LEFT);
        number_ = workbook_add_format(workbook_);
        format_set_align(number_, LXW_ALIGN_VERTICAL_TOP);
        time_ = workbook_add_format(workbook_);
        format_set_num_format(time_, "hh:mm:ss");
        format_set_align(time_, LXW_ALIGN_VERTICAL_TOP);
        format_set_align(time_, LXW_ALIGN_LEFT);
    }

    ~Impl()
    {
        // Never closed: nothing is to be left behind.
        if (workbook_ != nullptr)
            workbook_close(workbook_);
        if (partMade_)
            std::remove(part_.c_str());
    }

    bool writable(std::string& reason) const
    {
        reason = failure_;
        return failure_.empty();
    }

    Added add(const ReportRecord& r)
    {
        Added added;
        if (!failure_.empty())
            return added;
        if (sheet_ == nullptr || row_ > rowsPerSheet)
            startSheet();
        const ReportRow texts = reportRow(r, id_);
        // A row tall enough for its wrapped texts: spreadsheet programs take
        // the height the file gives rather than measure the text.
        const double lines = std::max(linesOf(r.question, reportColumns[questionColumn].width),
                                      linesOf(r.text, reportColumns[textColumn].width));
        if (lines > 1)
            check(worksheet_set_row(sheet_, row_, std::min(lines * lineHeight, maxRowHeight), nullptr));
        for (lxw_col_t column = 0; column <= lastColumn; ++column) {
            const ColumnKind kind = reportColumns[column].kind;
            lxw_datetime when{};
            if (kind == ColumnKind::Date && dateOf(texts[column], when)) {
                check(worksheet_write_datetime(sheet_, row_, column, &when, date_));
            } else if (kind == ColumnKind::Time && timeOf(texts[column], when)) {
                check(worksheet_write_datetime(sheet_, row_, column, &when, time_));
            } else if (!texts[column].empty()) {
                cellText(texts[column], added);
                lxw_format* format = kind == ColumnKind::Wrapped ? wrapped_ : text_;
                check(worksheet_write_string(sheet_, row_, column, cell_.c_str(), format));
            }
        }
        ++row_;
        return added;
    }

    void addOverview(const std::vector<OverviewRow>& rows)
    {
        if (!failure_.empty() || workbook_ == nullptr)
            return;
        if (sheets_ == 0)
            startSheet(); // the records sheet comes first, with its header row even when empty
        finishSheet();
        lxw_worksheet* sheet = workbook_add_worksheet(workbook_, "class");
        if (sheet == nullptr) {
            failure_ = "the workbook cannot take another sheet";
            return;
        }
        struct Column {
            const char* name;
            double width;
        };
        constexpr Column overview[] = {{"student", 20}, {"initials", 9},   {"assignment", 11},
                                       {"lesson", 28},  {"responses", 10}, {"notes", 8},
                                       {"first", 11},   {"last", 11},      {"no response", 30}};
        constexpr lxw_col_t last = std::size(overview) - 1;
        for (lxw_col_t c = 0; c <= last; ++c) {
            check(worksheet_set_column(sheet, c, c, overview[c].width, nullptr));
            check(worksheet_write_string(sheet, 0, c, overview[c].name, header_));
        }
        worksheet_freeze_panes(sheet, 1, 0);
        check(worksheet_ignore_errors(sheet, LXW_IGNORE_NUMBER_STORED_AS_TEXT, "A1:I1048576"));
        lxw_row_t row = 1;
        for (const OverviewRow& r : rows) {
            if (row > rowsPerSheet)
                break;
            const std::string* texts[] = {&r.student, &r.initials, &r.assignment, &r.lesson};
            for (lxw_col_t c = 0; c < 4; ++c)
                if (!texts[c]->empty()) {
                    Added added; // said of the record that brought the text
                    cellText(*texts[c], added);
                    check(worksheet_write_string(sheet, row, c, cell_.c_str(), text_));
                }
            check(worksheet_write_number(sheet, row, 4, static_cast<double>(r.responses), number_));
            check(worksheet_write_number(sheet, row, 5, static_cast<double>(r.notes), number_));
            lxw_datetime when{};
            if (dateOf(r.first, when))
                check(worksheet_write_datetime(sheet, row, 6, &when, date_));
            if (dateOf(r.last, when))
                check(worksheet_write_datetime(sheet, row, 7, &when, date_));
            cell_.assign(r.unanswered);
            check(worksheet_write_string(sheet, row, 8, cell_.c_str(), wrapped_));
            ++row;
        }
        check(worksheet_autofilter(sheet, 0, 0, row - 1, last));
        overviewAdded_ = true;
    }

    bool close(std::string& reason)
    {
        if (workbook_ != nullptr) {
            if (sheets_ == 0 && failure_.empty())
                startSheet(); // a workbook of no records still has its header row
            if (!overviewAdded_)
                finishSheet();
            const lxw_error closed = workbook_close(workbook_);
            workbook_ = nullptr;
            if (failure_.empty() && closed != LXW_NO_ERROR)
                failure_ = lxw_strerror(closed);
        }
        std::error_code ec;
        if (failure_.empty()) {
            std::filesystem::rename(part_, path_, ec);
            if (ec)
                failure_ = ec.message();
        }
        if (failure_.empty()) {
            partMade_ = false; // it is the workbook now
            return true;
        }
        if (partMade_)
            std::filesystem::remove(part_, ec);
        partMade_ = false;
        reason = failure_;
        return false;
    }

private:
    // cell_ as the cell holds text: what it cannot hold shown visibly, then
    // cut at the most characters a cell holds.
    void cellText(std::string_view text, Added& added)
    {
        // Only the start of a long text reaches the cell: a character is at
        // most four bytes of UTF-8, and showing one only makes it longer. The
        // rest is looked at, never copied.
        const std::string_view start = text.substr(0, 4 * (maxCellCharacters + 1));
        std::string_view holdable = start;
        if (showUnholdable(start, shown_)) {
            added.unholdable = true;
            holdable = shown_;
        } else if (std::any_of(text.begin() + static_cast<std::ptrdiff_t>(start.size()), text.end(), unholdable)) {
            added.unholdable = true;
        }
        bool cut = start.size() < text.size();
        cell_.assign(firstCharacters(holdable, maxCellCharacters, cut));
        added.cut = added.cut || cut;
    }

    void check(lxw_error error)
    {
        if (error != LXW_NO_ERROR && failure_.empty())
            failure_ = lxw_strerror(error);
    }

    // A sheet with its header row, widths, frozen header and formats.
    void startSheet()
    {
        finishSheet();
        ++sheets_;
        const std::string name = sheets_ == 1 ? "records" : "records " + std::to_string(sheets_);
        sheet_ = workbook_add_worksheet(workbook_, name.c_str());
        if (sheet_ == nullptr) {
            failure_ = "the workbook cannot take another sheet";
            return;
        }
        for (lxw_col_t column = 0; column <= lastColumn; ++column) {
            const ReportColumn& c = reportColumns[column];
            // The columns to fill in are wrapped text where the instructor
            // types: "7/10" stays "7/10", not a date.
            lxw_format* format = c.kind == ColumnKind::ToFill ? wrapped_ : nullptr;
            lxw_row_col_options options{};
            options.hidden = c.kind == ColumnKind::Hidden ? LXW_TRUE : LXW_FALSE;
            check(worksheet_set_column_opt(sheet_, column, column, c.width, format, &options));
            cell_.assign(c.name);
            check(worksheet_write_string(sheet_, 0, column, cell_.c_str(), header_));
        }
        worksheet_freeze_panes(sheet_, 1, 0);
        // Printed across, the columns one page wide, the header row on
        // every page.
        worksheet_set_landscape(sheet_);
        worksheet_fit_to_pages(sheet_, 1, 0);
        check(worksheet_repeat_rows(sheet_, 0, 0));
        // Assignments ("002") and record numbers are texts on purpose.
        const std::string everyCell = std::string("A1:") + static_cast<char>('A' + lastColumn) + "1048576";
        check(worksheet_ignore_errors(sheet_, LXW_IGNORE_NUMBER_STORED_AS_TEXT, everyCell.c_str()));
        row_ = 1;
    }

    // The filter over the rows the sheet got.
    void finishSheet()
    {
        if (sheet_ != nullptr)
            check(worksheet_autofilter(sheet_, 0, 0, row_ - 1, lastColumn));
        sheet_ = nullptr;
    }

    std::string path_;
    std::string part_;      // what the library writes, until it is whole
    bool partMade_ = false; // part_ is ours, to be removed unless it becomes the workbook
    std::string tmpdir_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* header_ = nullptr;
    lxw_format* text_ = nullptr;
    lxw_format* wrapped_ = nullptr;
    lxw_format* date_ = nullptr;
    lxw_format* time_ = nullptr;
    lxw_format* number_ = nullptr;
    int sheets_ = 0;
    bool overviewAdded_ = false; // the class sheet is written, the records sheets finished
    lxw_row_t row_ = 0;          // the next row of the sheet
    std::string cell_;           // a text as the library takes it, ending in NUL
    std::string shown_;          // a text with what a cell cannot hold shown visibly
    std::string id_;             // the identifier of the record being added
    std::string failure_;        // the first failure; empty while there is none
};

WorkbookReport::WorkbookReport(const std::string& path, bool large) : impl_(std::make_unique<Impl>(path, large)) {}

void WorkbookReport::addOverview(const std::vector<OverviewRow>& rows)
{
    impl_->addOverview(rows);
}

WorkbookReport::~WorkbookReport() = default;

bool WorkbookReport::writable(std::string& reason) const
{
    return impl_->writable(reason);
}

bool WorkbookReport::add(const ReportRecord& record)
{
    lastAdded_ = impl_->add(record);
    return !lastAdded_.cut && !lastAdded_.unholdable;
}

bool WorkbookReport::close(std::string& reason)
{
    return impl_->close(reason);
}

} // namespace qal
