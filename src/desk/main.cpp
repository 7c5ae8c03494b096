// The instructor's desk: checking a lesson, trying it, collecting the
// answers and returning feedback, in one window.

#include "desk/window/DeskWindow.h"
#include "platform/Console.h"
#include "window/DisplayCheck.h"
#include "window/ProgramIcon.h"

#include <QApplication>

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    // Without a display the toolkit would abort the program; say why instead,
    // on the console the desk was started from.
    const std::vector<std::string> arguments(argv, argv + argc);
    if (!qal::displayReachable(arguments)) {
        qal::useParentConsole();
        std::cerr << qal::noDisplayMessage << std::endl;
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qalesson desk"));
    qal::useProgramIcon();
    qal::DeskWindow window;
    window.show();
    return QApplication::exec();
}
