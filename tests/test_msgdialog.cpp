// SPDX-License-Identifier: GPL-3.0-or-later
// The message dialog: its form, buttons per type, answers and placement over the main window.
#include "dialogwatcher.h"
#include "mainwidgetprobe.h"
#include "msgdialog.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(DialogWatcher::Answer)

class TestMsgDialog : public QObject
{
    Q_OBJECT

    static bool showMessage(MainWidget& w, const QString& info, int type)
    {
        bool answer = false;
        if (!QMetaObject::invokeMethod(&w,
                                       "onMessageDialog",
                                       Qt::DirectConnection,
                                       Q_RETURN_ARG(bool, answer),
                                       Q_ARG(QString, info),
                                       Q_ARG(int, type))) {
            qFatal("MainWidget has no slot onMessageDialog(QString,int)");
        }
        return answer;
    }

private slots:
    void form()
    {
        MsgDialog dialog(nullptr);
        QCOMPARE(dialog.objectName(), QStringLiteral("MsgDialog"));
        QCOMPARE(dialog.size(), QSize(542, 146));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
        QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(dialog.findChild<QLabel*>("main_lbl_title")->text(), QStringLiteral("Notice"));
        QCOMPARE(dialog.findChild<QLabel*>("main_lbl_info")->text(), QStringLiteral("提示信息"));
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_cancel")->text(), QStringLiteral("Cancel"));
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_ok")->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.findChild<QLabel*>("main_lbl_image")->styleSheet(),
                 QStringLiteral("image: url(:/image/msg__info.png);"));
        QCOMPARE(dialog.findChild<QWidget*>("main_wgt_bgi")->styleSheet(),
                 QStringLiteral("QWidget#main_wgt_bgi\n{\n\tcolor: #ffffff;\n\tborder-radius: 8px;\n\tborder:1px solid "
                                "rgb(255, 255, 255);\n\tbackground-color: rgba(0, 0, 0,155);\n}\n"));
        const QString buttonStyle = QStringLiteral(" QPushButton {\n\tbackground-color: rgb(52, 73, 94);\n\tcolor: "
                                                   "#ffffff;\n\tborder-radius: 5px;\n}\nQPushButton:hover "
                                                   "{\n\tbackground-color: rgb(73, 93, 226);\n}\n");
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_ok")->styleSheet(), buttonStyle);
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_cancel")->styleSheet(), buttonStyle);
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_ok")->minimumSize(), QSize(90, 35));
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_ok")->maximumSize(), QSize(90, 35));
        QCOMPARE(dialog.findChild<QPushButton*>("main_btn_cancel")->maximumSize(), QSize(120, 35));
        auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(dialog.graphicsEffect());
        QVERIFY(shadow);
        QCOMPARE(shadow->color(), QColor(255, 255, 255, 100));
        QCOMPARE(shadow->blurRadius(), 30.0);
        QVERIFY(dialog.GetStatus());
    }

    void buttonsAndAnswers_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<DialogWatcher::Answer>("answer");
        QTest::addColumn<bool>("cancelShown");
        QTest::addColumn<bool>("result");
        QTest::newRow("information, OK") << 0 << DialogWatcher::Answer::Ok << false << true;
        QTest::newRow("information, Escape") << 0 << DialogWatcher::Answer::Escape << false << true;
        QTest::newRow("question, OK") << 1 << DialogWatcher::Answer::Ok << true << true;
        QTest::newRow("question, Cancel") << 1 << DialogWatcher::Answer::Cancel << true << false;
        QTest::newRow("question, Escape") << 1 << DialogWatcher::Answer::Escape << true << true;
        QTest::newRow("any other type, Cancel") << -7 << DialogWatcher::Answer::Cancel << true << false;
    }

    void buttonsAndAnswers()
    {
        QFETCH(int, type);
        QFETCH(DialogWatcher::Answer, answer);
        QFETCH(bool, cancelShown);
        QFETCH(bool, result);
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(w)->stop();
        DialogWatcher watcher(answer);
        QCOMPARE(showMessage(w, QStringLiteral("Is it so?"), type), result);
        QCOMPARE(watcher.seen().size(), 1);
        const auto seen = watcher.seen().first();
        QCOMPARE(seen.text, QStringLiteral("Is it so?"));
        QVERIFY(seen.okVisible);
        QCOMPARE(seen.cancelVisible, cancelShown);
        QCOMPARE(seen.iconStyle, QStringLiteral("image: url(:/image/msg__info.png);"));
    }

    void emptyTextKeepsPlaceholder()
    {
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(w)->stop();
        DialogWatcher watcher;
        showMessage(w, QString(), 0);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen().first().text, QStringLiteral("提示信息"));
    }

    void centredOverMainWindow_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QPoint>("expected");
        // A window narrower than the dialog: -70.5 truncates to -70.
        QTest::newRow("401 x 300 at 100, 100") << QRect(100, 100, 401, 300) << QPoint(30, 177);
        QTest::newRow("860 x 525 at 100, 100") << QRect(100, 100, 860, 525) << QPoint(259, 289);
        QTest::newRow("867 x 547 at 0, 0") << QRect(0, 0, 867, 547) << QPoint(162, 200);
    }

    void centredOverMainWindow()
    {
        QFETCH(QRect, window);
        QFETCH(QPoint, expected);
        MainWidget w(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(w)->stop();
        // The centring of any window, not only one of the window's own size.
        w.setMinimumSize(0, 0);
        w.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        w.setGeometry(window);
        QCOMPARE(w.geometry(), window);
        DialogWatcher watcher;
        showMessage(w, QStringLiteral("Where am I?"), 0);
        QCOMPARE(watcher.seen().size(), 1);
        QCOMPARE(watcher.seen().first().position, expected);
    }
};

QTEST_MAIN(TestMsgDialog)
#include "test_msgdialog.moc"
