// The yardstick of bench/startup.py: the smallest Qt Widgets program that
// shows one input box, the first thing qalesson shows. It ends when the box
// is closed.

#include <QApplication>
#include <QInputDialog>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qalesson"));
    QInputDialog::getText(nullptr, QApplication::applicationDisplayName(),
                          QStringLiteral("Enter 1 for home user, 2 for Quelby LAN user"));
    return 0;
}
