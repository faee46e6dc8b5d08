// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of a program paced by a 10 ms tick, as Orvane was: a bare Qt application whose only work is one 10 ms
// timer. bench/idle_cost.sh measures it beside Orvane. Runs until it is ended (SIGTERM).
#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    // As orvane does, so that the two load the same parts of Qt.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    QApplication app(argc, argv);
    QTimer tick;
    quint64 ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, &app, [&ticks] { ++ticks; });
    tick.start(10);
    return app.exec();
}
