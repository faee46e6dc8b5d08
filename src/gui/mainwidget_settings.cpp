// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file with the selectors' texts and the log-on entry behind the AutoStart check box.
#include "bootstarttask.h"
#include "displayfeed.h"
#include "figurechoice.h"
#include "figuresettings.h"
#include "mainwidget.h"
#include "sensorselector.h"
#include "settingsfile.h"
#include "ui_mainwidget.h"

#include <QSettings>

QString MainWidget::GetIniValue(QString key)
{
    QSettings setting(SettingsFile::readPath(), QSettings::IniFormat);
    return setting.value(key, QString()).toString();
}

void MainWidget::onRestoreSelectors()
{
    const FigureSettings::Choice choice = FigureSettings::read(SettingsFile::readPath());
    mTemSelector->choose(choice.temperature);
    mFanSelector->choose(choice.fan);
    mLoadSelector->choose(choice.load);
    onHandChoiceToFeed();
}

void MainWidget::onHandChoiceToFeed()
{
    // Before the selectors exist, the form's own set-up changes the boxes.
    if (mTemSelector && mFanSelector && mLoadSelector) {
        mFeed->chooseFigures(mTemSelector->chosenKey(), mFanSelector->chosenKey(), mLoadSelector->chosenKey());
        // The readout says whose load it shows only while it is the CPU's.
        const bool cpuLoad = mLoadSelector->chosenKey() == FigureChoice::kRulesLoad;
        ui->main_lbl_cpu->setText(cpuLoad ? QStringLiteral("CPU:") : QStringLiteral("Load:"));
    }
}

void MainWidget::oncCreateBootStartTask()
{
    QString error;
    if (!BootStartTask::create(&error)) {
        onBootStartTaskFailed(QStringLiteral("AutoStart could not be turned on: ") + error);
    }
}

void MainWidget::onDeleteBootStartTask()
{
    QString error;
    if (!BootStartTask::remove(&error)) {
        onBootStartTaskFailed(QStringLiteral("AutoStart could not be turned off: ") + error);
    }
}

void MainWidget::onBootStartTaskFailed(const QString& message)
{
    // The box shows what is really there, not what was asked for.
    ui->main_ckb_autostart->blockSignals(true);
    ui->main_ckb_autostart->setCheckState(onCheckBootStartTask() ? Qt::Checked : Qt::Unchecked);
    ui->main_ckb_autostart->blockSignals(false);
    onMessageDialog(message, 0);
}

bool MainWidget::onCheckBootStartTask()
{
    return BootStartTask::exists();
}

void MainWidget::on_main_ckb_autostart_stateChanged(int arg1)
{
    if (arg1 == Qt::Checked) {
        oncCreateBootStartTask();
    } else {
        onDeleteBootStartTask();
    }
}
