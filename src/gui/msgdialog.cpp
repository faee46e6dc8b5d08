// SPDX-License-Identifier: GPL-3.0-or-later
#include "msgdialog.h"

#include "imageresources.h"
#include "ui_msgdialog.h"

#include <QGraphicsDropShadowEffect>

MsgDialog::MsgDialog(QWidget* parent) : QDialog(parent), ui(new Ui_MsgDialog), mButtonType(true)
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::Dialog);
    initImageResources();
    ui->setupUi(this);
    setWgtGraphicsEffect(this);
}

MsgDialog::~MsgDialog()
{
    delete ui;
}

void MsgDialog::setWgtGraphicsEffect(QWidget* wgt)
{
    auto* shadow = new QGraphicsDropShadowEffect(wgt);
    shadow->setColor(QColor(255, 255, 255, 100));
    // Qt blurs in the screen's pixels; the glow is 30 points wide at any scale.
    shadow->setBlurRadius(30 * wgt->devicePixelRatioF());
    wgt->setGraphicsEffect(shadow);
}

void MsgDialog::SetInfo(QString strInfo, int type)
{
    if (type == 0) {
        ui->main_btn_cancel->hide();
    } else {
        ui->main_btn_cancel->show();
    }
    if (!strInfo.isEmpty()) {
        ui->main_lbl_info->setText(strInfo);
    }
}

bool MsgDialog::GetStatus()
{
    return mButtonType;
}

void MsgDialog::on_main_btn_ok_clicked()
{
    close();
    mButtonType = true;
}

void MsgDialog::on_main_btn_cancel_clicked()
{
    close();
    mButtonType = false;
}
