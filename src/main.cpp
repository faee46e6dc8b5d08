#include "logcategories.h"
#include "mainwidget.h"
#include "singleinstance.h"
#include "startupenvironment.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QMessageBox>

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
    settleStartupEnvironment();
    QApplication a(argc, argv);

    // Lives until the program ends: while it does, other starts are refused.
    SingleInstance instance;
    if (!instance.claim()) {
        return showAlreadyRunning();
    }

    MainWidget w;
    onTerminationSignals(&w, [&w]() { QMetaObject::invokeMethod(&w, "slot_sysTrayExitApp"); });
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 2 && arguments.at(1) == QLatin1String("--bootstart")) {
        // Hidden in the tray; a desktop without a tray gets the window minimised, or there would be no way back.
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            w.hide();
        } else {
            w.showMinimized();
        }
    } else {
        w.show();
    }
    return a.exec();
}
