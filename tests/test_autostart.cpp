// SPDX-License-Identifier: GPL-3.0-or-later
// The AutoStart check box and the XDG autostart entry behind it.
#include "bootstarttask.h"
#include "desktopentry.h"
#include "dialogwatcher.h"
#include "mainwidgetprobe.h"

#include <QCheckBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/OrvaneAutoStart.desktop");
}

QByteArray readEntry()
{
    QFile file(entryPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeEntry(const QByteArray& text)
{
    QDir().mkpath(QFileInfo(entryPath()).absolutePath());
    QFile file(entryPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}
} // namespace

class TestAutoStart : public QObject
{
    Q_OBJECT

    QTemporaryDir mConfig;

private slots:
    void initTestCase()
    {
        // Never the user's own autostart folder.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(mConfig.path()));
        QVERIFY(entryPath().startsWith(mConfig.path()));
    }

    void init() { QFile::remove(entryPath()); }

    void roundTrip()
    {
        QVERIFY(!BootStartTask::exists());
        BootStartTask::create();
        QVERIFY(QFile::exists(entryPath()));
        QVERIFY(BootStartTask::exists());
        BootStartTask::remove();
        QVERIFY(!QFile::exists(entryPath()));
        QVERIFY(!BootStartTask::exists());
        // Removing what is not there is harmless.
        BootStartTask::remove();
        QVERIFY(!BootStartTask::exists());
    }

    void entryIsValid()
    {
        BootStartTask::create();
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {entryPath()});
        QVERIFY(validate.waitForFinished(30000));
        QCOMPARE(QString::fromLocal8Bit(validate.readAllStandardOutput() + validate.readAllStandardError()), QString());
        QCOMPARE(validate.exitCode(), 0);
        const auto keys = DesktopEntry::parseMainGroup(QString::fromUtf8(readEntry()));
        QCOMPARE(keys.value("Type"), QStringLiteral("Application"));
        QCOMPARE(DesktopEntry::splitExec(keys.value("Exec")),
                 (QStringList {QCoreApplication::applicationFilePath(), QStringLiteral("--bootstart")}));
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "/usr/libexec/orvane/orvane";
        QTest::newRow("blanks") << "/home/ann/My Programs/Orvane 2/orvane";
        QTest::newRow("double quotes") << "/opt/\"quoted\" dir/orvane";
        QTest::newRow("single quote") << "/home/o'neil/orvane";
        QTest::newRow("dollar and backtick") << "/tmp/$HOME `id`/orvane";
        QTest::newRow("backslash") << "/tmp/back\\slash/orvane";
        QTest::newRow("percent") << "/tmp/100%/orvane %f";
        QTest::newRow("non-ASCII") << QStringLiteral("/home/jürgen/программы/orvane");
    }

    void execQuoting()
    {
        QFETCH(QString, path);
        // What the file holds is read back, through the string escapes and the Exec quoting, as the path itself.
        const QString exec = DesktopEntry::quoteExecArgument(path) + QStringLiteral(" --bootstart");
        const QString file = QStringLiteral("[Desktop Entry]\nExec=%1\n").arg(DesktopEntry::escapeValue(exec));
        const auto keys = DesktopEntry::parseMainGroup(file);
        QCOMPARE(DesktopEntry::splitExec(keys.value("Exec")), (QStringList {path, QStringLiteral("--bootstart")}));

        // And a desktop's own reader agrees: the entry passes validation.
        QTemporaryDir dir;
        const QString entry = dir.filePath(QStringLiteral("probe.desktop"));
        QFile out(entry);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Probe\n").toUtf8() +
                  QStringLiteral("Exec=%1\n").arg(DesktopEntry::escapeValue(exec)).toUtf8());
        out.close();
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {entry});
        QVERIFY(validate.waitForFinished(30000));
        QCOMPARE(QString::fromLocal8Bit(validate.readAllStandardOutput()), QString());
    }

    void queryAnswersOnlyForOurEntry_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ours");
        const QByteArray exec =
            DesktopEntry::escapeValue(DesktopEntry::quoteExecArgument(QCoreApplication::applicationFilePath()) +
                                      QStringLiteral(" --bootstart"))
                .toUtf8();
        QTest::newRow("someone else's file")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Other\nExec=" + exec + "\n") << false;
        QTest::newRow("ours") << QByteArray("[Desktop Entry]\nType=Application\nName=Orvane\nExec=" + exec +
                                            "\nX-Orvane-AutoStart=true\n")
                              << true;
        QTest::newRow("switched off by the desktop")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Orvane\nExec=" + exec +
                          "\nX-Orvane-AutoStart=true\nHidden=true\n")
            << false;
        QTest::newRow("switched off in GNOME")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Orvane\nExec=" + exec +
                          "\nX-Orvane-AutoStart=true\nX-GNOME-Autostart-"
                          "enabled=false\n")
            << false;
        QTest::newRow("another copy of the program")
            << QByteArray("[Desktop Entry]\nType=Application\nName=Orvane\nExec=\"/elsewhere/orvane\" "
                          "--bootstart\nX-Orvane-AutoStart=true\n")
            << false;
        QTest::newRow("marker in another group") << QByteArray("[Desktop Entry]\nType=Application\nExec=" + exec +
                                                               "\n[Desktop Action x]\nX-Orvane-AutoStart=true\n")
                                                 << false;
        QTest::newRow("empty file") << QByteArray() << false;
    }

    void queryAnswersOnlyForOurEntry()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ours);
        writeEntry(text);
        QCOMPARE(BootStartTask::exists(), ours);
    }

    void foreignEntryIsNotDeleted()
    {
        writeEntry("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
        BootStartTask::remove();
        QVERIFY(QFile::exists(entryPath()));
    }

    void checkBoxCreatesAndDeletes()
    {
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(w)->stop();
        QCheckBox* box = MainWidgetProbe::ui(w)->main_ckb_autostart;
        QVERIFY(!box->isChecked());
        box->click();
        QVERIFY(BootStartTask::exists());
        box->click();
        QVERIFY(!QFile::exists(entryPath()));
    }

    // When the entry cannot be written the box stays unticked and a message says why.
    void checkBoxTellsTheTruth()
    {
        const QString folder = QFileInfo(entryPath()).absolutePath();
        QDir(folder).removeRecursively();
        // A file where the autostart folder belongs: no entry can be made, even by root.
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(w)->stop();
        QCheckBox* box = MainWidgetProbe::ui(w)->main_ckb_autostart;
        DialogWatcher watcher;
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(watcher.seen().size(), 1);
        QVERIFY2(watcher.seen().first().text.startsWith(QLatin1String("AutoStart could not be turned on: ")),
                 qPrintable(watcher.seen().first().text));
        QVERIFY(blocker.remove());
    }

    void startUpMirrorsEntryWithoutChangingIt_data()
    {
        QTest::addColumn<bool>("entryPresent");
        QTest::newRow("entry present") << true;
        QTest::newRow("entry absent") << false;
    }

    void startUpMirrorsEntryWithoutChangingIt()
    {
        QFETCH(bool, entryPresent);
        if (entryPresent) {
            BootStartTask::create();
        }
        const QByteArray before = readEntry();
        const QDateTime modified = QFileInfo(entryPath()).lastModified();
        {
            MainWidget w(MainWidgetProbe::feedByHand());
            MainWidgetProbe::sysTimer(w)->stop();
            QCOMPARE(MainWidgetProbe::ui(w)->main_ckb_autostart->isChecked(), entryPresent);
        }
        QCOMPARE(QFile::exists(entryPath()), entryPresent);
        QCOMPARE(readEntry(), before);
        QCOMPARE(QFileInfo(entryPath()).lastModified(), modified);
    }
};

QTEST_MAIN(TestAutoStart)
#include "test_autostart.moc"
