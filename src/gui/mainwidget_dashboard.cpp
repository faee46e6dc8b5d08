// SPDX-License-Identifier: GPL-3.0-or-later
// Readouts and fan gauge, the message dialog, and the device menu actions.
#include "dashboardstyles.h"
#include "displayfeed.h"
#include "mainwidget.h"
#include "msgdialog.h"
#include "sensorselector.h"
#include "ui_mainwidget.h"

#include <QSize>
#include <QtGlobal>

namespace {
constexpr int kLoadDigits = 2;
constexpr QSize kLoadReadoutSize(20, 20);

// Lower bound of each gauge step and the dbdArray entry that shows it, highest first.
struct GaugeStep
{
    int fromRpm;
    int index;
};
constexpr GaugeStep kGaugeSteps[] = {
    {2000, 11},
    {1800, 10},
    {1600, 9},
    {1400, 8},
    {1200, 7},
    {1000, 6},
    {800, 5},
    {600, 4},
    {400, 3},
    {300, 2},
    {200, 1},
};

QString zeroPadded(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// QLCDNumber repaints on every display(), also of the text it shows already; a reading mostly repeats the last one.
void showOnLcd(QLCDNumber* lcd, const QString& text)
{
    static const char* const kShownText = "orvaneShownText";
    if (lcd->property(kShownText).toString() == text) {
        return;
    }
    lcd->setProperty(kShownText, text);
    lcd->display(text);
}
} // namespace

void MainWidget::slot_hwReadData(ST_HWINFO_DATA stHwInfoData)
{
    // The feed picks and limits the figures, has them shown (onShowFigures) and sends them.
    mFeed->slot_hwReadData(stHwInfoData);
}

void MainWidget::onShowFigures(int tem, int fan, int load)
{
    const QString temValueStr = zeroPadded(tem);
    const QString fanValueStr = zeroPadded(fan);
    const QString cpuLoadStr = QString::number(load);

    showOnLcd(ui->main_lcd_tem, temValueStr);
    showOnLcd(ui->main_lcd_fan, fanValueStr);
    onSetFanSpeedImage(fan);
    onSetLoadDigits(cpuLoadStr.size());
    showOnLcd(ui->main_lcd_cpu, cpuLoadStr);
}

void MainWidget::slot_hwSensorList(ST_SENSOR_LIST list)
{
    mFeed->slot_hwSensorList(list);
}

void MainWidget::onSensorListToSelectors(const ST_SENSOR_LIST& list)
{
    mTemSelector->setReadings(list.temperatures, list.fromDocument);
    mFanSelector->setReadings(list.fans, list.fromDocument);
    mLoadSelector->setReadings(list.loads, list.fromDocument);
}

void MainWidget::onSetLoadDigits(int digits)
{
    // The two-digit readout would show a full load as "00": it grows by one digit of the same size while the load
    // is 100 and goes back to its 20 x 20 afterwards.
    const int count = digits > kLoadDigits ? digits : kLoadDigits;
    QLCDNumber* lcd = ui->main_lcd_cpu;
    if (lcd->digitCount() != count) {
        lcd->setDigitCount(count);
        lcd->setFixedSize(kLoadReadoutSize.width() * count / kLoadDigits, kLoadReadoutSize.height());
    }
}

void MainWidget::onSetFanSpeedImage(int value)
{
    int index = 0;
    for (const GaugeStep& step : kGaugeSteps) {
        if (value >= step.fromRpm) {
            index = step.index;
            break;
        }
    }
    setPicture(ui->main_dbd_bgi, QString::fromLatin1(dbdArray[index]));
}

void MainWidget::setPicture(QWidget* widget, const QString& styleSheet)
{
    // Setting a style sheet polishes the widget and its children again, even when the sheet is the same.
    if (widget->styleSheet() != styleSheet) {
        // A widget never shown yet (started hidden in the tray) would keep the rules of the sheet it had first and
        // show that picture once shown: Qt applies a new sheet at once only to a polished widget.
        widget->ensurePolished();
        widget->setStyleSheet(styleSheet);
    }
}

bool MainWidget::onMessageDialog(QString info, int type)
{
    MsgDialog dialog(this);
    dialog.SetInfo(info, type);
    const QRect area = geometry();
    // Integer division truncates toward zero, also for a dialog wider than the window.
    const int x = area.x() + (area.width() - dialog.width()) / 2;
    const int y = area.y() + (area.height() - dialog.height()) / 2;
    dialog.move(x, y);
    dialog.exec();
    return dialog.GetStatus();
}

void MainWidget::slot_menu_version()
{
    mFeed->onWriteHwInfoData();
    if (!mFeed->isLinked()) {
        onMessageDialog(QStringLiteral("Device disconnected. unable to read."), 0);
        return;
    }
    QByteArray hwvArray;
    if (!onGetHardWareVersion(hwvArray)) {
        onMessageDialog(QStringLiteral("Failed to read the software version."), 0);
        return;
    }
    const QString hwvStr = QString::fromUtf8(hwvArray);
    // A reply that fails the version check says nothing worth showing.
    if (!hwvStr.isEmpty()) {
        onMessageDialog(QStringLiteral("Version: ") + hwvStr, 0);
    }
}

bool MainWidget::onGetHardWareVersion(QByteArray& retArray)
{
    return mFeed->onGetHardWareVersion(retArray);
}

void MainWidget::slot_menu_update()
{
    onMessageDialog(QStringLiteral("No upgrade file was detected."), 0);
}
