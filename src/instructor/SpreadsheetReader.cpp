#include "instructor/SpreadsheetReader.h"

#include "platform/Host.h"

#include <expat.h>
#include <unzip.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

namespace qal {

namespace {

// An element's or an attribute's name without its prefix: "table-row" of
// "table:table-row". Both formats keep to their usual prefixes, and the
// names read here do not clash within a part.
std::string_view localName(const XML_Char* name)
{
    const std::string_view whole(name);
    const std::size_t colon = whole.rfind(':');
    return colon == std::string_view::npos ? whole : whole.substr(colon + 1);
}

const XML_Char* attribute(const XML_Char** attributes, std::string_view name)
{
    for (const XML_Char** a = attributes; *a != nullptr; a += 2)
        if (localName(a[0]) == name)
            return a[1];
    return nullptr;
}

// A number in its shortest decimal form that reads back the same: "7" for
// 7.0, "0.1" for 0.1; the text as it is when it is no number.
std::string numberText(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size())
        return text;
    char buffer[40];
    for (int digits = 15; digits <= 17; ++digits) {
        std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
        if (std::strtod(buffer, nullptr) == value)
            break;
    }
    return buffer;
}

// The column of a cell reference's letters: 0 for "A5", 27 for "AB9".
bool columnOf(const char* reference, std::size_t& column)
{
    std::size_t value = 0;
    const char* c = reference;
    for (; *c >= 'A' && *c <= 'Z'; ++c) {
        value = value * 26 + static_cast<std::size_t>(*c - 'A' + 1);
        if (value > 16384)
            return false;
    }
    if (c == reference)
        return false;
    column = value - 1;
    return true;
}

// Office Open XML writes a control character in a text as _xHHHH_ (and a
// literal "_x" that looks like one as _x005F_x...).
std::string unescapedOoxml(const std::string& text)
{
    if (text.find("_x") == std::string::npos)
        return text;
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        unsigned value = 0;
        bool escape = i + 7 <= text.size() && text.compare(i, 2, "_x") == 0 && text[i + 6] == '_';
        for (std::size_t k = i + 2; escape && k < i + 6; ++k) {
            const char h = text[k];
            const int digit = h >= '0' && h <= '9'   ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                     : -1;
            escape = digit >= 0;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        if (!escape || value >= 0x80) {
            out += text[i++];
            continue;
        }
        out += static_cast<char>(value);
        i += 7;
    }
    return out;
}

// One part of the archive streamed through an XML parser.
class Archive {
public:
    explicit Archive(const std::string& path) { zip_ = unzOpen64(hostPathFromUtf8(path).string().c_str()); }
    ~Archive()
    {
        if (zip_ != nullptr)
            unzClose(zip_);
    }
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool opened() const { return zip_ != nullptr; }

    bool has(const std::string& name) { return unzLocateFile(zip_, name.c_str(), 1) == UNZ_OK; }

