// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of orvane --headless: a bare QCoreApplication that loads every library orvane loads and does nothing.
// bench/idle_cost.sh measures it beside the headless program. Runs until it is ended (SIGTERM).
#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    return app.exec();
}
