// The settings file beside the executable and the log-on entry behind the AutoStart check box.
#include "bootstarttask.h"
#include "mainwidget.h"

#include <QCoreApplication>
#include <QSettings>

QString MainWidget::GetIniValue(QString key)
{
    QSettings setting(QCoreApplication::applicationDirPath() + QStringLiteral("/sysconf.ini"), QSettings::IniFormat);
    return setting.value(key, QString()).toString();
}

void MainWidget::oncCreateBootStartTask()
{
    BootStartTask::create();
}

void MainWidget::onDeleteBootStartTask()
{
    BootStartTask::remove();
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
