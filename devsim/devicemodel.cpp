// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicemodel.h"

#include "descrambler.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace devsim {

namespace {
constexpr size_t kFrameSize = 64;
constexpr uint8_t kReportNumber = 0x01;
constexpr uint8_t kCmdSeed = 0xE3;
constexpr uint8_t kCmdVersion = 0xE4;
constexpr uint8_t kCmdValue = 0xE0;
constexpr uint8_t kLenCommandOnly = 0x81;
constexpr uint8_t kLenValue = 0x86;
// A near miss of the seed marker, for the fault that answers without it.
constexpr uint8_t kNotTheMarker = 0xE2;
constexpr size_t kMaxKeptEvents = 10000;

std::string hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string jsonString(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// ",\"t\":<ms>": when the frame arrived, in milliseconds of the monotonic clock, so that timings can be lined up
// with other programs' monotonic stamps.
std::string timeField(const Event& event)
{
    const auto sinceBoot = std::chrono::duration<double, std::milli>(event.received.time_since_epoch()).count();
    char field[48];
    std::snprintf(field, sizeof field, ",\"t\":%.3f", sinceBoot);
    return field;
}

std::string eventJson(const Event& event)
{
    switch (event.kind) {
    case EventKind::Seed:
        return "{\"event\":\"seed\",\"seed\":" + std::to_string(event.seed) + "}";
    case EventKind::Version:
        return "{\"event\":\"version\"}";
    case EventKind::Value: {
        std::string line = "{\"event\":\"value\",\"index\":" + std::to_string(event.index) +
                           ",\"temp\":" + std::to_string(event.temp) + ",\"fan\":" + std::to_string(event.fan) +
                           ",\"load\":" + std::to_string(event.load);
        if (event.expectedIndex >= 0) {
            line += ",\"expected\":" + std::to_string(event.expectedIndex);
        }
        return line + "}";
    }
    case EventKind::BadFrame:
        return "{\"event\":\"bad-frame\",\"reason\":" + jsonString(event.reason) + ",\"bytes\":\"" + hex(event.frame) +
               "\"}";
    }
    return "{}";
}
} // namespace

std::string toJson(const Event& event)
{
    std::string line = eventJson(event);
    line.insert(line.size() - 1, timeField(event));
    return line;
}

std::string toText(const Event& event)
{
    char line[256];
    switch (event.kind) {
    case EventKind::Seed:
        std::snprintf(line, sizeof line, "seed request: handed out seed %d (0x%02X)", event.seed, event.seed);
        return line;
    case EventKind::Version:
        return "version request";
    case EventKind::Value:
        std::snprintf(line,
                      sizeof line,
                      "value frame #%d: temperature %d C, fan %d RPM, load %d %%",
                      event.index,
                      event.temp,
                      event.fan,
                      event.load);
        if (event.expectedIndex >= 0) {
            return std::string(line) + " (expected frame #" + std::to_string(event.expectedIndex) + ")";
        }
        return line;
    case EventKind::BadFrame:
        return "bad frame (" + event.reason + "): " + hex(event.frame);
    }
    return std::string();
}

DeviceModel::DeviceModel() : mRandom(std::random_device {}()) { }

void DeviceModel::plug()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mPresent = true;
    mChanged.notify_all();
}

void DeviceModel::unplug()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mPresent = false;
    for (auto& entry : mHandles) {
        entry.second.alive = false;
        entry.second.replies.clear();
    }
    mChanged.notify_all();
}

bool DeviceModel::isPresent() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mPresent;
}

void DeviceModel::setSilent(bool silent)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mSilent = silent;
}

void DeviceModel::setDelayMs(int delayMs)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mDelayMs = std::max(0, delayMs);
}

void DeviceModel::setSeedMarker(bool withMarker)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mSeedMarker = withMarker;
}

void DeviceModel::setReportId(bool withReportId)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mReportId = withReportId;
}

void DeviceModel::setVersionNonZeroCount(int count)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mVersionNonZero = std::min(14, std::max(12, count));
}

void DeviceModel::setVersionText(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mVersionText = text;
}

void DeviceModel::setSeed(int seed)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mFixedSeed = (seed >= 0 && seed <= 255) ? seed : -1;
}

void DeviceModel::setReplySize(int size)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mReplySize = std::max(0, size);
}

int DeviceModel::replySize() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mReplySize;
}

bool DeviceModel::isSilent() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mSilent;
}

int DeviceModel::delayMs() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mDelayMs;
}

bool DeviceModel::seedMarker() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mSeedMarker;
}

