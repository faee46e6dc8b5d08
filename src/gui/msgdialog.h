// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_MSGDIALOG_H
#define ORVANE_MSGDIALOG_H

#include <QDialog>

class Ui_MsgDialog;

// The program's only message box: frameless and modal, OK alone for information, Cancel and OK for a question.
class MsgDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MsgDialog(QWidget* parent = nullptr);
    ~MsgDialog() override;

    void setWgtGraphicsEffect(QWidget* wgt);
    void SetInfo(QString strInfo, int type);
    bool GetStatus();

private slots:
    void on_main_btn_ok_clicked();
    void on_main_btn_cancel_clicked();

private:
    Ui_MsgDialog* ui;
    bool mButtonType;
};

#endif // ORVANE_MSGDIALOG_H
