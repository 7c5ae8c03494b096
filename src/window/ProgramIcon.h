#pragma once

#include <QIcon>

namespace qal {

// The program's icon, from the PNGs built into the program (drawn from the
// SVG the desktop's menu shows when the program was built), at whatever size
// is asked for.
QIcon programIcon();

// Makes the program's icon that of every window and dialog of the program.
void useProgramIcon();

} // namespace qal
