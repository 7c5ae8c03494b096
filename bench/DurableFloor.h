#pragma once

// The floor of a record's cost: the three durable steps a record cannot do
// without, and nothing around them. The journal is written over itself in
// place at its fixed size and flushed with fdatasync; then the master file
// and the send file each take their lines in one append, flushed with fsync.
// The files stay open from one step to the next: no lookup, no lock, no
// check. POSIX only, as the benchmarks are.

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace bench {

class DurableFloor {
public:
    // The three files in folder, made there (and emptied) now.
    explicit DurableFloor(const std::filesystem::path& folder)
        : journal_(openOrFail(folder / ".floor-journal", O_WRONLY | O_CREAT | O_TRUNC)),
          master_(openOrFail(folder / "floor-master.txt", O_WRONLY | O_CREAT | O_TRUNC | O_APPEND)),
          send_(openOrFail(folder / "floor-send.txt", O_WRONLY | O_CREAT | O_TRUNC | O_APPEND)), block_(4096, '\0')
    {
        write(journal_, block_, 0);
        ::fsync(journal_);
    }
    ~DurableFloor()
    {
        ::close(journal_);
        ::close(master_);
        ::close(send_);
    }
    DurableFloor(const DurableFloor&) = delete;
    DurableFloor& operator=(const DurableFloor&) = delete;

    // One record's durable steps, its master lines and its send lines given.
    void record(std::string_view masterLines, std::string_view sendLines)
    {
        block_[0] = static_cast<char>('a' + (++records_ % 26)); // a journal of its own each time
        write(journal_, block_, 0);
        if (::fdatasync(journal_) != 0)
            throw std::runtime_error("fdatasync failed");
        write(master_, masterLines, -1);
        if (::fsync(master_) != 0)
            throw std::runtime_error("fsync failed");
        write(send_, sendLines, -1);
        if (::fsync(send_) != 0)
            throw std::runtime_error("fsync failed");
    }

private:
    static int openOrFail(const std::filesystem::path& path, int flags)
    {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd < 0)
            throw std::runtime_error("cannot open " + path.string());
        return fd;
    }
    // At offset, or at the end for -1.
    static void write(int fd, std::string_view bytes, off_t offset)
    {
        const ssize_t n =
            offset < 0 ? ::write(fd, bytes.data(), bytes.size()) : ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("write failed");
    }

    int journal_;
    int master_;
    int send_;
    std::string block_;
    long records_ = 0;
};

} // namespace bench
