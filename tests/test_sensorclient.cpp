// SPDX-License-Identifier: GPL-3.0-or-later
// The sensor client against a real local socket server and real server processes.
#include "diagnosticcopy.h"
#include "hardwareinfo.h"
#include "hardwareinfoprobe.h"
#include "sensorendpoint.h"
#include "sensorpeer.h"
#include "sensorprotocol.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <csignal>
#include <memory>
#include <sys/stat.h>

namespace {
const QByteArray kSeparator = QByteArrayLiteral("\r\n\r\n");

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool processExists(qint64 pid)
{
    return pid > 0 && ::kill(pid_t(pid), 0) == 0;
}

// The client on a worker thread of its own, wired as the controller wires it.
class Client
{
public:
    // Where the client looks for the server program: the real one beside the application unless given.
    explicit Client(QObject* receiver,
                    const QString& program = SensorEndpoint::serverProgram(),
                    int waitMs = HardWareInfo::kDefaultWaitMs)
    {
        client = new HardWareInfo(program, waitMs);
        client->moveToThread(&thread);
        thread.start();
        QObject::connect(
            client, &HardWareInfo::signal_hwReadData, receiver, [this](ST_HWINFO_DATA data) { replies << data; });
    }

    ~Client()
    {
        thread.quit();
        thread.wait();
        delete client;
    }

    // By name, queued: the request is a private slot that only the feed's signal and its pacer reach.
    void request()
    {
        if (!QMetaObject::invokeMethod(client, "slot_hwGetData", Qt::QueuedConnection)) {
            qFatal("HardWareInfo has no slot slot_hwGetData()");
        }
    }

    // Lets the worker finish what is queued for it, then takes its replies in.
    void settle()
    {
        QMetaObject::invokeMethod(
            client, []() {}, Qt::BlockingQueuedConnection);
        QCoreApplication::processEvents();
    }

    HardWareInfo* client = nullptr;
    QThread thread;
    QList<ST_HWINFO_DATA> replies;
};

// The application quits as at the tray's exit: the event loop ends and about-to-quit is sent.
void quitApplication()
{
    QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    QCoreApplication::exec();
}
} // namespace

class TestSensorClient : public QObject
{
    Q_OBJECT

    QTemporaryDir mWorkDir;
    // A socket path has room for about 100 bytes: a runtime folder deep in the build tree would not do.
    QTemporaryDir mRuntimeDir {QStringLiteral("/tmp/orvane-XXXXXX")};
    QTemporaryDir mAppDir;
    QByteArray mDocument;

    // The copy goes to this run's runtime folder.
    QString hardInfo() const { return DiagnosticCopy::path(); }

