// SPDX-License-Identifier: GPL-3.0-or-later
// One instance per session: a named semaphore guards the check, a named shared segment stands for the running
// instance. Windows frees both with their last handle, so nothing outlives a killed instance.
#include "singleinstance.h"

#include <QSharedMemory>
#include <QSystemSemaphore>

struct SingleInstance::Private
{
    QSystemSemaphore semaphore {QStringLiteral("KEY_QUASTOR_SEMAPHORE_AP"), 1, QSystemSemaphore::Open};
    QSharedMemory sharedMemory {QStringLiteral("KEY_QUASTOR_SHAREMEMORY_AP")};
};

SingleInstance::SingleInstance() : d(new Private) { }

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (!d->semaphore.acquire()) {
        return false;
    }
    bool isNew = false;
    if (!d->sharedMemory.attach(QSharedMemory::ReadWrite)) {
        isNew = true;
        d->sharedMemory.create(1, QSharedMemory::ReadWrite);
    }
    d->semaphore.release();
    return isNew;
}
