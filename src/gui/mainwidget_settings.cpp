// The settings file beside the executable and the log-on entry behind the AutoStart check box.
#include "bootstarttask.h"
#include "mainwidget.h"
#include "ui_mainwidget.h"

#include <QCoreApplication>
#include <QSettings>

QString MainWidget::GetIniValue(QString key)
{
    QSettings setting(QCoreApplication::applicationDirPath() + QStringLiteral("/sysconf.ini"), QSettings::IniFormat);
    return setting.value(key, QString()).toString();
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
