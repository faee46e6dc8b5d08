#include "logcategories.h"
#include "mainwidget.h"
#include "sharedsegment.h"
#include "terminationsignals.h"

#include <QApplication>
#include <QMessageBox>
#include <QSharedMemory>
#include <QSystemSemaphore>

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
    // Nothing here draws with OpenGL; without this the X11 platform loads the GL stack (tens of MB) at start.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    QApplication a(argc, argv);

    const QString semaphoreKey = QStringLiteral("KEY_QUASTOR_SEMAPHORE_AP");
    const QString sharedMemoryKey = QStringLiteral("KEY_QUASTOR_SHAREMEMORY_AP");

    QSystemSemaphore semaphore(semaphoreKey, 1, QSystemSemaphore::Open);
    if (!semaphore.acquire()) {
        return showAlreadyRunning();
    }

    QSharedMemory sharedMemory(sharedMemoryKey);
    bool isNew = false;
    if (!sharedMemory.attach(QSharedMemory::ReadWrite)) {
        isNew = true;
        if (!sharedMemory.create(1, QSharedMemory::ReadWrite) && sharedMemory.error() == QSharedMemory::AlreadyExists &&
            sharedMemory.attach(QSharedMemory::ReadWrite)) {
            // The segment is there but its key file was not (a /tmp cleaner took it): whoever made the segment
            // decides, as below.
            isNew = sharedSegmentIsOrphaned(sharedMemory);
        }
    } else if (sharedSegmentIsOrphaned(sharedMemory)) {
        // A first instance that was killed leaves its segment behind; nobody else holds it, so this start is the
        // first instance now and keeps the segment attached for its own lifetime.
        isNew = true;
    }
    semaphore.release();

    if (!isNew) {
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
