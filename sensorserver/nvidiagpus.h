// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_NVIDIAGPUS_H
#define ORVANE_NVIDIAGPUS_H

#include "gpupower.h"
#include "nvml.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QVector>
#include <memory>

// One NVIDIA card's figures; a figure the card does not give is left out.
struct NvidiaGpu
{
    QString address; // PCI, "0000:01:00.0"
    QString name;    // NVML's, "NVIDIA GeForce RTX 4080"
    bool temperatureValid = false;
    double temperature = 0.0;
    bool loadValid = false;
    double load = 0.0;
    struct Fan
    {
        int index = 0; // from 1, as hwmon counts
        double rpm = 0.0;
    };
    QVector<Fan> fans;
};

// NVIDIA cards through NVML. The cards are found in sysfs, which wakes none of them, and each is read only as its
// power state allows (GpuPower); NVML itself is open only while a card awake is read: an open session alone keeps
// every card awake. Where sysfs shows no NVIDIA card but NVML works (a container), NVML's own list is read.
class NvidiaReader
{
public:
    // Cards are paced, and the PCI devices listed again, by `clock`.
    explicit NvidiaReader(const QString& sysfsRoot, Clock clock = monotonicMs);
    ~NvidiaReader();
    NvidiaReader(const NvidiaReader&) = delete;
    NvidiaReader& operator=(const NvidiaReader&) = delete;

    QVector<NvidiaGpu> read();

private:
    struct Card
    {
        QByteArray entry; // in bus/pci/devices
        QString address;
        std::shared_ptr<GpuPower> power;
        bool haveHandle = false;
        Nvml::Device handle = nullptr;
        bool haveLast = false;
        NvidiaGpu last;
    };
    // What stays true of a card across NVML sessions.
    struct Fixed
    {
        QString name;
        int fans = -1; // -1: not asked yet
        bool fanSpeedsSupported = true;
    };

    void findCards();
    const Nvml::Api* api();
    // `quiet`: no card is known to be there, so NVML's failing is no news.
    bool openSession(bool quiet);
    void closeSession();
    bool readCard(Card& card, NvidiaGpu* out);
    Fixed& fixedOf(const QString& address, Nvml::Device handle);
    QVector<NvidiaGpu> readWithoutSysfs();
    // Logs `text` unless it was the last thing logged: a failure that lasts is told once.
    void tell(const QString& text);

    QString mDevicesPath;
    Clock mClock;
    QSet<QByteArray> mSeenEntries;
    bool mListed = false;
    qint64 mListedAt = 0;
    QVector<Card> mCards;
    QHash<QString, Fixed> mFixed;
    const Nvml::Api* mApi = nullptr;
    bool mApiAsked = false;
    QString mApiMissing; // why it cannot be loaded
    bool mInSession = false;
    bool mTriedWithoutSysfs = false;
    QVector<Card> mListedByNvml;
    QString mLastTold;
};

#endif // ORVANE_NVIDIAGPUS_H
