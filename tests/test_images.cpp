// SPDX-License-Identifier: GPL-3.0-or-later
// Every picture the program refers to is in its resource bundle, in the format and size the forms expect.
#include "imageresources.h"

#include <QFile>
#include <QImageReader>
#include <QtTest>

class TestImages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initImageResources(); }

    void referencedImages_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        // Each picture, and beside it as NAME@2x the one for screens at scale 2: twice the size the window shows it.
        auto add = [](const QString& name, const char* suffix, const QByteArray& format, QSize size, QSize sharp) {
            const QString path = QStringLiteral(":/image/%1.%2").arg(name, QLatin1String(suffix));
            const QString sharpPath = QStringLiteral(":/image/%1@2x.%2").arg(name, QLatin1String(suffix));
            QTest::newRow(qPrintable(name)) << path << format << size;
            QTest::newRow(qPrintable(name + QStringLiteral("@2x"))) << sharpPath << format << sharp;
        };
        const QSize icon(48, 48);
        add(QStringLiteral("sys_bgi_main"), "png", "png", QSize(900, 506), QSize(1800, 1012));
        add(QStringLiteral("newlogo"), "jpg", "jpeg", QSize(256, 256), QSize(52, 52));
        add(QStringLiteral("bar_title_setting"), "png", "png", icon, QSize(42, 42));
        add(QStringLiteral("bar_title_mini"), "png", "png", icon, QSize(36, 36));
        add(QStringLiteral("bar_title_close"), "png", "png", icon, QSize(36, 36));
        for (const char* name : {"close_dis", "open_dis", "exit_app", "menu_version", "menu_update"}) {
            add(QLatin1String(name), "png", "png", icon, QSize(32, 32));
        }
        add(QStringLiteral("msg__info"), "png", "png", icon, QSize(96, 96));
        add(QStringLiteral("5651226"), "png", "png", QSize(512, 512), QSize(250, 250));
        add(QStringLiteral("5651284"), "png", "png", QSize(512, 512), QSize(250, 250));
        add(QStringLiteral("bgi_dbd_gray"), "png", "png", QSize(800, 800), QSize(900, 900));
        for (int frame : {1, 2, 3, 4, 6, 8, 10, 12, 14, 16, 18, 20}) {
            add(QStringLiteral("bgi_dbd_%1").arg(frame), "png", "png", QSize(800, 800), QSize(900, 900));
        }
    }

    void referencedImages()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        QImageReader reader(path);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.size(), size);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        if (format == "png") {
            // 8 bits per channel, RGBA (colour type 6), straight from the PNG header.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray header = file.read(26);
            QCOMPARE(int(uchar(header.at(24))), 8);
            QCOMPARE(int(uchar(header.at(25))), 6);
        }
    }

    void dialogIconNeedsTwoUnderscores()
    {
        QVERIFY(QFile::exists(QStringLiteral(":/image/msg__info.png")));
        QVERIFY(!QFile::exists(QStringLiteral(":/image/msg_info.png")));
    }
};

QTEST_GUILESS_MAIN(TestImages)
#include "test_images.moc"
