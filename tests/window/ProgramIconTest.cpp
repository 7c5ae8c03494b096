// The program's icon: drawn from the SVG at build time at every size a desktop
// asks for, and carried by the lesson window and by the start-up dialogs.

#include "window/MainWindow.h"
#include "window/ProgramIcon.h"

#include <QImageReader>
#include <QInputDialog>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>

namespace {

// The icon's frame colour and the answer box's paper, as the SVG fills them.
const QColor frameBlue(0x2b, 0x5c, 0x8a);
const QColor answerPaper(0xff, 0xf6, 0xd5);

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}

// Whether icon draws as the program's icon at size: the frame at the left
// edge and the answer box's paper, at the SVG's places scaled to size.
QString drawsAsProgramIcon(const QIcon& icon, int size)
{
    if (icon.isNull())
        return QStringLiteral("the icon is null");
    const QImage image = icon.pixmap(QSize(size, size)).toImage();
    if (image.size() != QSize(size, size))
        return QStringLiteral("drawn at %1x%2").arg(image.width()).arg(image.height());
    auto at = [&](double x, double y) { return image.pixelColor(int(x * size / 64), int(y * size / 64)); };
    if (!near(at(7, 32), frameBlue))
        return QStringLiteral("frame is %1").arg(at(7, 32).name());
    if (!near(at(38, 50), answerPaper))
        return QStringLiteral("answer box is %1").arg(at(38, 50).name());
    return {};
}

} // namespace

class ProgramIconTest : public QObject {
    Q_OBJECT

private slots:
    void drawnAtEverySize_data();
    void drawnAtEverySize();
    void showsThePngsDrawnAtBuildTime_data() { drawnAtEverySize_data(); }
    void showsThePngsDrawnAtBuildTime();
    void windowAndDialogsCarryIt();
    void windowsIconHoldsTheSamePictures();
};

void ProgramIconTest::drawnAtEverySize_data()
{
    QTest::addColumn<int>("size");
    // The sizes a window carries; the larger ones are installed for
    // launchers and held in the .ico.
    for (int size : {16, 22, 24, 32, 48, 64})
        QTest::addRow("%dx%d", size, size) << size;
}

void ProgramIconTest::drawnAtEverySize()
{
    QFETCH(int, size);
    // Drawn for this size at build time, not scaled from another.
    QVERIFY(qal::programIcon().availableSizes().contains(QSize(size, size)));
    QCOMPARE(drawsAsProgramIcon(qal::programIcon(), size), QString());
}

// The pictures the windows carry show pixel for pixel what the PNGs drawn
// from the SVG would show.
void ProgramIconTest::showsThePngsDrawnAtBuildTime()
{
    QFETCH(int, size);
    const QImage png(QStringLiteral(QALESSON_ICON_DIR "/%1x%1/qalesson.png").arg(size), "PNG");
    QVERIFY(!png.isNull());
    const QImage shown = qal::programIcon().pixmap(QSize(size, size)).toImage();
    QCOMPARE(shown.format(), QPixmap::fromImage(png).toImage().format());
    QCOMPARE(shown, QPixmap::fromImage(png).toImage());
}

void ProgramIconTest::windowAndDialogsCarryIt()
{
    qal::useProgramIcon();
    qal::MainWindow window;
    QInputDialog input; // the start-up boxes have no parent: the window is not shown yet
    QMessageBox message;
    QCOMPARE(drawsAsProgramIcon(window.windowIcon(), 32), QString());
    QCOMPARE(drawsAsProgramIcon(input.windowIcon(), 32), QString());
    QCOMPARE(drawsAsProgramIcon(message.windowIcon(), 32), QString());
}

// The .ico that Explorer and the taskbar show (built into qalesson.exe) holds
// the window's PNGs, pixel for pixel, at every size Windows asks for.
void ProgramIconTest::windowsIconHoldsTheSamePictures()
{
    const QString dir = QStringLiteral(QALESSON_ICON_DIR);
    QImageReader ico(dir + QStringLiteral("/qalesson.ico"), "ico");
    if (!QImageReader::supportedImageFormats().contains("ico"))
        QSKIP("this Qt reads no .ico (its ico image plug-in is missing)");
    QList<int> sizes;
    for (int i = 0; i < ico.imageCount(); ++i) {
        QVERIFY(ico.jumpToImage(i));
        const QImage picture = ico.read();
        QVERIFY2(!picture.isNull(), qPrintable(ico.errorString()));
        const int size = picture.width();
        const QImage png(dir + QStringLiteral("/%1x%1/qalesson.png").arg(size));
        QVERIFY2(!png.isNull(), qPrintable(QStringLiteral("no PNG of %1 pixels").arg(size)));
        QCOMPARE(picture.convertToFormat(QImage::Format_ARGB32), png.convertToFormat(QImage::Format_ARGB32));
        sizes.append(size);
    }
    QCOMPARE(sizes, QList<int>({16, 24, 32, 48, 64, 128, 256}));
}

QTEST_MAIN(ProgramIconTest)
#include "ProgramIconTest.moc"
