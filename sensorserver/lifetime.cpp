// SPDX-License-Identifier: GPL-3.0-or-later
#include "lifetime.h"

#include <QCoreApplication>
#include <QTimer>
#include <unistd.h>

namespace {
constexpr int kParentCheckMs = 2000;
} // namespace

namespace Lifetime {
void quitWhenParentEnds(QObject* context)
{
    const pid_t parent = ::getppid();
    if (parent <= 1) {
        return;
    }
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [parent]() {
        if (::getppid() != parent) {
            QCoreApplication::quit();
        }
    });
    timer->start(kParentCheckMs);
}
} // namespace Lifetime
