#include "window/ProgramIcon.h"

#include <QApplication>

namespace qal {

QIcon programIcon()
{
    return QIcon(QStringLiteral(":/icons/qalesson.svg"));
}

void useProgramIcon()
{
    // Windows without an icon of their own, the lesson window and the input
    // and message boxes alike, take the application's.
    QApplication::setWindowIcon(programIcon());
}

} // namespace qal