    // A server program in a folder of its own: the real VOViredo reading a fixture machine.
    QString voviredoScript(const QString& machine)
    {
        const QString fixture = TestSupport::fixturesDir() + QStringLiteral("/sysfs/") + machine;
        const QString path = mAppDir.filePath(machine + QStringLiteral("-VOViredo"));
        QFile script(path);
        if (!script.exists()) {
            script.open(QIODevice::WriteOnly);
            script.write(QStringLiteral("#!/bin/sh\nexec '%1/voviredo/VOViredo' --sysfs-root '%2/sys' --proc-root "
                                        "'%2/proc' --fan-names /dev/null \"$@\"\n")
                             .arg(TestSupport::binaryDir(), fixture)
                             .toUtf8());
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        return path;
    }

    // A server that will not end when asked to.
    QString stubbornScript()
    {
        const QString path = mAppDir.filePath(QStringLiteral("stubborn-VOViredo"));
        QFile script(path);
        if (!script.exists()) {
            script.open(QIODevice::WriteOnly);
            script.write("#!/bin/sh\ntrap '' TERM\nexec sleep 300\n");
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        return path;
    }

    static void compare(const ST_HWINFO_DATA& data, int cputmp, int cpuload, int cpufan)
    {
        QCOMPARE(data.cputmp, cputmp);
        QCOMPARE(data.cpuload, cpuload);
        QCOMPARE(data.cpufan, cpufan);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mWorkDir.isValid() && mRuntimeDir.isValid() && mAppDir.isValid());
        // The socket and the copy of the reply go to this run's own runtime folder.
        QVERIFY(QDir::setCurrent(mWorkDir.path()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(mRuntimeDir.path()));
        QFile document(TestSupport::fixturesDir() + QStringLiteral("/documents/windows-intel-asus.xml"));
        QVERIFY(document.open(QIODevice::ReadOnly));
        mDocument = document.readAll();
        QVERIFY(mDocument.size() > 8000);
        QVERIFY2(QFile::exists(TestSupport::binaryDir() + QStringLiteral("/voviredo/VOViredo")),
                 "build VOViredo first");
    }

    void cleanup()
    {
        QFile::remove(hardInfo());
        QDir(hardInfo()).removeRecursively();
    }

    void reply_data()
    {
        QTest::addColumn<int>("chunks");
        QTest::addColumn<int>("delayMs");
        QTest::addColumn<bool>("close");
        QTest::newRow("one chunk") << 1 << 0 << true;
        QTest::newRow("many chunks") << 9 << 30 << true;
        QTest::newRow("slow reply") << 1 << 1500 << true;
        QTest::newRow("slow chunks") << 3 << 400 << true;
        QTest::newRow("connection left open after the document") << 4 << 20 << false;
    }

    // Every reply that carries a whole document gives its figures within the same request, however it arrives.
    void reply()
    {
        QFETCH(int, chunks);
        QFETCH(int, delayMs);
        QFETCH(bool, close);
        Script script;
        script.documents = {mDocument};
        script.chunks = chunks;
        script.delayMs = delayMs;
        script.close = close;
        PeerServer server(script);
        Client client(this);

        client.request();
        // Well inside the client's own 30 s wait: a reply must not sit out the wait when the document is complete.
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 8000);
        compare(client.replies.first(), 41, 12, 1150);
        QCOMPARE(server.requests(), QList<QByteArray> {SensorProtocol::kReadRequest});
        QCOMPARE(readFile(hardInfo()), mDocument + kSeparator);
        QCOMPARE(HardWareInfoProbe::lastHwInfo(*client.client), QString::fromUtf8(mDocument));
    }

    // A document the strict reader stumbles over (a control character in a name) is still read to its end tag
    // while the server keeps the connection open, and the parser takes it.
    void replyNotQuiteWellFormed()
    {
        QByteArray document = mDocument;
        document.replace("Bus Speed", "Bus\x01Speed");
        Script script;
        script.documents = {document};
        script.chunks = 5;
        script.delayMs = 20;
        script.close = false;
        PeerServer server(script);
        Client client(this);
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 8000);
        compare(client.replies.first(), 41, 12, 1150);
        QCOMPARE(readFile(hardInfo()), document + kSeparator);
    }

    void failedExchange_data()
    {
        QTest::addColumn<QList<QByteArray>>("documents");
        QTest::addColumn<bool>("close");
        QTest::addColumn<int>("waitMs");
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("server closes at once") << QList<QByteArray>() << true << 30000 << QByteArray();
        QTest::newRow("no reply") << QList<QByteArray>() << false << 800 << QByteArray();
        QTest::newRow("not a document") << QList<QByteArray> {"CPU Fan 1200"} << true << 30000
                                        << QByteArray("CPU Fan 1200");
        QTest::newRow("other root") << QList<QByteArray> {"<Sensors><Hardware/></Sensors>"} << true << 30000
                                    << QByteArray("<Sensors><Hardware/></Sensors>");
        QTest::newRow("runaway reply") << QList<QByteArray> {QByteArray(17 * 1024 * 1024, ' ')} << true << 30000
                                       << QByteArray();
    }

