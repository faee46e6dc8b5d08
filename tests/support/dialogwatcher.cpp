// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogwatcher.h"

#include "msgdialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

DialogWatcher::DialogWatcher(Answer answer, QObject* parent) : QObject(parent), mAnswer(answer)
{
    connect(&mTimer, &QTimer::timeout, this, &DialogWatcher::poll);
    mTimer.start(20);
}

void DialogWatcher::poll()
{
    auto* dialog = qobject_cast<MsgDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) {
        return;
    }
    Seen seen;
    seen.text = dialog->findChild<QLabel*>(QStringLiteral("main_lbl_info"))->text();
    seen.okVisible = dialog->findChild<QPushButton*>(QStringLiteral("main_btn_ok"))->isVisible();
    seen.cancelVisible = dialog->findChild<QPushButton*>(QStringLiteral("main_btn_cancel"))->isVisible();
    seen.position = dialog->pos();
    seen.iconStyle = dialog->findChild<QLabel*>(QStringLiteral("main_lbl_image"))->styleSheet();
    mSeen << seen;
    switch (mAnswer) {
    case Answer::Ok:
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("main_btn_ok")), Qt::LeftButton);
        break;
    case Answer::Cancel:
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("main_btn_cancel")), Qt::LeftButton);
        break;
    case Answer::Escape:
        QTest::keyClick(dialog, Qt::Key_Escape);
        break;
    }
}
