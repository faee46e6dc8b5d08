// SPDX-License-Identifier: GPL-3.0-or-later
// The dashboard form: tree, names, limits, fonts, colours and pictures as drawn, readouts and texts.
#include "mainwidgetprobe.h"
#include "panelshadow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSpacerItem>
#include <QtTest>

Q_DECLARE_METATYPE(QMargins)

namespace {
// The names of the items of a layout, in order: widgets by object name, child layouts by theirs, spacers as "~".
QStringList itemNames(QLayout* layout)
{
    QStringList names;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget()) {
            names << item->widget()->objectName();
        } else if (item->layout()) {
            names << item->layout()->objectName();
        } else if (item->spacerItem()) {
            names << QStringLiteral("~");
        }
    }
    return names;
}
} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT

    MainWidget* w = nullptr;

    template<typename T = QWidget>
    T* child(const QString& name)
    {
        if (name == QLatin1String("Widget")) {
            return qobject_cast<T*>(w);
        }
        return w->findChild<T*>(name);
    }

    QSpacerItem* spacer(const QString& layoutName, int index)
    {
        auto* layout = w->findChild<QLayout*>(layoutName);
        return layout ? layout->itemAt(index)->spacerItem() : nullptr;
    }

private slots:
    void initTestCase()
    {
        w = new MainWidget(MainWidgetProbe::feedByHand());
        MainWidgetProbe::sysTimer(*w)->stop();
    }

    void cleanupTestCase() { delete w; }

    void windowLimits()
    {
        QCOMPARE(w->objectName(), QStringLiteral("Widget"));
        QCOMPARE(w->size(), QSize(860, 525));
        QCOMPARE(w->minimumSize(), QSize(860, 525));
        // One size, which tells a tiling window manager to float the window rather than stretch it.
        QCOMPARE(w->maximumSize(), QSize(860, 525));
        w->resize(500, 300);
        QCOMPARE(w->size(), QSize(860, 525));
        w->resize(2000, 2000);
        QCOMPARE(w->size(), QSize(860, 525));
        QCOMPARE(w->windowTitle(), QStringLiteral("Orvane v1.0.0.1"));
        QVERIFY(!w->windowIcon().isNull());
    }

    void layoutTree_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("items");
        QTest::addRow("verticalLayout_10") << "verticalLayout_10" << QStringList {"main_wgt_bgi"};
        QTest::addRow("verticalLayout_4") << "verticalLayout_4" << QStringList {"horizontalLayout", "main_wgt_work"};
        QTest::addRow("horizontalLayout") << "horizontalLayout"
                                          << QStringList {"title_lbl_logo",
                                                          "title_lbl_info",
                                                          "~",
                                                          "title_btn_setting",
                                                          "title_btn_minimize",
                                                          "title_btn_close"};
        QTest::addRow("horizontalLayout_9")
            << "horizontalLayout_9" << QStringList {"verticalLayout_8", "verticalLayout_9"};
        QTest::addRow("verticalLayout_8") << "verticalLayout_8" << QStringList {"main_dbd_gray", "horizontalLayout_5"};
        QTest::addRow("verticalLayout_6") << "verticalLayout_6" << QStringList {"main_dbd_bgi"};
        QTest::addRow("verticalLayout_12")
            << "verticalLayout_12" << QStringList {"horizontalLayout_6", "horizontalLayout_7"};
        QTest::addRow("horizontalLayout_6")
            << "horizontalLayout_6" << QStringList {"main_lcd_tem", "verticalLayout_11"};
        QTest::addRow("verticalLayout_11") << "verticalLayout_11" << QStringList {"~", "main_lbl_symbol"};
        QTest::addRow("horizontalLayout_7")
            << "horizontalLayout_7" << QStringList {"main_lcd_fan", "main_lbl_fanspeed"};
        QTest::addRow("horizontalLayout_5")
            << "horizontalLayout_5" << QStringList {"main_lbl_cpu", "main_lcd_cpu", "main_lbl_cpuunit", "~"};
        QTest::addRow("verticalLayout_9") << "verticalLayout_9" << QStringList {"main_status_bgi"};
        QTest::addRow("verticalLayout_7") << "verticalLayout_7"
                                          << QStringList {"main_lbl_status",
                                                          "horizontalLayout_2",
                                                          "~",
                                                          "horizontalLayout_8",
                                                          "horizontalLayout_3",
                                                          "~",
                                                          "horizontalLayout_4",
                                                          "~"};
        QTest::addRow("horizontalLayout_2") << "horizontalLayout_2" << QStringList {"~", "main_img_linkstate", "~"};
        QTest::addRow("horizontalLayout_8") << "horizontalLayout_8" << QStringList {"~", "main_ckb_autostart"};
        QTest::addRow("horizontalLayout_3") << "horizontalLayout_3" << QStringList {"~", "verticalLayout_5", "~"};
        QTest::addRow("verticalLayout_5")
            << "verticalLayout_5" << QStringList {"verticalLayout_3", "verticalLayout", "verticalLayout_load"};
        QTest::addRow("verticalLayout_3") << "verticalLayout_3" << QStringList {"main_lbl_cpuitem", "main_cbx_cpuitem"};
        QTest::addRow("verticalLayout") << "verticalLayout" << QStringList {"main_lbl_fanitem", "main_cbx_fanitem"};
        QTest::addRow("verticalLayout_load")
            << "verticalLayout_load" << QStringList {"main_lbl_loaditem", "main_cbx_loaditem"};
        QTest::addRow("horizontalLayout_4") << "horizontalLayout_4" << QStringList {"~", "verticalLayout_2", "~"};
        QTest::addRow("verticalLayout_2") << "verticalLayout_2" << QStringList {"main_btn_accept"};
    }

    void layoutTree()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, items);
        auto* found = w->findChild<QLayout*>(layout);
        QVERIFY2(found, qPrintable(layout));
        QCOMPARE(itemNames(found), items);
    }

    void widgetParents()
    {
        QCOMPARE(child("main_wgt_bgi")->layout()->objectName(), QStringLiteral("verticalLayout_4"));
        QCOMPARE(child("main_wgt_work")->layout()->objectName(), QStringLiteral("horizontalLayout_9"));
        QCOMPARE(child("main_dbd_gray")->layout()->objectName(), QStringLiteral("verticalLayout_6"));
        QCOMPARE(child("main_status_bgi")->layout()->objectName(), QStringLiteral("verticalLayout_7"));
        QWidget* readouts = child("layoutWidget");
        QCOMPARE(readouts->parentWidget(), child("main_dbd_bgi"));
        QCOMPARE(readouts->geometry(), QRect(148, 118, 174, 175));
        QVERIFY(child("main_dbd_bgi")->layout() == nullptr);
    }

    void layoutSpacingAndMargins_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("spacing");
        QTest::addColumn<QMargins>("margins");
        const QMargins none(0, 0, 0, 0);
        const QMargins nine(9, 9, 9, 9);
        QTest::addRow("verticalLayout_10") << "verticalLayout_10" << 0 << none;
        QTest::addRow("horizontalLayout_9") << "horizontalLayout_9" << 45 << QMargins(35, 0, 35, -1);
        QTest::addRow("verticalLayout_6") << "verticalLayout_6" << 0 << none;
        QTest::addRow("verticalLayout_12") << "verticalLayout_12" << 25 << none;
        QTest::addRow("horizontalLayout_6") << "horizontalLayout_6" << 0 << QMargins(-1, -1, -1, -1);
        QTest::addRow("horizontalLayout_7") << "horizontalLayout_7" << -1 << nine;
        QTest::addRow("horizontalLayout_5") << "horizontalLayout_5" << 0 << QMargins(-1, -1, -1, -1);
        QTest::addRow("verticalLayout_3") << "verticalLayout_3" << 3 << QMargins(-1, -1, -1, -1);
        QTest::addRow("verticalLayout") << "verticalLayout" << 0 << QMargins(-1, -1, -1, -1);
        QTest::addRow("verticalLayout_2") << "verticalLayout_2" << 15 << nine;
        QTest::addRow("verticalLayout_4") << "verticalLayout_4" << -1 << QMargins(-1, -1, -1, -1);
        QTest::addRow("verticalLayout_7") << "verticalLayout_7" << -1 << QMargins(-1, -1, -1, -1);
    }

    void layoutSpacingAndMargins()
    {
        QFETCH(QString, layout);
        QFETCH(int, spacing);
        QFETCH(QMargins, margins);
        auto* found = w->findChild<QLayout*>(layout);
        QVERIFY(found);
        // -1 stands for the style's default: a fresh layout placed the same way shows what that is.
        const bool onWidget = found->parentWidget() && found->parentWidget()->layout() == found;
        QWidget probe(onWidget ? found->parentWidget() : nullptr);
        auto* outer = new QVBoxLayout(&probe);
        auto* inner = new QVBoxLayout;
        outer->addLayout(inner);
        if (auto* enclosing = qobject_cast<QLayout*>(found->parent())) {
            // A sub-layout without spacing of its own takes its enclosing layout's.
            outer->setSpacing(enclosing->spacing());
        }
        QLayout* reference = onWidget ? static_cast<QLayout*>(outer) : static_cast<QLayout*>(inner);
        const QMargins defaults = reference->contentsMargins();
        const QMargins expected(margins.left() < 0 ? defaults.left() : margins.left(),
                                margins.top() < 0 ? defaults.top() : margins.top(),
                                margins.right() < 0 ? defaults.right() : margins.right(),
                                margins.bottom() < 0 ? defaults.bottom() : margins.bottom());
        QCOMPARE(found->contentsMargins(), expected);
        QCOMPARE(found->spacing(), spacing < 0 ? reference->spacing() : spacing);
    }

    void widgetSizes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("minimum");
        QTest::addColumn<QSize>("maximum");
        const QSize unlimited(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        auto fixed = [](const char* n, int wd, int h) { QTest::newRow(n) << n << QSize(wd, h) << QSize(wd, h); };
        fixed("title_lbl_logo", 26, 26);
        fixed("title_btn_setting", 32, 32);
        fixed("title_btn_minimize", 32, 32);
        fixed("title_btn_close", 32, 32);
        fixed("main_lcd_tem", 103, 89);
        fixed("main_lbl_symbol", 35, 29);
        fixed("main_lcd_cpu", 20, 20);
        fixed("main_status_bgi", 270, 460);
        fixed("main_img_linkstate", 125, 125);
        fixed("main_lbl_cpuitem", 200, 16);
        fixed("main_cbx_cpuitem", 200, 30);
        fixed("main_cbx_fanitem", 200, 30);
        fixed("main_btn_accept", 200, 35);
        QTest::newRow("main_dbd_gray") << "main_dbd_gray" << QSize(450, 450) << QSize(423, 423);
        QTest::newRow("main_dbd_bgi") << "main_dbd_bgi" << QSize(0, 0) << QSize(479, 479);
        QTest::newRow("main_lcd_fan") << "main_lcd_fan" << QSize(75, 0) << unlimited;
        QTest::newRow("main_lbl_fanitem") << "main_lbl_fanitem" << QSize(200, 0) << QSize(200, QWIDGETSIZE_MAX);
    }

    void widgetSizes()
    {
        QFETCH(QString, name);
        QFETCH(QSize, minimum);
        QFETCH(QSize, maximum);
        QWidget* widget = child(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->minimumSize(), minimum);
        QCOMPARE(widget->maximumSize(), maximum);
    }

    void spacers_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<int>("index");
        QTest::addColumn<QSize>("hint");
        QTest::addColumn<int>("horizontal");
        QTest::addColumn<int>("vertical");
        const int ex = QSizePolicy::Expanding;
        const int mi = QSizePolicy::Minimum;
        QTest::newRow("horizontalSpacer_7") << "horizontalLayout" << 2 << QSize(362, 27) << ex << mi;
        QTest::newRow("verticalSpacer_4") << "verticalLayout_11" << 0 << QSize(20, 40) << mi << ex;
        QTest::newRow("horizontalSpacer_9") << "horizontalLayout_5" << 3 << QSize(40, 20) << ex << mi;
        QTest::newRow("horizontalSpacer") << "horizontalLayout_2" << 0 << QSize(16, 20) << ex << mi;
        QTest::newRow("horizontalSpacer_2") << "horizontalLayout_2" << 2 << QSize(16, 20) << ex << mi;
        QTest::newRow("verticalSpacer_2") << "verticalLayout_7" << 2 << QSize(20, 40) << mi << ex;
        QTest::newRow("horizontalSpacer_8")
            << "horizontalLayout_8" << 0 << QSize(25, 20) << int(QSizePolicy::Fixed) << mi;
        QTest::newRow("horizontalSpacer_3") << "horizontalLayout_3" << 0 << QSize(13, 14) << ex << mi;
        QTest::newRow("horizontalSpacer_4") << "horizontalLayout_3" << 2 << QSize(13, 14) << ex << mi;
        QTest::newRow("verticalSpacer_3") << "verticalLayout_7" << 5 << QSize(20, 40) << mi << ex;
        QTest::newRow("horizontalSpacer_5") << "horizontalLayout_4" << 0 << QSize(13, 17) << ex << mi;
        QTest::newRow("horizontalSpacer_6") << "horizontalLayout_4" << 2 << QSize(13, 17) << ex << mi;
        QTest::newRow("verticalSpacer") << "verticalLayout_7" << 7 << QSize(20, 40) << mi << ex;
    }

    void spacers()
    {
        QFETCH(QString, layout);
        QFETCH(int, index);
        QFETCH(QSize, hint);
        QFETCH(int, horizontal);
        QFETCH(int, vertical);
        QSpacerItem* item = spacer(layout, index);
        QVERIFY(item);
        QCOMPARE(item->sizeHint(), hint);
        QCOMPARE(int(item->sizePolicy().horizontalPolicy()), horizontal);
        QCOMPARE(int(item->sizePolicy().verticalPolicy()), vertical);
    }

    // What the form's sheets make of the captions and readouts: white figures, grey captions.
    void textColours_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("colour");
        for (const char* white : {"title_lbl_info",
                                  "main_lcd_tem",
                                  "main_lbl_symbol",
                                  "main_lcd_fan",
                                  "main_lbl_fanspeed",
                                  "main_lbl_cpu",
                                  "main_lcd_cpu",
                                  "main_lbl_cpuunit",
                                  "main_ckb_autostart"}) {
            QTest::newRow(white) << white << QColor(255, 255, 255);
        }
        for (const char* grey : {"main_lbl_status", "main_lbl_cpuitem", "main_lbl_fanitem"}) {
            QTest::newRow(grey) << grey << QColor(129, 129, 129);
        }
    }

    void textColours()
    {
        QFETCH(QString, name);
        QFETCH(QColor, colour);
        QWidget* widget = child(name);
        QVERIFY2(widget, qPrintable(name));
        widget->ensurePolished();
        QCOMPARE(widget->palette().color(QPalette::WindowText), colour);
    }

    // The form's pictures and frames where no text is drawn, so that the fonts a machine has do not matter: a point
    // of the widget as drawn in the window, as a fraction of its size, and the colour there.
    void drawnWithoutText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("selector's frame") << "main_cbx_cpuitem" << QPointF(0.0, 0.5) << QColor(129, 129, 129);
        QTest::newRow("selector's ground") << "main_cbx_cpuitem" << QPointF(0.02, 0.85) << QColor(70, 65, 65);
        QTest::newRow("accept's frame") << "main_btn_accept" << QPointF(0.0, 0.5) << QColor(74, 77, 85);
        QTest::newRow("accept's ground") << "main_btn_accept" << QPointF(0.05, 0.85) << QColor(27, 30, 39);
        QTest::newRow("status panel's frame") << "main_status_bgi" << QPointF(0.5, 0.0) << QColor(80, 80, 80);
    }

    void drawnWithoutText()
    {
        QFETCH(QString, name);
        QFETCH(QPointF, at);
        QFETCH(QColor, colour);
        QWidget* widget = child(name);
        QVERIFY2(widget, qPrintable(name));
        const QImage window = w->grab().toImage();
        const QPoint point = widget->mapTo(w,
                                           QPoint(qMin(int(at.x() * widget->width()), widget->width() - 1),
                                                  qMin(int(at.y() * widget->height()), widget->height() - 1)));
        const QColor drawn = window.pixelColor(point);
        QVERIFY2(
            qAbs(drawn.red() - colour.red()) <= 2 && qAbs(drawn.green() - colour.green()) <= 2 &&
                qAbs(drawn.blue() - colour.blue()) <= 2,
            qPrintable(QStringLiteral("%1 at (%2, %3): %4").arg(name).arg(point.x()).arg(point.y()).arg(drawn.name())));
    }

    // The panels' pictures: each widget draws its own (the gauge's pictures are the dashboard's tests').
    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("picture");
        QTest::newRow("panel") << "main_wgt_bgi"
                               << ":/image/sys_bgi_main.png";
        QTest::newRow("gauge's face") << "main_dbd_gray"
                                      << ":/image/bgi_dbd_gray.png";
    }

    void pictures()
    {
        QFETCH(QString, name);
        QFETCH(QString, picture);
        QWidget* widget = child(name);
        QVERIFY2(widget, qPrintable(name));
        // Drawn alone, without its children, stretched over the widget as a border image is.
        QImage drawn(widget->size(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        widget->render(&drawn, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const QImage expected = QImage(picture)
                                    .scaled(widget->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // The middle of the widget, clear of a rounded border.
        const QPoint middle(widget->width() / 2, widget->height() / 2);
        const QColor a = drawn.pixelColor(middle);
        const QColor b = expected.pixelColor(middle);
        QVERIFY2(qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8 && qAbs(a.blue() - b.blue()) <= 8,
                 qPrintable(QStringLiteral("%1: %2, the picture %3").arg(name, a.name(), b.name())));
    }

    void fonts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pointSize");
        QTest::addColumn<bool>("bold");
        const QString yahei = QStringLiteral("微软雅黑");
        QTest::newRow("title_lbl_info") << "title_lbl_info" << yahei << 11 << false;
        for (const char* n : {"title_btn_setting", "title_btn_minimize", "title_btn_close"}) {
            QTest::newRow(n) << n << yahei << 10 << false;
        }
        QTest::newRow("main_lbl_symbol") << "main_lbl_symbol"
                                         << "Agency FB" << 20 << true;
        QTest::newRow("main_lbl_fanspeed") << "main_lbl_fanspeed"
                                           << "Sitka Small Semibold" << 20 << true;
        for (const char* n : {"main_lbl_cpu", "main_lbl_cpuunit", "main_ckb_autostart"}) {
            QTest::newRow(n) << n << yahei << 11 << false;
        }
        QTest::newRow("main_lcd_cpu") << "main_lcd_cpu"
                                      << "Agency FB" << 8 << false;
        QTest::newRow("main_lbl_cpuitem") << "main_lbl_cpuitem" << yahei << 10 << false;
        QTest::newRow("main_lbl_fanitem") << "main_lbl_fanitem" << yahei << 10 << false;
        QTest::newRow("main_cbx_cpuitem") << "main_cbx_cpuitem" << yahei << 9 << false;
        const int defaultSize = QApplication::font().pointSize();
        QTest::newRow("main_cbx_fanitem") << "main_cbx_fanitem" << yahei << defaultSize << false;
        QTest::newRow("main_btn_accept") << "main_btn_accept" << yahei << defaultSize << false;
    }

    void fonts()
    {
        QFETCH(QString, name);
        QFETCH(QString, family);
        QFETCH(int, pointSize);
        QFETCH(bool, bold);
        const QFont font = child(name)->font();
        QCOMPARE(font.family(), family);
        QCOMPARE(font.pointSize(), pointSize);
        QCOMPARE(font.bold(), bold);
    }

    void readouts()
    {
        auto* tem = child<QLCDNumber>("main_lcd_tem");
        QCOMPARE(tem->digitCount(), 2);
        QCOMPARE(tem->frameShape(), QFrame::NoFrame);
        QCOMPARE(tem->midLineWidth(), 5);
        QCOMPARE(tem->mode(), QLCDNumber::Dec);
        QCOMPARE(tem->segmentStyle(), QLCDNumber::Flat);
        auto* fan = child<QLCDNumber>("main_lcd_fan");
        QCOMPARE(fan->digitCount(), 4);
        QCOMPARE(fan->lineWidth(), 0);
        QVERIFY(!fan->smallDecimalPoint());
        QCOMPARE(fan->intValue(), 0);
        auto* cpu = child<QLCDNumber>("main_lcd_cpu");
        QCOMPARE(cpu->digitCount(), 2);
        QCOMPARE(cpu->lineWidth(), 0);
        QCOMPARE(cpu->midLineWidth(), 0);
        QCOMPARE(cpu->intValue(), 0);
        QCOMPARE(child<QLabel>("main_lbl_fanspeed")->alignment(), Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    }

    void titleButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("iconSize");
        QTest::newRow("title_btn_setting") << "title_btn_setting" << QSize(21, 21);
        QTest::newRow("title_btn_minimize") << "title_btn_minimize" << QSize(18, 18);
        QTest::newRow("title_btn_close") << "title_btn_close" << QSize(18, 18);
    }

    void titleButtons()
    {
        QFETCH(QString, name);
        QFETCH(QSize, iconSize);
        auto* button = child<QPushButton>(name);
        QVERIFY(button->isFlat());
        QVERIFY(button->text().isEmpty());
        QCOMPARE(button->iconSize(), iconSize);
        QVERIFY(!button->icon().isNull());
    }

    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("title_lbl_info") << "title_lbl_info"
                                        << "Orvane_V4.5.0.5";
        QTest::newRow("title_lbl_logo") << "title_lbl_logo"
                                        << "";
        QTest::newRow("main_img_linkstate") << "main_img_linkstate"
                                            << "";
        QTest::newRow("main_lbl_symbol") << "main_lbl_symbol" << QStringLiteral("℃");
        QTest::newRow("main_lbl_fanspeed") << "main_lbl_fanspeed"
                                           << "RPM";
        QTest::newRow("main_lbl_cpu") << "main_lbl_cpu"
                                      << "CPU:";
        QTest::newRow("main_lbl_cpuunit") << "main_lbl_cpuunit"
                                          << "%";
        QTest::newRow("main_lbl_status") << "main_lbl_status"
                                         << "USB STATUS";
        QTest::newRow("main_lbl_cpuitem") << "main_lbl_cpuitem"
                                          << "Temperature";
        QTest::newRow("main_lbl_fanitem") << "main_lbl_fanitem"
                                          << "FanSpeed";
        QTest::newRow("main_lbl_loaditem") << "main_lbl_loaditem"
                                           << "Load";
        QTest::newRow("main_ckb_autostart") << "main_ckb_autostart"
                                            << "AutoStart";
        QTest::newRow("main_btn_accept") << "main_btn_accept"
                                         << "Accept";
    }

    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget* widget = child(name);
        QVERIFY2(widget, qPrintable(name));
        QCOMPARE(widget->property("text").toString(), text);
    }

    void selectorsHoldOneEntry()
    {
        auto* cpu = child<QComboBox>("main_cbx_cpuitem");
        auto* fan = child<QComboBox>("main_cbx_fanitem");
        QCOMPARE(cpu->count(), 1);
        QCOMPARE(cpu->itemText(0), QStringLiteral("CPU Temperature"));
        QCOMPARE(fan->count(), 1);
        QCOMPARE(fan->itemText(0), QStringLiteral("Fan Speed"));
        auto* load = child<QComboBox>("main_cbx_loaditem");
        QCOMPARE(load->count(), 1);
        QCOMPARE(load->itemText(0), QStringLiteral("CPU Load"));
    }

    void gaugeHasShadow()
    {
        // Qt's red glow around the panel, drawn once behind it rather than by an effect on the panel.
        QWidget* panel = child("main_wgt_bgi");
        auto* backdrop = w->findChild<PanelShadow*>();
        QVERIFY(backdrop);
        const QImage drawn = w->grab().toImage();

        backdrop->hide();
        const QImage bare = w->grab().toImage();
        auto* effect = new QGraphicsDropShadowEffect;
        effect->setColor(QColor(255, 0, 0, 100));
        effect->setBlurRadius(20.0);
        effect->setOffset(0, 0);
        panel->setGraphicsEffect(effect);
        const QImage reference = w->grab().toImage();
        panel->setGraphicsEffect(nullptr);
        backdrop->show();

        // The glow shows (in the panel's rounded corners), and as the effect draws it.
        QVERIFY(reference != bare);
        QVERIFY(drawn == reference);
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
