#pragma once

#include <QIcon>

namespace qal {

// The program's icon, drawn from the SVG built into the program (the one the
// desktop's menu shows too), at whatever size is asked for.
QIcon programIcon();

// Makes the program's icon that of every window and dialog of the program.
void useProgramIcon();

} // namespace qal
