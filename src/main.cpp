// The lesson program: one window, its core, and the platform services.

#include "platform/Clock.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/LessonForm.h"
#include "window/FormHandlers.h"
#include "window/MainWindow.h"
#include "window/QtToolkit.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The input and message boxes carry the program's name as their title.
    QApplication::setApplicationName(QStringLiteral("qalesson"));
    // The program ends when the lesson window closes or the lesson ends it,
    // not when a start-up box closes before the window was ever shown.
    QApplication::setQuitOnLastWindowClosed(false);

    qal::FileTable files; // closes every file when the program ends
    qal::SystemClock clock;
    qal::Random random;
    qal::MainWindow window;
    qal::QtToolkit toolkit(window);
    qal::LessonForm form(toolkit, files, clock, random);
    window.setHandlers(qal::FormHandlers::of(form));

    // Start-up runs before the window is first shown; when it ends the
    // program, the window never appears.
    form.Form_Load();
    if (form.ended())
        return 0;
    window.show();
    return QApplication::exec();
}
