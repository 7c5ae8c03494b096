#include "instructor/ReportCommand.h"

#include "instructor/CsvReport.h"
#include "instructor/HtmlReport.h"
#include "instructor/RecordFileReader.h"
#include "platform/CodePage.h"
#include "platform/Host.h"

#include <ostream>
#include <string_view>

#ifndef QALESSON_VERSION
#error "QALESSON_VERSION must be defined by the build"
#endif

namespace qal {

namespace {

const char* const usage = "Usage: qalesson-report [--html] FILE...\n"
                          "       qalesson-report --help | --version\n";

const char* const help = "\n"
                         "Reads the master, send and notes files that qalesson writes (Windows-1252,\n"
                         "CR LF line ends) and writes every response and note in them to standard\n"
                         "output as CSV (UTF-8 with a byte order mark), one row a record, with the\n"
                         "columns file,student,initials,assignment,date,time,kind,record,question,text.\n"
                         "\n"
                         "Options:\n"
                         "  --html          write one HTML page instead: by assignment, then by\n"
                         "                  question, every student's responses and notes\n"
                         "  -h, --help      print this help and exit\n"
                         "  -v, --version   print the version and exit\n"
                         "\n"
                         "A record cut short or stray text is reported on standard error as\n"
                         "FILE:LINE: warning: ... and skipped; everything else is still reported.\n"
                         "\n"
                         "Exit status: 0 when every file was read whole; 1 when something was\n"
                         "skipped; 2 when a file cannot be read or an option is wrong.\n";

// The whole file, or why it cannot be read.
bool readWhole(const std::string& path, std::string& bytes, std::string& reason)
{
    bytes.clear();
    const ReadOutcome read = readFilePieces(hostPathFromUtf8(path), [&](std::string_view piece) {
        bytes.append(piece);
        return true;
    });
    switch (read.kind) {
    case ReadOutcome::Read:
        return true;
    case ReadOutcome::Missing:
        reason = "it does not exist";
        return false;
    case ReadOutcome::Folder:
        reason = "it is a folder, not a file";
        return false;
    default:
        reason = read.reason;
        return false;
    }
}

// A file's name for the report, which is UTF-8. The program names a
// student's files in UTF-8, but files made by earlier versions (and files
// that come back from Windows) may have Windows-1252 names.
std::string reportName(const std::string& path)
{
    return isUtf8(path) ? path : cp1252ToUtf8(path);
}

} // namespace

int reportCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    bool html = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--html") {
            html = true;
        } else if (arg == "--help" || arg == "-h") {
            out << usage << help;
            return 0;
        } else if (arg == "--version" || arg == "-v") {
            out << "qalesson-report " << QALESSON_VERSION << "\n";
            return 0;
        } else {
            err << "qalesson-report: unknown option: " << arg << "\n" << usage;
            return 2;
        }
    }
    if (files.empty()) {
        err << "qalesson-report: no file given\n" << usage;
        return 2;
    }

    int status = 0;
    std::vector<ReportRecord> all;
    std::string bytes;
    std::string text;
    if (!html)
        out << csvHeader();
    for (const std::string& file : files) {
        std::string reason;
        if (!readWhole(file, bytes, reason)) {
            err << "qalesson-report: cannot read \"" << file << "\": " << reason << ".\n";
            status = 2;
            continue;
        }
        const std::string name = reportName(file);
        // Rows go out as their records are read, a megabyte at a time.
        text.clear();
        const std::vector<SkippedPiece> skipped = readRecordText(bytes, name, [&](ReportRecord&& record) {
            if (html) {
                all.push_back(std::move(record));
                return;
            }
            appendCsvRow(text, record);
            if (text.size() > (1 << 20)) {
                out.write(text.data(), static_cast<std::streamsize>(text.size()));
                text.clear();
            }
        });
        for (const SkippedPiece& piece : skipped)
            err << name << ":" << piece.firstLine << ": warning: " << piece.warning() << "\n";
        if (!skipped.empty() && status == 0)
            status = 1;
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    if (html) {
        std::vector<std::string> names;
        for (const std::string& file : files)
            names.push_back(reportName(file));
        out << htmlReport(all, names);
    }
    out.flush();
    if (!out) {
        err << "qalesson-report: cannot write the report\n";
        return 2;
    }
    return status;
}

} // namespace qal