    // Feeds the part to parser; false, with why, when it cannot be read.
    bool parse(const std::string& name, XML_Parser parser, std::string& refusal)
    {
        if (unzLocateFile(zip_, name.c_str(), 1) != UNZ_OK) {
            refusal = "it is no workbook (it lacks its part " + name + ")";
            return false;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK ||
            unzOpenCurrentFile(zip_) != UNZ_OK) {
            refusal = "it is no workbook (its part " + name + " cannot be unpacked)";
            return false;
        }
        if ((info.flag & 1) != 0) {
            unzCloseCurrentFile(zip_);
            refusal = "it is encrypted: save it without a password";
            return false;
        }
        unsigned long long total = 0;
        bool ok = true;
        for (;;) {
            void* buffer = XML_GetBuffer(parser, 1 << 16);
            if (buffer == nullptr) {
                refusal = "there is not enough memory to read it";
                ok = false;
                break;
            }
            const int got = unzReadCurrentFile(zip_, buffer, 1 << 16);
            if (got < 0) {
                refusal = "it is no workbook (its part " + name + " is damaged)";
                ok = false;
                break;
            }
            total += static_cast<unsigned>(got);
            if (total > maxWorkbookPartBytes) {
                refusal = "it is larger than a class's workbook can be";
                ok = false;
                break;
            }
            if (XML_ParseBuffer(parser, got, got == 0) == XML_STATUS_ERROR) {
                if (XML_GetErrorCode(parser) != XML_ERROR_ABORTED)
                    refusal = "it is no workbook (" + name + ", line " +
                              std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                              XML_ErrorString(XML_GetErrorCode(parser)) + ")";
                ok = false;
                break;
            }
            if (got == 0)
                break;
        }
        if (unzCloseCurrentFile(zip_) == UNZ_CRCERROR && ok) {
            refusal = "it is no workbook (its part " + name + " is damaged)";
            ok = false;
        }
        return ok;
    }

private:
    unzFile zip_ = nullptr;
};

// An expat parser that calls the member functions of Handler.
template <typename Handler> class Parser {
public:
    explicit Parser(Handler& handler) : parser_(XML_ParserCreate("UTF-8"))
    {
        XML_SetUserData(parser_, &handler);
        XML_SetElementHandler(
            parser_,
            [](void* data, const XML_Char* name, const XML_Char** attributes) {
                static_cast<Handler*>(data)->start(localName(name), attributes);
            },
            [](void* data, const XML_Char* name) { static_cast<Handler*>(data)->end(localName(name)); });
        XML_SetCharacterDataHandler(parser_, [](void* data, const XML_Char* text, int length) {
            static_cast<Handler*>(data)->text(std::string_view(text, static_cast<std::size_t>(length)));
        });
    }
    ~Parser() { XML_ParserFree(parser_); }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;
    XML_Parser get() const { return parser_; }

private:
    XML_Parser parser_;
};

// ---- Office Open XML (.xlsx) ----

// The workbook's sheets in order, and the relationships that name their parts.
struct XlsxWorkbook {
    std::vector<std::pair<std::string, std::string>> sheets; // name, relationship id
    void start(std::string_view name, const XML_Char** attributes)
    {
        if (name != "sheet")
            return;
        const XML_Char* sheetName = attribute(attributes, "name");
        const XML_Char* id = attribute(attributes, "id");
        if (sheetName != nullptr && id != nullptr)
            sheets.emplace_back(sheetName, id);
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
};

struct XlsxRelationships {
    std::map<std::string, std::string> targets; // id to part
    std::string sharedStrings;
    void start(std::string_view name, const XML_Char** attributes)
    {
        if (name != "Relationship")
            return;
        const XML_Char* id = attribute(attributes, "Id");
        const XML_Char* target = attribute(attributes, "Target");
        const XML_Char* type = attribute(attributes, "Type");
        if (id == nullptr || target == nullptr)
            return;
        std::string part = target;
        part = part.starts_with('/') ? part.substr(1) : "xl/" + part;
        targets[id] = part;
        if (type != nullptr && std::string_view(type).ends_with("/sharedStrings"))
            sharedStrings = part;
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
};

// The shared strings: each <si>'s <t> texts (its rich text runs), but for
// the phonetic runs (<rPh>).
struct XlsxSharedStrings {
    std::vector<std::string> strings;
    bool inText = false;
    int phonetic = 0;
    void start(std::string_view name, const XML_Char**)
    {
        if (name == "si")
            strings.emplace_back();
        else if (name == "rPh")
            ++phonetic;
        else if (name == "t" && phonetic == 0 && !strings.empty())
            inText = true;
    }
    void end(std::string_view name)
    {
        if (name == "t")
            inText = false;
        else if (name == "rPh")
            --phonetic;
        else if (name == "si")
            strings.back() = unescapedOoxml(strings.back());
    }
    void text(std::string_view text)
    {
        if (inText)
            strings.back() += text;
    }
};

struct XlsxSheet {
    const std::vector<std::string>& shared;
    const std::function<void(const SheetRow&)>& use;
    SheetRow row;
    std::size_t nextRow = 1;
    std::size_t column = 0;
    std::string type;
    std::string value;
    bool inValue = false, inCell = false;
    int phonetic = 0;

