// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandline.h"
#include "desktopidentity.h"
#include "headlesslauncher.h"
#include "logcategories.h"
#include "mainwidget.h"
#include "singleinstance.h"
#include "startupenvironment.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QThreadPool>

namespace {
int showAlreadyRunning()
{
    qCInfo(lcShell) << "another instance runs already; this one ends";
    QMessageBox notice(QMessageBox::Information,
                       QStringLiteral("Notice"),
                       QStringLiteral("Orvane") + QStringLiteral(" is running..."),
                       QMessageBox::Ok);
    notice.setDefaultButton(static_cast<QPushButton*>(nullptr));
    notice.exec();
    return 0;
}
} // namespace

int main(int argc, char* argv[])
{
    // --help and --version, before anything needs a display, a runtime folder or another instance is looked for.
    const int answered = CommandLine::answerQuery(argc, argv);
    if (answered >= 0) {
        return answered;
    }
    // Before any QApplication: the headless program needs no display server.
    if (HeadlessLauncher::isRequested(argc, argv)) {
        return HeadlessLauncher::run(argc, argv);
    }
    settleStartupEnvironment();
    QApplication a(argc, argv);
    DesktopIdentity::apply();
    // Qt converts each new picture on its global pool, whose threads would then idle for half a minute with a few MB
    // of heap each; a reading comes every 2 s and changes a picture seldom.
    QThreadPool::globalInstance()->setExpiryTimeout(1000);

    // Lives until the program ends: while it does, other starts are refused.
    SingleInstance instance;
    if (!instance.claim()) {
        return showAlreadyRunning();
    }

    MainWidget w;
    onTerminationSignals(&w, [&w]() { QMetaObject::invokeMethod(&w, "slot_sysTrayExitApp"); });
    if (CommandLine::startsHidden(QApplication::arguments())) {
        // Hidden in the tray, waiting for one that comes up later; minimised if none comes.
        w.startHidden();
    } else {
        w.show();
    }
    return a.exec();
}
