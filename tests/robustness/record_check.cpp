// Prints the blocks of a master, send or notes file, for scripts that check
// files the real program wrote.
//
//   record_check master|send|notes FILE [--allow-torn]
//
// One line a block: "H " and the student name, "R " and the response, or
// "N " and the note, line breaks inside shown as "\n"; then "torn N", the
// number of blocks cut short (accepted only with --allow-torn). Exit status
// 1 and the reason on standard error when the file is not whole, 2 on a
// usage error or a file that cannot be read.

#include "robustness/RecordLayout.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    using qal::test::RecordBlock;
    using qal::test::RecordFileKind;
    if (argc < 3 || argc > 4 || (argc == 4 && std::string(argv[3]) != "--allow-torn")) {
        std::cerr << "usage: record_check master|send|notes FILE [--allow-torn]\n";
        return 2;
    }
    const std::string kindName = argv[1];
    RecordFileKind kind;
    if (kindName == "master")
        kind = RecordFileKind::Master;
    else if (kindName == "send")
        kind = RecordFileKind::Send;
    else if (kindName == "notes")
        kind = RecordFileKind::Notes;
    else {
        std::cerr << "record_check: no such kind of file: " << kindName << '\n';
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::cerr << "record_check: cannot read " << argv[2] << '\n';
        return 2;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto file = qal::test::parseRecordFile(bytes, kind, argc == 4);
    if (!file.whole()) {
        std::cerr << "record_check: " << argv[2] << ": " << file.error << '\n';
        return 1;
    }
    for (const RecordBlock& b : file.blocks) {
        std::string text = b.text;
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
            text.replace(at, 2, "\\n");
        std::cout << (b.kind == RecordBlock::Header     ? "H "
                      : b.kind == RecordBlock::Response ? "R "
                                                        : "N ")
                  << text << '\n';
    }
    std::cout << "torn " << file.torn << '\n';
    return 0;
}