bool DeviceModel::reportId() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mReportId;
}

int DeviceModel::versionNonZeroCount() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mVersionNonZero;
}

std::string DeviceModel::versionText() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mVersionText;
}

int DeviceModel::lastSeed() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mSeed;
}

std::string DeviceModel::status() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::string line = mPresent ? "plugged" : "unplugged";
    line += mSilent ? ", silent" : ", answering";
    line += ", delay " + std::to_string(mDelayMs) + " ms";
    line += mSeedMarker ? ", seed marker" : ", no seed marker";
    line += mReportId ? ", report id on" : ", report id off";
    line += ", version reply with " + std::to_string(mVersionNonZero) + " non-zero bytes";
    line += mReplySize > 0 ? ", replies cut to " + std::to_string(mReplySize) + " bytes" : ", whole replies";
    line += ", seed " + (mFixedSeed >= 0 ? std::to_string(mFixedSeed) : std::string("random"));
    line += ", open handles " + std::to_string(mStats.live);
    return line;
}

int DeviceModel::open()
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (!mPresent) {
        ++mStats.failedOpens;
        return -1;
    }
    const int handle = mNextHandle++;
    mHandles[handle] = Handle();
    ++mStats.opens;
    ++mStats.live;
    return handle;
}

void DeviceModel::close(int handle)
{
    std::lock_guard<std::mutex> lock(mMutex);
    if (mHandles.erase(handle) == 0) {
        ++mStats.unknownCloses;
        return;
    }
    ++mStats.closes;
    --mStats.live;
    mChanged.notify_all();
}

int DeviceModel::write(int handle, const uint8_t* data, size_t len)
{
    Event event;
    std::function<void(const Event&)> sink;
    {
        std::lock_guard<std::mutex> lock(mMutex);
        auto it = mHandles.find(handle);
        if (it == mHandles.end() || !it->second.alive) {
            return -1;
        }
        std::vector<uint8_t> reply;
        event = receiveLocked(data, len, &reply);
        event.received = Clock::now();
        if (mReplySize > 0 && reply.size() > size_t(mReplySize)) {
            reply.resize(size_t(mReplySize));
        }
        if (!mSilent) {
            it->second.replies.push_back(Reply {Clock::now() + std::chrono::milliseconds(mDelayMs), std::move(reply)});
            mChanged.notify_all();
        }
        if (mEvents.size() >= kMaxKeptEvents) {
            mEvents.pop_front();
        }
        mEvents.push_back(event);
        sink = mSink;
    }
    if (sink) {
        sink(event);
    }
    return static_cast<int>(len);
}

int DeviceModel::read(int handle, uint8_t* buf, size_t len, int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mMutex);
    const auto deadline =
        timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto it = mHandles.find(handle);
        if (it == mHandles.end() || !it->second.alive) {
            return -1;
        }
        const auto now = Clock::now();
        std::deque<Reply>& replies = it->second.replies;
        if (!replies.empty() && replies.front().due <= now) {
            return takeReplyLocked(it->second, buf, len);
        }
        if (now >= deadline) {
            return 0;
        }
        const auto wake = replies.empty() ? deadline : std::min(deadline, replies.front().due);
        if (wake == Clock::time_point::max()) {
            mChanged.wait(lock);
        } else {
            mChanged.wait_until(lock, wake);
        }
    }
}

DeviceModel::ReplyState DeviceModel::replyState(int handle, Clock::time_point* due) const
{
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mHandles.find(handle);
    if (it == mHandles.end() || !it->second.alive) {
        return ReplyState::Gone;
    }
    if (it->second.replies.empty()) {
        return ReplyState::None;
    }
    const Clock::time_point replyDue = it->second.replies.front().due;
    if (replyDue <= Clock::now()) {
        return ReplyState::Ready;
    }
    if (due) {
        *due = replyDue;
    }
    return ReplyState::Later;
}

int DeviceModel::takeReply(int handle, uint8_t* buf, size_t len)
{
    std::lock_guard<std::mutex> lock(mMutex);
    auto it = mHandles.find(handle);
    if (it == mHandles.end() || !it->second.alive) {
        return -1;
    }
    const std::deque<Reply>& replies = it->second.replies;
    if (replies.empty() || replies.front().due > Clock::now()) {
        return 0;
    }
    return takeReplyLocked(it->second, buf, len);
}

