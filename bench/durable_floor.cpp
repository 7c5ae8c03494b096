// The bare floor program: a record's three durable steps (DurableFloor.h)
// made `count` times in `folder`, and the milliseconds each took on average,
// as one line of JSON. record_bench takes turns with the same steps in one
// loop (BM_EnterResponseAgainstFloor); this is the floor on its own, for a
// folder on another file system.
//
// Usage: durable_floor FOLDER [COUNT]   (COUNT defaults to 200)

#include "DurableFloor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: durable_floor FOLDER [COUNT]\n");
        return 2;
    }
    const long count = argc > 2 ? std::atol(argv[2]) : 200;
    try {
        bench::DurableFloor floor(argv[1]);
        const std::string master(435, 'm');
        const std::string send(407, 's');
        const auto start = std::chrono::steady_clock::now();
        for (long i = 0; i < count; ++i)
            floor.record(master, send);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("{\"records\": %ld, \"floor_ms\": %.4f}\n", count, 1000 * seconds / static_cast<double>(count));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "durable_floor: %s\n", e.what());
        return 1;
    }
    return 0;
}
