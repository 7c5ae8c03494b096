// The one POSIX host object; its calls are defined by their part (see
// PosixHost.h).

#include "platform/posix/PosixHost.h"

namespace qal {

Host& systemHost()
{
    // The program has one thread that writes files; signals are held per
    // thread, so one host object serves it.
    static PosixHost host;
    return host;
}

} // namespace qal