int DeviceModel::takeReplyLocked(Handle& handle, uint8_t* buf, size_t len)
{
    const std::vector<uint8_t> bytes = std::move(handle.replies.front().bytes);
    handle.replies.pop_front();
    const size_t count = std::min(len, bytes.size());
    std::memcpy(buf, bytes.data(), count);
    return static_cast<int>(count);
}

HandleStats DeviceModel::handleStats() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return mStats;
}

std::vector<Event> DeviceModel::events() const
{
    std::lock_guard<std::mutex> lock(mMutex);
    return std::vector<Event>(mEvents.begin(), mEvents.end());
}

void DeviceModel::clearEvents()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mEvents.clear();
}

void DeviceModel::setEventSink(std::function<void(const Event&)> sink)
{
    std::lock_guard<std::mutex> lock(mMutex);
    mSink = std::move(sink);
}

Event DeviceModel::receiveLocked(const uint8_t* data, size_t len, std::vector<uint8_t>* reply)
{
    Event event;
    event.frame.assign(data, data + len);
    *reply = plainReplyLocked(len >= 3 ? data[2] : 0, 0);

    if (len < 3) {
        event.reason = "short frame";
        return event;
    }
    if (data[0] != kReportNumber) {
        event.reason = "report number";
        return event;
    }
    const uint8_t length = data[1];
    const uint8_t command = data[2];

    if (command == kCmdSeed && length == kLenCommandOnly) {
        mSeed = mFixedSeed >= 0 ? mFixedSeed : int(std::uniform_int_distribution<int>(0, 255)(mRandom));
        event.kind = EventKind::Seed;
        event.seed = mSeed;
        *reply = seedReplyLocked(uint8_t(mSeed));
        return event;
    }
    if (command == kCmdVersion && length == kLenCommandOnly) {
        event.kind = EventKind::Version;
        *reply = versionReplyLocked();
        return event;
    }
    if (command != kCmdValue || length != kLenValue) {
        event.reason = "unknown command";
        return event;
    }
    if (len != kFrameSize) {
        event.reason = "value frame of " + std::to_string(len) + " bytes";
        return event;
    }
    if (mSeed < 0) {
        event.reason = "value frame before any seed was handed out";
        return event;
    }

    uint8_t plain[kFrameSize];
    descramble(uint8_t(mSeed), data, plain, kFrameSize);
    event.seed = mSeed;
    event.index = plain[3];
    event.temp = plain[4];
    event.fan = plain[5] << 8 | plain[6];
    event.load = plain[7];
    *reply = plainReplyLocked(kCmdValue, plain[3]);

    // Bytes 8.. were zero before scrambling: anything else means host and device disagree on seed or rule.
    const bool paddingClean = std::all_of(plain + 8, plain + kFrameSize, [](uint8_t b) { return b == 0; });
    if (!paddingClean) {
        event.reason = "descrambled padding is not zero (index " + std::to_string(event.index) + ")";
        return event;
    }
    event.kind = EventKind::Value;
    if (mLastIndex >= 0 && event.index != (mLastIndex + 1) % 256) {
        event.expectedIndex = (mLastIndex + 1) % 256;
    }
    mLastIndex = event.index;
    return event;
}

std::vector<uint8_t> DeviceModel::seedReplyLocked(uint8_t seed) const
{
    if (!mSeedMarker) {
        return plainReplyLocked(kNotTheMarker, 0);
    }
    return plainReplyLocked(kCmdSeed, seed);
}

std::vector<uint8_t> DeviceModel::versionReplyLocked() const
{
    // Counted as the host receives it: report number (if any), then header bytes, then the 11-byte text.
    std::vector<uint8_t> reply = plainReplyLocked(kCmdVersion, 0);
    size_t pos = mReportId ? 1 : 0;
    reply[pos++] = kCmdVersion;
    if (!mReportId) {
        reply[pos++] = kVersionTextSize;
    }
    std::string text = mVersionText;
    text.resize(kVersionTextSize, ' ');
    for (char c : text) {
        reply[pos++] = c == '\0' ? uint8_t('?') : uint8_t(c);
    }
    if (mVersionNonZero == 12) {
        reply[pos - 1] = 0;
    } else if (mVersionNonZero == 14) {
        reply[pos] = '+';
    }
    return reply;
}

std::vector<uint8_t> DeviceModel::plainReplyLocked(uint8_t command, uint8_t detail) const
{
    std::vector<uint8_t> reply;
    if (mReportId) {
        reply.push_back(kReportNumber);
    }
    reply.push_back(command);
    reply.push_back(detail);
    reply.resize((mReportId ? 1 : 0) + kFrameSize, 0);
    return reply;
}

} // namespace devsim
