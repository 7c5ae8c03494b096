// The one Windows host object; its calls are defined by their part (see
// WindowsHost.h).

#include "platform/windows/WindowsHost.h"

namespace qal {

Host& systemHost()
{
    static WindowsHost host;
    return host;
}

} // namespace qal
