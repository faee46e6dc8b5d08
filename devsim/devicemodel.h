// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_DEVSIM_DEVICEMODEL_H
#define ORVANE_DEVSIM_DEVICEMODEL_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

namespace devsim {

using Clock = std::chrono::steady_clock;

enum class EventKind { Seed, Version, Value, BadFrame };

// One frame the device received, as it understood it.
struct Event
{
    EventKind kind = EventKind::BadFrame;
    int seed = -1; // Seed: the seed handed out; Value: the seed the frame was undone with
    int index = -1;
    int temp = 0;
    int fan = 0;
    int load = 0;
    int expectedIndex = -1;     // Value: the index that should have come, when another one came
    std::string reason;         // BadFrame
    std::vector<uint8_t> frame; // as received, report number first
    Clock::time_point received; // steady clock: comparable with other processes' CLOCK_MONOTONIC stamps
};

std::string toJson(const Event& event);
std::string toText(const Event& event);

struct HandleStats
{
    int opens = 0; // successful
    int failedOpens = 0;
    int closes = 0;
    int live = 0;          // opened and not closed yet, whether or not the device is still there
    int unknownCloses = 0; // closes of a handle that was never opened or already closed
};

// The display device: answers seed, version and value frames, undoes the scrambling, and can misbehave on request.
// Thread-safe; a handle is one open of the device by a host.
class DeviceModel
{
public:
    static constexpr int kVersionTextSize = 11;

    enum class ReplyState {
        Ready, // a reply can be taken now
        Later, // a reply is due at *due
        None,  // nothing will come
        Gone   // the handle is dead: the device was pulled out after it was opened
    };

    DeviceModel();

    // Presence. Pulling the device out kills every open handle for good, as the kernel does with its nodes.
    void plug();
    void unplug();
    bool isPresent() const;

    // Faults and reply shapes.
    void setSilent(bool silent);
    void setDelayMs(int delayMs);
    void setSeedMarker(bool withMarker);
    void setReportId(bool withReportId);
    void setVersionNonZeroCount(int count);       // 12, 13 (a valid reply) or 14
    void setVersionText(const std::string& text); // cut or padded to 11 bytes
    void setSeed(int seed);      // 0..255 hands out that seed every time; -1 picks a random one per request
    void setReplySize(int size); // replies cut to this many bytes as the host receives them; 0: whole reports

    bool isSilent() const;
    int delayMs() const;
    bool seedMarker() const;
    bool reportId() const;
    int versionNonZeroCount() const;
    std::string versionText() const;
    int replySize() const;
    int lastSeed() const; // the seed handed out last, -1 before the first request
    std::string status() const;

    // Host side.
    int open(); // a handle, or -1 when the device is absent
    void close(int handle);
    int write(int handle, const uint8_t* data, size_t len); // len, or -1 when the handle is dead or unknown
    // Blocks up to timeoutMs (forever when negative) for the next reply: its size (cut to len), 0, or -1.
    int read(int handle, uint8_t* buf, size_t len, int timeoutMs);
    ReplyState replyState(int handle, Clock::time_point* due) const;
    int takeReply(int handle, uint8_t* buf, size_t len); // like read, without waiting

    HandleStats handleStats() const;
    std::vector<Event> events() const;
    void clearEvents();
    // Called for every received frame, outside the model's lock.
    void setEventSink(std::function<void(const Event&)> sink);

private:
    struct Reply
    {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };
    struct Handle
    {
        bool alive = true;
        std::deque<Reply> replies;
    };

    Event receiveLocked(const uint8_t* data, size_t len, std::vector<uint8_t>* reply);
    std::vector<uint8_t> seedReplyLocked(uint8_t seed) const;
    std::vector<uint8_t> versionReplyLocked() const;
    std::vector<uint8_t> plainReplyLocked(uint8_t command, uint8_t detail) const;
    int takeReplyLocked(Handle& handle, uint8_t* buf, size_t len);

    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::map<int, Handle> mHandles;
    int mNextHandle = 1;
    HandleStats mStats;

    bool mPresent = true;
    bool mSilent = false;
    int mDelayMs = 0;
    bool mSeedMarker = true;
    bool mReportId = true;
    int mVersionNonZero = 13;
    std::string mVersionText = "DSP-V1.0.07";
    int mFixedSeed = -1;
    int mReplySize = 0;

    int mSeed = -1;
    int mLastIndex = -1;
    std::mt19937 mRandom;

    std::deque<Event> mEvents;
    std::function<void(const Event&)> mSink;
};

} // namespace devsim

#endif // ORVANE_DEVSIM_DEVICEMODEL_H