    // Whatever goes wrong, the request still answers, with zeros, and the file holds what came.
    void failedExchange()
    {
        QFETCH(QList<QByteArray>, documents);
        QFETCH(bool, close);
        QFETCH(int, waitMs);
        QFETCH(QByteArray, stored);
        Script script;
        script.documents = documents;
        script.close = close;
        PeerServer server(script);
        Client client(this, SensorEndpoint::serverProgram(), waitMs);

        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 8000);
        compare(client.replies.first(), 0, 0, 0);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(readFile(hardInfo()), stored + kSeparator);
    }

    // No server and no program to start: zeros, and nothing is started.
    void noServer()
    {
        Client client(this, mAppDir.filePath(QStringLiteral("missing/VOViredo")));
        client.request();
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 2, 8000);
        compare(client.replies.at(0), 0, 0, 0);
        compare(client.replies.at(1), 0, 0, 0);
        client.settle();
        QCOMPARE(HardWareInfoProbe::serverProcessCount(*client.client), 0);
        QVERIFY(!QFile::exists(hardInfo()));
    }

    // Requests that queued up behind a slow one are answered by its reply; later ones are served again.
    void backlogCoalesced()
    {
        Script script;
        script.documents = {mDocument};
        script.delayMs = 1200;
        PeerServer server(script);
        Client client(this);

        for (int i = 0; i < 4; ++i) {
            client.request();
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 8000);
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 2, 8000);
        client.settle();
        QCOMPARE(client.replies.size(), 2);
        QCOMPARE(server.requests().size(), 2);
        compare(client.replies.at(1), 41, 12, 1150);
    }

    // Fast requests are never dropped.
    void quickRequestsAllAnswered()
    {
        Script script;
        script.documents = {mDocument};
        PeerServer server(script);
        Client client(this);
        for (int i = 0; i < 5; ++i) {
            client.request();
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 5, 8000);
        QCOMPARE(server.requests().size(), 5);
    }

    // The client starts the real server when nobody answers, and again after it was killed.
    void startsAndRestartsServer()
    {
        Client client(this, voviredoScript(QStringLiteral("intel-z390-nct6798")));
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 15000);
        compare(client.replies.at(0), 46, 13, 612);
        client.settle();
        const QList<qint64> first = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(first.size(), 1);

        QCOMPARE(::kill(pid_t(first.first()), SIGKILL), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!processExists(first.first()), 5000);

        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 2, 15000);
        compare(client.replies.at(1), 46, 13, 612);
        client.settle();
        const QList<qint64> second = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(second.size(), 1);
        QVERIFY(second.first() != first.first());

        quitApplication();
        QVERIFY(!processExists(second.first()));
    }

    // A server of ours that runs but has lost its socket (a cleaner took the file) is started afresh at the second
    // reading in a row that cannot reach it, instead of waiting for it at every reading.
    void deafServerRestarted()
    {
        Client client(this, voviredoScript(QStringLiteral("intel-z390-nct6798")), 3000);
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 15000);
        client.settle();
        const QList<qint64> first = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(first.size(), 1);
        QVERIFY(QFile::remove(SensorEndpoint::serverSocketName()));

        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 2, 15000);
        compare(client.replies.at(1), 0, 0, 0);
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 3, 15000);
        compare(client.replies.at(2), 46, 13, 612);
        client.settle();
        QVERIFY(!processExists(first.first()));
        QCOMPARE(HardWareInfoProbe::serverProcessCount(*client.client), 1);
    }

    // Where no server can listen (a folder at the socket path) or one ends at once, no server is started at every
    // reading: one line says why, and readings come back by themselves once the path is free.
    void noServerAtEveryReading()
    {
        const QString socketPath = SensorEndpoint::serverSocketName();
        QFile::remove(socketPath);
        QVERIFY(QDir().mkdir(socketPath));
        Client client(this, voviredoScript(QStringLiteral("intel-z390-nct6798")), 1000);
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("cannot listen: .* is taken by a folder")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("the sensor server does not answer")));
        for (int i = 0; i < 3; ++i) {
            client.request();
        }
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 3, 15000);
        client.settle();
        QCOMPARE(HardWareInfoProbe::serverProcessCount(*client.client), 0);

        QVERIFY(QDir().rmdir(socketPath));
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 4, 15000);
        compare(client.replies.at(3), 46, 13, 612);

        // A server that ends at once is started again only after a pause.
        Client failing(this, mAppDir.filePath(QStringLiteral("failing")), 500);
        QFile script(mAppDir.filePath(QStringLiteral("failing")));
        QVERIFY(script.open(QIODevice::WriteOnly) &&
                script.write("#!/bin/sh\necho started >> \"$0.log\"\nexit 1\n") > 0);
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        client.client->onStopVoViredo();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ended at once with exit code 1")));
        for (int i = 0; i < 4; ++i) {
            failing.request();
            QTRY_COMPARE_WITH_TIMEOUT(failing.replies.size(), i + 1, 15000);
        }
        QCOMPARE(readFile(script.fileName() + QStringLiteral(".log")).count("started"), 1);
    }

    // The delayed start from the GUI thread and a failed connection on the worker ask at nearly the same time:
    // one server is started.
    void oneServerAtATime()
    {
        Client client(this, voviredoScript(QStringLiteral("msi-b550-nct6687")));
        client.client->onStartVoViredo();
        client.request();
        client.client->onStartVoViredo();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 15000);
        compare(client.replies.at(0), 48, 7, 1020);
        client.settle();
        const QList<qint64> ids = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(ids.size(), 1);
        quitApplication();
        QVERIFY(!processExists(ids.first()));
    }

    // At exit every server the client started is ended, whichever thread started it; one that ignores the request
    // to end is killed when the wait runs out.
    void quitEndsServers()
    {
        Client client(this, stubbornScript(), 1000);
        client.client->onStartVoViredo(); // from this thread, as the controller's delayed start
        client.settle();
        const QList<qint64> ids = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(ids.size(), 1);
        // Once the script has set its trap and become "sleep", SIGTERM no longer ends it.
        const QString comm = QStringLiteral("/proc/%1/comm").arg(ids.first());
        QTRY_COMPARE_WITH_TIMEOUT(readFile(comm).trimmed(), QByteArray("sleep"), 5000);
        ::kill(pid_t(ids.first()), SIGTERM);
        QTest::qWait(100);
        QVERIFY2(processExists(ids.first()), "the stand-in should ignore SIGTERM");

        quitApplication();
        QVERIFY(!processExists(ids.first()));
        // The ended one is let go, and nothing is started once the application quits.
        client.client->onStartVoViredo();
        client.settle();
        QCOMPARE(HardWareInfoProbe::serverProcessIds(*client.client).size(), 0);
    }

    // Quitting while a request waits for a silent server does not sit out the 30 s wait.
    void quitDuringSilentReply()
    {
        Script script;
        script.close = false;
        PeerServer server(script);
        Client client(this);
        QCOMPARE(HardWareInfoProbe::waitMs(*client.client), 30000);
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(server.requests().size(), 1, 5000);
        QElapsedTimer clock;
        clock.start();
        quitApplication();
        QVERIFY2(clock.elapsed() < 10000, "quit waited for the silent server");
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 5000);
        compare(client.replies.first(), 0, 0, 0);
    }

    void stopRequest_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("answered") << true << QByteArray("bye") << QStringList();
        QTest::newRow("empty answer") << true << QByteArray() << QStringList {"stop voViredo failed"};
        QTest::newRow("no server") << false << QByteArray() << QStringList();
    }

    void stopRequest()
    {
        QFETCH(bool, serverUp);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, messages);
        Script script;
        script.stopAnswer = answer;
        std::unique_ptr<PeerServer> server(serverUp ? new PeerServer(script) : nullptr);
        if (!serverUp) {
            QLocalServer::removeServer(SensorEndpoint::serverSocketName());
        }
        HardWareInfo client(SensorEndpoint::serverProgram(), 2000);
        QLoggingCategory::setFilterRules(QStringLiteral("orvane.sensors.debug=true"));

        static QStringList* captured = nullptr;
        QStringList logged;
        captured = &logged;
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { captured->append(text); });
        client.onStopVoViredo();
        qInstallMessageHandler(previous);

        QCOMPARE(logged, messages);
        if (server) {
            QCOMPARE(server->requests(), QList<QByteArray> {SensorProtocol::kStopRequest});
        }
    }

    // The stop request ends the real server, which removes its socket.
    void stopRealServer()
    {
        Client client(this, voviredoScript(QStringLiteral("amd-x570-k10temp")));
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 15000);
        compare(client.replies.at(0), 62, 6, 1430);
        client.settle();
        const QList<qint64> ids = HardWareInfoProbe::serverProcessIds(*client.client);
        QCOMPARE(ids.size(), 1);

        client.client->onStopVoViredo();
        QTRY_VERIFY_WITH_TIMEOUT(!processExists(ids.first()), 5000);
        QVERIFY(!QFile::exists(SensorEndpoint::serverSocketName()));
    }

    // "Device Version" rewrites the copy from the GUI thread: before any reply it holds only the separator.
    void copyFromGuiThread()
    {
        Script script;
        script.documents = {mDocument};
        PeerServer server(script);
        Client client(this);

        client.client->onWriteHwInfoData();
        QCOMPARE(readFile(hardInfo()), kSeparator);

        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 1, 8000);
        QFile::remove(hardInfo());
        client.client->onWriteHwInfoData();
        QCOMPARE(readFile(hardInfo()), mDocument + kSeparator);
    }

    // Whatever stands where the copy goes, the reading goes on, nothing outside is written and nothing waits: a
    // folder stays (and is said once), a link or a FIFO is replaced by the copy itself.
    void copyInTheWay_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("link to another file") << "link";
        QTest::newRow("fifo") << "fifo";
    }

    void copyInTheWay()
    {
        QFETCH(QString, kind);
        const QString outside = mWorkDir.filePath(QStringLiteral("precious.txt"));
        QFile precious(outside);
        QVERIFY(precious.open(QIODevice::WriteOnly) && precious.write("keep me") == 7);
        precious.close();
        if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(hardInfo()));
        } else if (kind == QLatin1String("link")) {
            QVERIFY(QFile::link(outside, hardInfo()));
        } else {
            QCOMPARE(::mkfifo(QFile::encodeName(hardInfo()).constData(), 0600), 0);
        }

        Script script;
        script.documents = {mDocument, mDocument};
        PeerServer server(script);
        Client client(this);
        static QStringList* warnings = nullptr;
        QStringList said;
        warnings = &said;
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
                if (type == QtWarningMsg && text.contains(QLatin1String("hardInfo.xml"))) {
                    warnings->append(text);
                }
            });
        client.request();
        client.request();
        QTRY_COMPARE_WITH_TIMEOUT(client.replies.size(), 2, 8000);
        qInstallMessageHandler(previous);
        compare(client.replies.last(), 41, 12, 1150);

        QCOMPARE(readFile(outside), QByteArray("keep me"));
        const QFileInfo copy(hardInfo());
        if (kind == QLatin1String("folder")) {
            QVERIFY(copy.isDir());
            QCOMPARE(said.size(), 1);
        } else {
            QVERIFY(copy.isFile() && !copy.isSymLink());
            QCOMPARE(readFile(hardInfo()), mDocument + kSeparator);
            QVERIFY(said.isEmpty());
        }
        // No half-written copies are left behind.
        QCOMPARE(QDir(copy.absolutePath()).entryList({QStringLiteral("hardInfo.xml.*")}, QDir::Files), QStringList());
    }

    // Both threads write the copy while replies change: afterwards the file holds one whole reply.
    void copyWhileRequesting()
    {
        const QByteArray small = QByteArrayLiteral("<Computer><Hardware Name=\"x\" HardwareType=\"Cpu\"/></Computer>");
        Script script;
        script.documents = {mDocument, small};
        PeerServer server(script);
        Client client(this);

        for (int round = 0; round < 40; ++round) {
            client.request();
            for (int i = 0; i < 20; ++i) {
                client.client->onWriteHwInfoData();
            }
            client.settle();
            const QByteArray copy = readFile(hardInfo());
            QVERIFY2(copy == mDocument + kSeparator || copy == small + kSeparator,
                     qPrintable(QStringLiteral("torn copy of %1 bytes").arg(copy.size())));
        }
        QCOMPARE(client.replies.size(), 40);
    }
};

QTEST_GUILESS_MAIN(TestSensorClient)
#include "test_sensorclient.moc"
