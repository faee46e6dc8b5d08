// SPDX-License-Identifier: GPL-3.0-or-later
#include "headlessprogram.h"

#include "displayfeed.h"
#include "figuresettings.h"
#include "logcategories.h"
#include "runtimefolder.h"
#include "settingsfile.h"
#include "singleinstance.h"
#include "startupenvironment.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QThreadPool>
#include <cstdio>
#include <cstring>

namespace {
const char* const kSettings = "--settings";

// Nothing of this instance is shared with the window's: its own sensor server socket, lock and diagnostic copy.
const char* const kInstanceFolder = "orvane-headless";

struct Options
{
    QString settingsFile;
};

bool parse(int argc, char* argv[], Options* options)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], kSettings) == 0 && i + 1 < argc && argv[i + 1][0] != '\0') {
            options->settingsFile = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strncmp(argv[i], "--settings=", 11) == 0 && argv[i][11] != '\0') {
            options->settingsFile = QString::fromLocal8Bit(argv[i] + 11);
        } else {
            std::fprintf(stderr,
                         "orvane: unexpected '%s' after --headless\nUsage: orvane --headless [--settings FILE]\n",
                         argv[i]);
            return false;
        }
    }
    return true;
}

// A service names its runtime folder in RUNTIME_DIRECTORY (the first, if it names several); Qt and our children
// look for XDG_RUNTIME_DIR.
void adoptServiceRuntimeFolder()
{
    const QByteArray service = qgetenv("RUNTIME_DIRECTORY").split(':').value(0);
    if (!service.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", service);
    }
}

// The choice is read once, at start; this program never writes settings.
void chooseFromSettings(DisplayFeed& feed, const QString& given)
{
    const QString path = given.isEmpty() ? SettingsFile::readPath() : given;
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable()) {
        qCInfo(lcShell).noquote() << "no readable settings file at" << path
                                  << "- the display shows the figures the "
                                     "sensor document's rules pick";
        return;
    }
    if (QSettings(path, QSettings::IniFormat).status() != QSettings::NoError) {
        qCWarning(lcShell).noquote() << "cannot read the settings file" << path
                                     << "- the display shows the figures the sensor document's rules pick";
        return;
    }
    const FigureSettings::Choice choice = FigureSettings::read(path);
    feed.chooseFigures(choice.temperature, choice.fan, choice.load);
}
} // namespace

namespace HeadlessProgram {
int run(int argc, char* argv[])
{
    Options options;
    if (!parse(argc, argv, &options)) {
        return 2;
    }
    adoptServiceRuntimeFolder();
    RuntimeFolder::useInstanceFolder(QString::fromLatin1(kInstanceFolder));
    settleStartupEnvironment();
    QCoreApplication app(argc, argv);
    QThreadPool::globalInstance()->setExpiryTimeout(1000);

    SingleInstance instance;
    if (!instance.claim()) {
        qCInfo(lcShell) << "another headless Orvane of this user runs already; this one ends";
        return 0;
    }

    // No sweep to wait for: the server starts now and the first reading goes to the display as soon as it comes.
    DisplayFeed feed;
    chooseFromSettings(feed, options.settingsFile);
    feed.start();

    onTerminationSignals(&app, [&feed]() {
        feed.onStop();
        QCoreApplication::quit();
    });
    qCInfo(lcShell) << "feeding the display without a window";
    return app.exec();
}
} // namespace HeadlessProgram
