// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_SETTINGMENU_H
#define ORVANE_SETTINGMENU_H

#include <QMenu>

class QAction;

// The title bar's settings drop-down: "Device Version" and "Device Upgrade", re-emitted as the menu's own signals.
class SettingMenu : public QMenu
{
    Q_OBJECT

public:
    explicit SettingMenu(QWidget* parent = nullptr);
    ~SettingMenu() override;

signals:
    void signal_menu_version();
    void signal_menu_update();

private:
    void createActions();

    QAction* menu_action_version;
    QAction* menu_action_update;
};

#endif // ORVANE_SETTINGMENU_H
