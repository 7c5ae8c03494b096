#include "fakes/ScriptedRandom.h"

namespace qal::test {

float ScriptedRandom::next()
{
    ++draws;
    if (!values.empty()) {
        last = values.front();
        values.pop_front();
    }
    return last;
}

} // namespace qal::test
