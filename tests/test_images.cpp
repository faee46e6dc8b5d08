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
        const QSize icon(48, 48);
        QTest::newRow("sys_bgi_main") << ":/image/sys_bgi_main.png" << QByteArray("png") << QSize(900, 506);
        QTest::newRow("newlogo") << ":/image/newlogo.jpg" << QByteArray("jpeg") << QSize(256, 256);
        for (const char* name : {"bar_title_setting",
                                 "bar_title_mini",
                                 "bar_title_close",
                                 "close_dis",
                                 "open_dis",
                                 "exit_app",
                                 "menu_version",
                                 "menu_update",
                                 "msg__info"}) {
            QTest::newRow(name) << QStringLiteral(":/image/%1.png").arg(QLatin1String(name)) << QByteArray("png")
                                << icon;
        }
        QTest::newRow("linked") << ":/image/5651226.png" << QByteArray("png") << QSize(512, 512);
        QTest::newRow("not linked") << ":/image/5651284.png" << QByteArray("png") << QSize(512, 512);
        QTest::newRow("gauge base") << ":/image/bgi_dbd_gray.png" << QByteArray("png") << QSize(800, 800);
        for (int frame : {1, 2, 3, 4, 6, 8, 10, 12, 14, 16, 18, 20}) {
            QTest::addRow("gauge frame %d", frame)
                << QStringLiteral(":/image/bgi_dbd_%1.png").arg(frame) << QByteArray("png") << QSize(800, 800);
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
