#include "sharedsegment.h"

#include <QFile>
#include <QSharedMemory>
#include <sys/ipc.h>
#include <sys/shm.h>

bool sharedSegmentIsOrphaned(const QSharedMemory& memory)
{
    // Qt keys its System V segments with ftok() on the native key file and the project id 'Q'.
    const key_t key = ::ftok(QFile::encodeName(memory.nativeKey()).constData(), 'Q');
    if (key == -1) {
        return false;
    }
    const int id = ::shmget(key, 0, 0);
    if (id == -1) {
        return false;
    }
    struct shmid_ds info = {};
    if (::shmctl(id, IPC_STAT, &info) == -1) {
        return false;
    }
    // The kernel drops a dead process's attachment, so our own is the only one left.
    return info.shm_nattch <= 1;
}
