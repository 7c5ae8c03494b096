// The lesson program: one window, its core, and the platform services.

#include "instructor/LessonCheck.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/FileTable.h"
#include "platform/Random.h"
#include "run/CommandLine.h"
#include "run/LessonFile.h"
#include "run/LessonForm.h"
#include "window/DisplayCheck.h"
#include "window/EndSignals.h"
#include "window/MainWindow.h"
#include "window/ProgramIcon.h"
#include "window/QtToolkit.h"

#include <QApplication>
#include <QMessageBox>

#include <iostream>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char* argv[])
{
    // Our options are read before the toolkit starts, so --help, --version
    // and --check work without a display; the toolkit gets only its own options.
    // The arguments are read as UTF-8 text: a lesson file's name may hold
    // any character.
    qal::CommandLine command = qal::parseCommandLine(qal::commandLineArguments(argc, argv));
    // What only prints goes to the console the program was started from.
    // Only then: a window program attached to a console would also be ended
    // by its Ctrl+C.
    if (command.action != qal::CommandLine::Action::Run)
        qal::useParentConsole();
    switch (command.action) {
    case qal::CommandLine::Action::ShowHelp:
        std::cout << qal::helpText();
        return 0;
    case qal::CommandLine::Action::ShowVersion:
        std::cout << qal::versionText();
        return 0;
    case qal::CommandLine::Action::Refuse:
        std::cerr << "qalesson: " << command.problem << "\n" << qal::usageText();
        return 2;
    case qal::CommandLine::Action::Check:
        return qal::checkLessonCommand(command.lessonPath, std::cout, std::cerr);
    case qal::CommandLine::Action::Run:
        break;
    }

    // A lesson file is read and checked before anything else: a refused one
    // is said on standard error at once, with a display or without, and
    // ends the program before anything is asked or written.
    qal::LessonFile lesson;
    std::string refusal;
    if (!command.lessonPath.empty()) {
        lesson = qal::readLessonFile(command.lessonPath);
        if (!lesson.usable()) {
            refusal = qal::lessonFileRefusalLine(command.lessonPath, lesson.refusal);
            std::cerr << refusal << std::endl;
        }
    }
    // Without a display the toolkit would abort the program; say why instead.
    if (!qal::displayReachable(command.toolkitArguments)) {
        std::cerr << qal::noDisplayMessage << std::endl;
        return 2;
    }

    // From here on, a logout, a closed terminal or Ctrl+C ends the program
    // between commands, never in the middle of a record.
    qal::EndSignals::install();

    std::vector<char*> toolkitArgv;
    for (std::string& argument : command.toolkitArguments)
        toolkitArgv.push_back(argument.data());
    toolkitArgv.push_back(nullptr);
    int toolkitArgc = static_cast<int>(toolkitArgv.size()) - 1;

    qal::toolkitStarting();
    QApplication app(toolkitArgc, toolkitArgv.data());
    qal::toolkitStarted();
    // The input and message boxes carry the program's name as their title.
    QApplication::setApplicationName(QStringLiteral("qalesson"));
    qal::useProgramIcon();
    // The program ends when the lesson window closes or the lesson ends it,
    // not when a start-up box closes before the window was ever shown.
    QApplication::setQuitOnLastWindowClosed(false);

    // The refusal, now in a box too, for a student who started the program
    // from a file manager and sees no standard error.
    if (!refusal.empty()) {
        QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), QString::fromLocal8Bit(refusal),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 2;
    }

    qal::FileTable files; // closes every file when the program ends
    qal::SystemClock clock;
    qal::Random random;
    // The toolkit makes the window when it is first needed, to be shown once
    // start-up is done: the prompts need nothing of it, so the first one is
    // not kept waiting while it is made.
    qal::QtToolkit toolkit;
    qal::LessonForm form(toolkit, files, clock, random);
    toolkit.setEvents(form);
    qal::EndSignals endSignals([&toolkit] { toolkit.requestEnd(); });

    if (!command.lessonPath.empty())
        form.setLessonLines(std::move(lesson.lines));

    // Start-up runs before the window is first shown; when it ends the
    // program, the window never appears (and is never made).
    form.Form_Load();
    if (form.ended())
        return 0;
    toolkit.window().show();
    return QApplication::exec();
}
