// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingmenu.h"

#include <QAction>

SettingMenu::SettingMenu(QWidget* parent) : QMenu(parent), menu_action_version(nullptr), menu_action_update(nullptr)
{
    createActions();
}

SettingMenu::~SettingMenu() = default;

void SettingMenu::createActions()
{
    menu_action_version = new QAction(this);
    menu_action_update = new QAction(this);
    menu_action_version->setText(tr("Device Version"));
    menu_action_update->setText(tr("Device Upgrade"));
    addAction(menu_action_version);
    addAction(menu_action_update);
    menu_action_version->setIcon(QIcon(QStringLiteral(":/image/menu_version.png")));
    menu_action_update->setIcon(QIcon(QStringLiteral(":/image/menu_update.png")));
    connect(menu_action_version, &QAction::triggered, this, &SettingMenu::signal_menu_version);
    connect(menu_action_update, &QAction::triggered, this, &SettingMenu::signal_menu_update);
}