    void start(std::string_view name, const XML_Char** attributes)
    {
        if (name == "row") {
            const XML_Char* r = attribute(attributes, "r");
            row.number = r != nullptr ? std::strtoul(r, nullptr, 10) : nextRow;
            row.cells.clear();
            column = 0;
        } else if (name == "c") {
            inCell = true;
            const XML_Char* r = attribute(attributes, "r");
            std::size_t at = column;
            if (r == nullptr || !columnOf(r, at))
                at = column;
            column = at;
            const XML_Char* t = attribute(attributes, "t");
            type = t != nullptr ? t : "n";
            value.clear();
        } else if (inCell && name == "rPh") {
            ++phonetic;
        } else if (inCell && (name == "v" || (name == "t" && phonetic == 0))) {
            inValue = true;
        }
    }
    void end(std::string_view name)
    {
        if (name == "v" || name == "t") {
            inValue = false;
        } else if (name == "rPh") {
            --phonetic;
        } else if (name == "c") {
            inCell = false;
            std::string cell;
            if (type == "s") {
                const std::size_t index = std::strtoul(value.c_str(), nullptr, 10);
                cell = index < shared.size() ? shared[index] : std::string();
            } else if (type == "inlineStr" || type == "str") {
                cell = unescapedOoxml(value);
            } else if (type == "n") {
                cell = numberText(value);
            } else {
                cell = value; // a boolean (0, 1) or an error's text
            }
            if (!cell.empty()) {
                if (row.cells.size() <= column)
                    row.cells.resize(column + 1);
                row.cells[column] = std::move(cell);
            }
            ++column;
        } else if (name == "row") {
            if (!row.cells.empty())
                use(row);
            nextRow = row.number + 1;
        }
    }
    void text(std::string_view text)
    {
        if (inValue)
            value += text;
    }
};

bool readXlsx(Archive& archive, const std::function<void(const SheetRow&)>& use, std::string& refusal)
{
    XlsxWorkbook workbook;
    XlsxRelationships relationships;
    {
        Parser<XlsxWorkbook> parser(workbook);
        if (!archive.parse("xl/workbook.xml", parser.get(), refusal))
            return false;
    }
    {
        Parser<XlsxRelationships> parser(relationships);
        if (!archive.parse("xl/_rels/workbook.xml.rels", parser.get(), refusal))
            return false;
    }
    XlsxSharedStrings shared;
    if (!relationships.sharedStrings.empty() && archive.has(relationships.sharedStrings)) {
        Parser<XlsxSharedStrings> parser(shared);
        if (!archive.parse(relationships.sharedStrings, parser.get(), refusal))
            return false;
    }
    for (const auto& [name, id] : workbook.sheets) {
        const auto target = relationships.targets.find(id);
        if (target == relationships.targets.end() || !archive.has(target->second))
            continue; // a chart sheet, or a part that is not there
        XlsxSheet sheet{shared.strings, use, {}, 1, 0, {}, {}, false, false, 0};
        sheet.row.sheet = name;
        Parser<XlsxSheet> parser(sheet);
        if (!archive.parse(target->second, parser.get(), refusal))
            return false;
    }
    return true;
}

// ---- OpenDocument (.ods) ----

// Whether the manifest names any part as encrypted.
struct OdsManifest {
    bool encrypted = false;
    void start(std::string_view name, const XML_Char**)
    {
        if (name == "encryption-data")
            encrypted = true;
    }
    void end(std::string_view) {}
    void text(std::string_view) {}
};

struct OdsContent {
    const std::function<void(const SheetRow&)>& use;
    std::string& failure;
    SheetRow row;
    std::size_t rowRepeat = 1;
    std::size_t cellRepeat = 1;
    std::size_t column = 0;
    int depth = 0;      // within a cell, how deep
    int skipDepth = 0;  // within an annotation (a cell's comment), its depth; 0 outside
    int paragraphs = 0; // paragraphs of the cell so far
    bool inParagraph = false;
    bool fromText = false; // the cell's value is its text
    std::string value;
    XML_Parser parser = nullptr;

    static std::size_t repeat(const XML_Char** attributes, std::string_view name)
    {
        const XML_Char* n = attribute(attributes, name);
        const unsigned long value = n != nullptr ? std::strtoul(n, nullptr, 10) : 1;
        return value == 0 ? 1 : value;
    }

    void start(std::string_view name, const XML_Char** attributes)
    {
        if (skipDepth > 0) {
            ++skipDepth;
            return;
        }
        if (name == "table") {
            const XML_Char* n = attribute(attributes, "name");
            row.sheet = n != nullptr ? n : "";
            row.number = 1;
        } else if (name == "table-row") {
            rowRepeat = repeat(attributes, "number-rows-repeated");
            row.cells.clear();
            column = 0;
        } else if (name == "table-cell" || name == "covered-table-cell") {
            cellRepeat = repeat(attributes, "number-columns-repeated");
            value.clear();
            paragraphs = 0;
            depth = 1;
            const XML_Char* type = attribute(attributes, "value-type");
            const std::string_view kind = type != nullptr ? type : "";
            fromText = false;
            const XML_Char* v = nullptr;
            if (kind == "float" || kind == "percentage" || kind == "currency")
                v = attribute(attributes, "value");
            else if (kind == "date")
                v = attribute(attributes, "date-value");
            else if (kind == "time")
                v = attribute(attributes, "time-value");
            else if (kind == "boolean")
                v = attribute(attributes, "boolean-value");
            else if (const XML_Char* s = attribute(attributes, "string-value"))
                v = s;
            if (v != nullptr)
                value = kind == "date" ? dateOf(v) : kind == "time" ? timeOf(v) : kind == "float" ? numberText(v) : v;
            else
                fromText = true;
        } else if (depth > 0) {
            ++depth;
            if (name == "annotation") {
                skipDepth = 1;
            } else if (name == "p" || name == "h") {
                if (fromText && paragraphs++ > 0)
                    value += '\n';
                inParagraph = true;
            } else if (fromText && inParagraph && name == "s") {
                const XML_Char* c = attribute(attributes, "c");
                value.append(c != nullptr ? std::min<unsigned long>(std::strtoul(c, nullptr, 10), 1 << 16) : 1, ' ');
            } else if (fromText && inParagraph && name == "tab") {
                value += '\t';
            } else if (fromText && inParagraph && name == "line-break") {
                value += '\n';
            }
        }
    }

