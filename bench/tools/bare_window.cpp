// SPDX-License-Identifier: GPL-3.0-or-later
// The reference of the window start-up benchmark: a bare Qt main window, shown
// and left at its first idle pass of the event loop (a zero timer fires once the
// pending window-system events are done), the same end point tolvex is timed to.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QLabel("Tolvex", &window));
    window.resize(1127, 530);
    window.show();
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}
