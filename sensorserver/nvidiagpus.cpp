// SPDX-License-Identifier: GPL-3.0-or-later
#include "nvidiagpus.h"

#include "hwmon.h"
#include "sysfsfile.h"

#include <algorithm>
#include <cstdio>

using SysfsFile::Directory;

namespace {
// Where NVML spells a domain with eight digits, sysfs (and so the card's identifier) has four.
QString sysfsAddress(const char* busId)
{
    QString address = QString::fromLatin1(busId).trimmed().toLower();
    const int colon = address.indexOf(QLatin1Char(':'));
    if (colon > 4 && address.leftRef(colon - 4).count(QLatin1Char('0')) == colon - 4) {
        address.remove(0, colon - 4);
    }
    return address;
}

bool isNvidiaDisplay(const Directory& device)
{
    QByteArray vendor;
    QByteArray deviceClass;
    // Display controllers are class 0x03xxxx; the card's audio function shares its vendor.
    return device.readText("vendor", &vendor) && vendor.toLower() == "0x10de" &&
           device.readText("class", &deviceClass) && deviceClass.toLower().startsWith("0x03");
}

QString addressOf(const Directory& device, const QByteArray& entry)
{
    QByteArray uevent;
    if (device.readText("uevent", &uevent)) {
        for (const QByteArray& line : uevent.split('\n')) {
            if (line.startsWith("PCI_SLOT_NAME=")) {
                return QString::fromLatin1(line.mid(14)).trimmed().toLower();
            }
        }
    }
    return QString::fromLatin1(entry).toLower();
}
} // namespace

NvidiaReader::NvidiaReader(const QString& sysfsRoot, Clock clock)
    : mDevicesPath(sysfsRoot + QStringLiteral("/bus/pci/devices")), mClock(std::move(clock))
{
}

NvidiaReader::~NvidiaReader()
{
    closeSession();
}

QVector<NvidiaGpu> NvidiaReader::read()
{
    findCards();
    if (mCards.isEmpty()) {
        return readWithoutSysfs();
    }
    const qint64 now = mClock();
    QVector<NvidiaGpu> gpus;
    QVector<Card*> due;
    bool keepOpen = false;
    for (Card& card : mCards) {
        if (card.power->step(now, card.haveLast) != GpuPower::Step::Read) {
            continue;
        }
        due.append(&card);
        keepOpen = keepOpen || !card.power->mayIdle();
    }
    const bool open = !due.isEmpty() && openSession(false);
    for (Card* card : qAsConst(due)) {
        // Without NVML, no figures rather than old ones.
        card->haveLast = open && readCard(*card, &card->last);
    }
    // A card that may sleep gets the chance between two readings.
    if (!keepOpen) {
        closeSession();
    }
    for (const Card& card : qAsConst(mCards)) {
        if (card.haveLast) {
            gpus.append(card.last);
        }
    }
    return gpus;
}

void NvidiaReader::findCards()
{
    // A card that comes later (a Thunderbolt enclosure) is found within seconds; listing a large machine's PCI
    // devices at every reading would cost a tenth of the reading.
    constexpr qint64 kListEveryMs = 10000;
    const qint64 now = mClock();
    if (mListed && now - mListedAt < kListEveryMs) {
        return;
    }
    mListed = true;
    mListedAt = now;
    const Directory devices(mDevicesPath);
    const QList<QByteArray> listed = devices.entries();
    const QSet<QByteArray> entries(listed.begin(), listed.end());
    // Only new devices are looked at: they hardly ever change.
    if (entries == mSeenEntries) {
        return;
    }
    mCards.erase(
        std::remove_if(mCards.begin(), mCards.end(), [&](const Card& card) { return !entries.contains(card.entry); }),
        mCards.end());
    for (const QByteArray& entry : listed) {
        if (mSeenEntries.contains(entry)) {
            continue;
        }
        const Directory device(devices, entry);
        if (!isNvidiaDisplay(device)) {
            continue;
        }
        Card card;
        card.entry = entry;
        card.address = addressOf(device, entry);
        card.power = std::make_shared<GpuPower>(mDevicesPath + QLatin1Char('/') + QString::fromLatin1(entry));
        mCards.append(card);
    }
    std::sort(mCards.begin(), mCards.end(), [](const Card& a, const Card& b) { return a.address < b.address; });
    mSeenEntries = entries;
}

const Nvml::Api* NvidiaReader::api()
{
    if (!mApiAsked) {
        mApiAsked = true;
        mApi = Nvml::api(&mApiMissing);
    }
    return mApi;
}

bool NvidiaReader::openSession(bool quiet)
{
    if (mInSession) {
        return true;
    }
    if (!api()) {
        if (!quiet) {
            tell(QStringLiteral("no NVIDIA figures: ") + mApiMissing);
        }
        return false;
    }
    const Nvml::Return started = mApi->init();
    if (started != Nvml::kSuccess) {
        if (!quiet) {
            tell(QStringLiteral("no NVIDIA figures: NVML does not start: ") + mApi->errorText(started));
        }
        return false;
    }
    mInSession = true;
    mLastTold.clear();
    return true;
}