    void end(std::string_view name)
    {
        if (skipDepth > 0) {
            --skipDepth;
            if (skipDepth == 0)
                --depth;
            return;
        }
        if (name == "table-cell" || name == "covered-table-cell") {
            depth = 0;
            if (!value.empty()) {
                if (column + cellRepeat > 16384) {
                    fail("it has a row wider than a sheet can be");
                    return;
                }
                row.cells.resize(column + cellRepeat);
                for (std::size_t i = 0; i < cellRepeat; ++i)
                    row.cells[column + i] = value;
            }
            column += cellRepeat;
        } else if (name == "table-row") {
            if (!row.cells.empty()) {
                if (rowRepeat > 1 << 20) {
                    fail("it repeats a row more often than a sheet has rows");
                    return;
                }
                for (std::size_t i = 0; i < rowRepeat; ++i, ++row.number)
                    use(row);
            } else {
                row.number += rowRepeat;
            }
        } else if (depth > 0) {
            --depth;
            if (name == "p" || name == "h")
                inParagraph = false;
        }
    }

    void text(std::string_view text)
    {
        if (skipDepth == 0 && fromText && inParagraph)
            value += text;
    }

    void fail(const std::string& why)
    {
        failure = why;
        XML_StopParser(parser, XML_FALSE);
    }

    // "2026-12-07" of "2026-12-07" or "2026-12-07T00:00:00".
    static std::string dateOf(std::string_view v) { return std::string(v.substr(0, v.find('T'))); }

    // HH:MM:SS of "PT14H05M10S" (ISO 8601's duration, as ODF writes a time).
    static std::string timeOf(std::string_view v)
    {
        if (!v.starts_with("PT"))
            return std::string(v);
        double h = 0, m = 0, s = 0;
        if (std::sscanf(std::string(v).c_str(), "PT%lfH%lfM%lfS", &h, &m, &s) != 3)
            return std::string(v);
        const long seconds = std::lround(h * 3600 + m * 60 + s);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
        return buffer;
    }
};

bool readOds(Archive& archive, const std::function<void(const SheetRow&)>& use, std::string& refusal)
{
    if (archive.has("META-INF/manifest.xml")) {
        OdsManifest manifest;
        Parser<OdsManifest> parser(manifest);
        if (!archive.parse("META-INF/manifest.xml", parser.get(), refusal))
            return false;
        if (manifest.encrypted) {
            refusal = "it is encrypted: save it without a password";
            return false;
        }
    }
    std::string failure;
    OdsContent content{use, failure, {}, 1, 1, 0, 0, 0, 0, false, false, {}, nullptr};
    Parser<OdsContent> parser(content);
    content.parser = parser.get();
    if (!archive.parse("content.xml", parser.get(), refusal)) {
        if (!failure.empty())
            refusal = failure;
        return false;
    }
    return true;
}

} // namespace

bool readSpreadsheet(const std::string& path, const std::function<void(const SheetRow&)>& use, std::string& refusal)
{
    const std::filesystem::path hostPath = hostPathFromUtf8(path);
    std::error_code ec;
    const auto status = std::filesystem::status(hostPath, ec);
    if (ec || !std::filesystem::exists(status)) {
        refusal = "it does not exist";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        refusal = std::filesystem::is_directory(status) ? "it is a folder, not a file" : "it is not a plain file";
        return false;
    }
    if (std::filesystem::file_size(hostPath, ec) > maxWorkbookBytes) {
        refusal = "it is larger than a class's workbook can be (512 MiB)";
        return false;
    }
    // An encrypted .xlsx file is a compound document, as an old .xls file is.
    if (std::FILE* f = std::fopen(hostPath.string().c_str(), "rb")) {
        unsigned char magic[8] = {};
        const std::size_t got = std::fread(magic, 1, sizeof magic, f);
        std::fclose(f);
        if (got == 8 && std::memcmp(magic, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0) {
            refusal = "it is encrypted, or an Excel 97-2003 workbook: save it as .xlsx or .ods, without a password";
            return false;
        }
    }
    Archive archive(path);
    if (!archive.opened()) {
        refusal = "it is no workbook (no .xlsx or .ods file)";
        return false;
    }
    if (archive.has("xl/workbook.xml"))
        return readXlsx(archive, use, refusal);
    if (archive.has("content.xml"))
        return readOds(archive, use, refusal);
    refusal = "it is no workbook (no .xlsx or .ods file)";
    return false;
}

} // namespace qal
