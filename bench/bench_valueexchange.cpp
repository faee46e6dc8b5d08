// SPDX-License-Identifier: GPL-3.0-or-later
// GUI-thread cost of one value exchange without the device's reply time: build the frame, scramble it, write it.
// The write goes to the in-process device model, so its figure includes the simulated device decoding the frame;
// it is an upper bound of the transport's own share.
#include "devicemodel.h"
#include "hidapi_sim.h"
#include "usbhidapi.h"
#include "usbprotocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kBatches = 15;
constexpr int kPerBatch = 20000;

// Median over batches of the time per call, in microseconds.
double microsecondsPerCall(const std::function<void()>& call)
{
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kPerBatch; ++i) {
            call();
        }
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        batches.push_back(spent.count() / kPerBatch);
    }
    std::sort(batches.begin(), batches.end());
    return batches[batches.size() / 2];
}
} // namespace

int main()
{
    USBProtocol protocol;
    const uchar seed = 0xA7;
    int temp = 0;
    int checksum = 0;

    const double buildScramble = microsecondsPerCall([&] {
        const QByteArray frame = protocol.Scrambler(seed, protocol.GenerateShowDevInfo(temp++ % 100, 1500, 12));
        checksum += frame.at(63);
    });

    devsim::DeviceModel model;
    model.setSeed(seed);
    model.setSilent(true); // replies are not read here; a silent device queues none
    devsim::installModel(&model);
    USBHidApi hid;
    if (hid.openHid(0x0416, 0x1100) != 0 || hid.setData(protocol.GenerateScramblerSeed()) != 0) {
        std::fprintf(stderr, "bench_valueexchange: the simulated device did not open\n");
        return 1;
    }
    const double buildScrambleWrite = microsecondsPerCall(
        [&] { hid.setData(protocol.Scrambler(seed, protocol.GenerateShowDevInfo(temp++ % 100, 1500, 12))); });

    // The whole exchange with a device that answers at once, for comparison.
    model.setSilent(false);
    const double wholeExchange = microsecondsPerCall([&] {
        hid.setData(protocol.Scrambler(seed, protocol.GenerateShowDevInfo(temp++ % 100, 1500, 12)));
        QByteArray reply;
        hid.getData(reply);
    });
    hid.closeHid();
    devsim::installModel(nullptr);

    const std::vector<devsim::Event> events = model.events();
    const auto badFrames = std::count_if(
        events.begin(), events.end(), [](const devsim::Event& e) { return e.kind == devsim::EventKind::BadFrame; });
    std::printf("value exchange, median of %d batches of %d (goal: build + scramble + write under 50 us)\n",
                kBatches,
                kPerBatch);
    std::printf("  build + scramble:                              %8.3f us\n", buildScramble);
    std::printf("  build + scramble + write (simulated device):   %8.3f us\n", buildScrambleWrite);
    std::printf("  whole exchange, reply read at once:            %8.3f us\n", wholeExchange);
    std::printf("  frames the device could not decode: %ld (checksum %d)\n", long(badFrames), checksum & 1);
    return (buildScrambleWrite < 50.0 && badFrames == 0) ? 0 : 1;
}