void NvidiaReader::closeSession()
{
    if (!mInSession) {
        return;
    }
    mApi->shutdown();
    mInSession = false;
    // Handles belong to the session they were taken in.
    for (QVector<Card>* cards : {&mCards, &mListedByNvml}) {
        for (Card& card : *cards) {
            card.haveHandle = false;
        }
    }
}

NvidiaReader::Fixed& NvidiaReader::fixedOf(const QString& address, Nvml::Device handle)
{
    Fixed& fixed = mFixed[address];
    if (fixed.name.isEmpty()) {
        char name[Nvml::kNameBufferSize] = {};
        if (mApi->name(handle, name, sizeof(name)) == Nvml::kSuccess) {
            fixed.name = QString::fromUtf8(name, int(qstrnlen(name, sizeof(name)))).trimmed();
        }
    }
    if (fixed.fans < 0 && mApi->fanCount && mApi->fanSpeedRpm) {
        unsigned int count = 0;
        fixed.fans = mApi->fanCount(handle, &count) == Nvml::kSuccess ? int(qMin(count, 16U)) : 0;
    }
    return fixed;
}

bool NvidiaReader::readCard(Card& card, NvidiaGpu* out)
{
    if (!card.haveHandle) {
        const QByteArray busId = card.address.toLatin1();
        const Nvml::Return found = mApi->handleByPciBusId(busId.constData(), &card.handle);
        if (found != Nvml::kSuccess) {
            tell(QStringLiteral("NVIDIA GPU %1 left out: %2").arg(card.address, mApi->errorText(found)));
            return false;
        }
        card.haveHandle = true;
    }
    Fixed& fixed = fixedOf(card.address, card.handle);
    NvidiaGpu gpu;
    gpu.address = card.address;
    gpu.name = fixed.name.isEmpty() ? QStringLiteral("NVIDIA GPU") : fixed.name;

    // Not supported leaves a figure out; any other error leaves the card out of this reading, and its handle is
    // taken again at the next.
    const auto failed = [&](Nvml::Return code) {
        if (code == Nvml::kSuccess || code == Nvml::kNotSupported) {
            return false;
        }
        tell(QStringLiteral("NVIDIA GPU %1 left out: %2").arg(card.address, mApi->errorText(code)));
        card.haveHandle = false;
        return true;
    };
    unsigned int celsius = 0;
    const Nvml::Return temperature = mApi->temperature(card.handle, Nvml::kTemperatureGpu, &celsius);
    if (failed(temperature)) {
        return false;
    }
    gpu.temperatureValid = temperature == Nvml::kSuccess && isPlausibleTemperature(double(celsius));
    gpu.temperature = double(celsius);
    Nvml::Utilization utilization {};
    const Nvml::Return load = mApi->utilization(card.handle, &utilization);
    if (failed(load)) {
        return false;
    }
    gpu.loadValid = load == Nvml::kSuccess && utilization.gpu <= 100;
    gpu.load = double(utilization.gpu);
    // Only a speed in RPM is a fan speed; the older percentage of the fan's target is not.
    for (int fan = 0; fixed.fanSpeedsSupported && fan < fixed.fans; ++fan) {
        Nvml::FanSpeedInfo info {Nvml::kFanSpeedInfoVersion1, unsigned(fan), 0};
        const Nvml::Return speed = mApi->fanSpeedRpm(card.handle, &info);
        if (speed == Nvml::kNotSupported) {
            fixed.fanSpeedsSupported = false;
        } else if (speed == Nvml::kSuccess && isPlausibleFanSpeed(double(info.speed))) {
            gpu.fans.append(NvidiaGpu::Fan {fan + 1, double(info.speed)});
        }
    }
    *out = gpu;
    return true;
}

QVector<NvidiaGpu> NvidiaReader::readWithoutSysfs()
{
    if (!mTriedWithoutSysfs) {
        // Tried once: on a machine with the library but no card, NVML fails the same way at every reading.
        mTriedWithoutSysfs = true;
        // Without a card in sysfs, a machine without NVIDIA's driver is the usual case: nothing to say.
        if (openSession(true)) {
            unsigned int count = 0;
            if (mApi->deviceCount(&count) == Nvml::kSuccess) {
                for (unsigned int index = 0; index < qMin(count, 64U); ++index) {
                    Card card;
                    Nvml::PciInfo pci {};
                    if (mApi->handleByIndex(index, &card.handle) == Nvml::kSuccess &&
                        mApi->pciInfo(card.handle, &pci) == Nvml::kSuccess) {
                        card.address = sysfsAddress(pci.busId);
                        card.haveHandle = true;
                        mListedByNvml.append(card);
                    }
                }
            }
        }
    }
    QVector<NvidiaGpu> gpus;
    if (!mInSession) {
        return gpus;
    }
    for (Card& card : mListedByNvml) {
        NvidiaGpu gpu;
        if (readCard(card, &gpu)) {
            gpus.append(gpu);
        }
    }
    return gpus;
}

void NvidiaReader::tell(const QString& text)
{
    if (text != mLastTold) {
        mLastTold = text;
        std::fprintf(stderr, "VOViredo: %s\n", qUtf8Printable(text));
    }
}
