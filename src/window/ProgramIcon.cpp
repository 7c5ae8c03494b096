#include "window/ProgramIcon.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>

namespace qal {

QIcon programIcon()
{
    // One PNG a size, drawn from the SVG when the program was built
    // (:/icons/16x16/qalesson.png ...); a size between them is scaled from
    // the nearest larger one. Read as PNG by name: a reader left to guess the
    // format would load every image plug-in to ask it.
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& size : icons.entryList(QDir::Dirs))
        icon.addPixmap(QPixmap::fromImage(QImage(icons.filePath(size + QStringLiteral("/qalesson.png")), "PNG")));
    return icon;
}

void useProgramIcon()
{
    // Windows without an icon of their own, the lesson window and the input
    // and message boxes alike, take the application's.
    QApplication::setWindowIcon(programIcon());
}

} // namespace qal
