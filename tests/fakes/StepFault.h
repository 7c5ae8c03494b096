#pragma once

#include "fakes/FaultyHost.h"

#include <algorithm>
#include <cstddef>

namespace qal::test {

// Fails one step of writing (or reading) files, as a file system would: the nth time that
// step is reached for one file number (0: for any number), with the given
// error number. A failing flush first lets shortBytes of its bytes reach the
// file (a short write, as a disk that fills up mid-write gives). Cutting back
// after a failure can be made to fail too, for one number or for any (0).
class StepFault : public FaultyHost {
public:
    enum Step { Open, Write, Flush, Sync, Close, Read };

    StepFault(Step step, int file, int number, int nth = 1, std::size_t shortBytes = 0)
        : step_(step), file_(file), number_(number), nth_(nth), shortBytes_(shortBytes)
    {
    }

    static constexpr int noFile = -1;
    int cutBackFailsFor = noFile; // a file number, 0 for every file
    int cutBacks = 0;             // how many were tried

    int beforeOpen(int n, FileMode) override { return hit(Open, n); }
    int beforeWrite(int n) override { return hit(Write, n); }
    int beforeFlush(int n, std::size_t& bytes) override
    {
        const int e = hit(Flush, n);
        if (e)
            bytes = std::min(bytes, shortBytes_);
        return e;
    }
    int beforeSync(int n) override { return hit(Sync, n); }
    int beforeClose(int n) override { return hit(Close, n); }
    int beforeRead(int n) override { return hit(Read, n); }
    int beforeCutBack(int n) override
    {
        ++cutBacks;
        return cutBackFailsFor == 0 || cutBackFailsFor == n ? 57 : 0;
    }

private:
    int hit(Step step, int n)
    {
        if (step != step_ || (file_ != 0 && n != file_))
            return 0;
        return ++seen_ == nth_ ? number_ : 0;
    }

    Step step_;
    int file_;
    int number_;
    int nth_;
    std::size_t shortBytes_;
    int seen_ = 0;
};

} // namespace qal::test
