#include "window/ProgramIcon.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QResource>

namespace qal {

QIcon programIcon()
{
    // One picture a size, drawn from the SVG when the program was built and
    // kept as its RGBA bytes, side by side pixels from the top row down
    // (:/icons/16x16/qalesson.rgba ...); a size between them is scaled from
    // the nearest larger one. Nothing is decoded and no image reader is
    // asked, which would first look through every image plug-in.
    QIcon icon;
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString& size : icons.entryList(QDir::Dirs)) {
        const int side = size.section(QLatin1Char('x'), 0, 0).toInt();
        const QResource picture(icons.filePath(size + QStringLiteral("/qalesson.rgba")));
        const QByteArray pixels = picture.uncompressedData();
        if (side <= 0 || pixels.size() != qsizetype(side) * side * 4)
            continue;
        icon.addPixmap(QPixmap::fromImage(
            QImage(reinterpret_cast<const uchar*>(pixels.constData()), side, side, side * 4, QImage::Format_RGBA8888)));
    }
    return icon;
}

void useProgramIcon()
{
    // Windows without an icon of their own, the lesson window and the input
    // and message boxes alike, take the application's.
    QApplication::setWindowIcon(programIcon());
}

} // namespace qal
