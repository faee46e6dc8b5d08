// SPDX-License-Identifier: GPL-3.0-or-later
// The hidapi functions Orvane's transport uses, served from the device model: in-process when a test installed
// one, otherwise from the orvane-devsim process over a Unix socket. Preloadable into the real program; it exports
// hid_enumerate and hid_open_path too, so that a preload never mixes in the real library.
#include "hidapi_sim.h"

#include "devicemodel.h"
#include "displaydevice.h"
#include "simwire.h"
#include "socketpath.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kSocketTimeoutMs = 2000;

std::mutex gMutex;
devsim::DeviceModel* gModel = nullptr;
devsim::SimCalls gCalls;
std::vector<std::string> gLog;

void record(const std::string& entry, int devsim::SimCalls::*counter)
{
    std::lock_guard<std::mutex> lock(gMutex);
    if (counter) {
        ++(gCalls.*counter);
    }
    gLog.push_back(entry);
}

devsim::DeviceModel* installedModel()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gModel;
}

// Waits for fd to be ready for `events` until the deadline; false on time-out or error.
bool waitFd(int fd, short events, std::chrono::steady_clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd pfd {fd, events, 0};
        const int rc = ::poll(&pfd, 1, int(left));
        if (rc > 0) {
            return true;
        }
        if (rc < 0 && errno != EINTR) {
            return false;
        }
    }
}

bool sendAll(int fd, const uint8_t* data, size_t len, std::chrono::steady_clock::time_point deadline)
{
    while (len > 0) {
        if (!waitFd(fd, POLLOUT, deadline)) {
            return false;
        }
        const ssize_t n = ::send(fd, data, len, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        len -= size_t(n);
    }
    return true;
}

bool recvAll(int fd, uint8_t* data, size_t len, std::chrono::steady_clock::time_point deadline)
{
    while (len > 0) {
        if (!waitFd(fd, POLLIN, deadline)) {
            return false;
        }
        const ssize_t n = ::recv(fd, data, len, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        len -= size_t(n);
    }
    return true;
}

// One request and its answer; false when the simulator is gone or does not answer in time.
bool exchange(int fd,
              devsim::wire::Op op,
              const std::vector<uint8_t>& payload,
              int answerWithinMs,
              int32_t* result,
              std::vector<uint8_t>* answer)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(answerWithinMs);
    std::vector<uint8_t> request(devsim::wire::kRequestHeaderSize + payload.size());
    request[0] = op;
    const uint32_t size = uint32_t(payload.size());
    std::memcpy(&request[1], &size, 4);
    if (!payload.empty()) {
        std::memcpy(&request[devsim::wire::kRequestHeaderSize], payload.data(), payload.size());
    }
    if (!sendAll(fd, request.data(), request.size(), deadline)) {
        return false;
    }
    uint8_t header[devsim::wire::kAnswerHeaderSize];
    if (!recvAll(fd, header, sizeof header, deadline)) {
        return false;
    }
    uint32_t answerSize = 0;
    std::memcpy(result, header, 4);
    std::memcpy(&answerSize, header + 4, 4);
    if (answerSize > devsim::wire::kMaxPayload) {
        return false;
    }
    std::vector<uint8_t> body(answerSize);
    if (answerSize > 0 && !recvAll(fd, body.data(), answerSize, deadline)) {
        return false;
    }
    if (answer) {
        *answer = std::move(body);
    }
    return true;
}

int connectSimulator()
{
    const std::string path = devsim::defaultSocketPath();
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        return -1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

} // namespace

struct hid_device_
{
    devsim::DeviceModel* model = nullptr; // in-process
    int handle = -1;
    int fd = -1;         // socket mode
    bool broken = false; // the simulator went away or stopped answering
    const wchar_t* lastError = L"Success";
};

namespace {

// The file hid_enumerate names as the display's path. In socket mode orvane-devsim lays it beside its socket; in
// process, one of this process's own in the temp folder stands for the node.
std::string simNodePath()
{
    if (installedModel()) {
        static const std::string own = [] {
            const char* tmp = std::getenv("TMPDIR");
            const std::string path =
                std::string(tmp && *tmp ? tmp : "/tmp") + "/hidapi_sim-" + std::to_string(::getpid()) + ".node";
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
            if (fd >= 0) {
                ::close(fd);
            }
            return path;
        }();
        return own;
    }
    return devsim::nodePathBeside(devsim::defaultSocketPath());
}

bool displayPresent()
{
    if (devsim::DeviceModel* model = installedModel()) {
        return model->isPresent();
    }
    const int fd = connectSimulator();
    if (fd < 0) {
        // As sysfs lists a hidraw node that this user may not open: the display is there, its node closed to us.
        return errno == EACCES && ::access(simNodePath().c_str(), F_OK) == 0;
    }
    int32_t result = 0;
    const bool answered = exchange(fd, devsim::wire::OpPresent, {}, kSocketTimeoutMs, &result, nullptr);
    ::close(fd);
    return answered && result == 1;
}

hid_device* openDisplay(unsigned short vendor_id, unsigned short product_id)
{
    record("open", &devsim::SimCalls::open);
    auto failed = [] {
        record("open-failed", &devsim::SimCalls::openFailed);
        return nullptr;
    };
    if (vendor_id != DisplayDevice::kVendorId || product_id != DisplayDevice::kProductId) {
        return failed();
    }

    if (devsim::DeviceModel* model = installedModel()) {
        const int handle = model->open();
        if (handle < 0) {
            return failed();
        }
        auto* dev = new hid_device_;
        dev->model = model;
        dev->handle = handle;
        std::lock_guard<std::mutex> lock(gMutex);
        ++gCalls.live;
        return dev;
    }

    const int fd = connectSimulator();
    if (fd < 0) {
        return failed();
    }
    std::vector<uint8_t> ids(4);
    std::memcpy(&ids[0], &vendor_id, 2);
    std::memcpy(&ids[2], &product_id, 2);
    int32_t result = -1;
    if (!exchange(fd, devsim::wire::OpOpen, ids, kSocketTimeoutMs, &result, nullptr) || result != 0) {
        ::close(fd);
        return failed();
    }
    auto* dev = new hid_device_;
    dev->fd = fd;
    std::lock_guard<std::mutex> lock(gMutex);
    ++gCalls.live;
    return dev;
}

} // namespace

namespace devsim {

void installModel(DeviceModel* model)
{
    std::lock_guard<std::mutex> lock(gMutex);
    gModel = model;
}

SimCalls simCalls()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gCalls;
}

void resetSimCalls()
{
    std::lock_guard<std::mutex> lock(gMutex);
    const int live = gCalls.live;
    gCalls = SimCalls();
    gCalls.live = live;
}

std::vector<std::string> simCallLog()
{
    std::lock_guard<std::mutex> lock(gMutex);
    return gLog;
}

void clearSimCallLog()
{
    std::lock_guard<std::mutex> lock(gMutex);
    gLog.clear();
}

std::string simSocketPath()
{
    return defaultSocketPath();
}

} // namespace devsim

extern "C" {

int HID_API_EXPORT hid_init(void)
{
    return 0;
}

int HID_API_EXPORT hid_exit(void)
{
    return 0;
}

hid_device* HID_API_EXPORT hid_open(unsigned short vendor_id, unsigned short product_id, const wchar_t* serial_number)
{
    (void)serial_number;
    return openDisplay(vendor_id, product_id);
}

hid_device* HID_API_EXPORT hid_open_path(const char* path)
{
    // The one simulated display is the only path hid_enumerate names.
    if (!path || simNodePath() != path) {
        record("open", &devsim::SimCalls::open);
        record("open-failed", &devsim::SimCalls::openFailed);
        return nullptr;
    }
    return openDisplay(DisplayDevice::kVendorId, DisplayDevice::kProductId);
}

hid_device_info* HID_API_EXPORT hid_enumerate(unsigned short vendor_id, unsigned short product_id)
{
    const bool matches = (vendor_id == 0 || vendor_id == DisplayDevice::kVendorId) &&
                         (product_id == 0 || product_id == DisplayDevice::kProductId);
    if (!matches || !displayPresent()) {
        return nullptr;
    }
    const std::string path = simNodePath();
    auto* info = new hid_device_info {};
    info->path = new char[path.size() + 1];
    std::memcpy(info->path, path.c_str(), path.size() + 1);
    info->vendor_id = DisplayDevice::kVendorId;
    info->product_id = DisplayDevice::kProductId;
    info->interface_number = 0;
    return info;
}

void HID_API_EXPORT hid_free_enumeration(hid_device_info* devs)
{
    while (devs) {
        hid_device_info* next = devs->next;
        delete[] devs->path;
        delete devs;
        devs = next;
    }
}

int HID_API_EXPORT hid_write(hid_device* dev, const unsigned char* data, size_t length)
{
    record("write " + std::to_string(length), &devsim::SimCalls::write);
    if (!dev) {
        return -1;
    }
    if (dev->model) {
        const int n = dev->model->write(dev->handle, data, length);
        dev->lastError = n < 0 ? L"The device is gone" : L"Success";
        return n;
    }
    if (dev->broken || length > devsim::wire::kMaxPayload) {
        dev->lastError = L"The simulator is gone";
        return -1;
    }
    int32_t result = -1;
    if (!exchange(dev->fd,
                  devsim::wire::OpWrite,
                  std::vector<uint8_t>(data, data + length),
                  kSocketTimeoutMs,
                  &result,
                  nullptr)) {
        dev->broken = true;
        dev->lastError = L"The simulator is gone";
        return -1;
    }
    dev->lastError = result < 0 ? L"The device is gone" : L"Success";
    return result;
}

int HID_API_EXPORT hid_read_timeout(hid_device* dev, unsigned char* data, size_t length, int milliseconds)
{
    record("read " + std::to_string(length) + " " + std::to_string(milliseconds), &devsim::SimCalls::read);
    if (!dev) {
        return -1;
    }
    if (dev->model) {
        const int n = dev->model->read(dev->handle, data, length, milliseconds);
        dev->lastError = n < 0 ? L"The device is gone" : L"Success";
        return n;
    }
    if (dev->broken) {
        return -1;
    }
    std::vector<uint8_t> request(8);
    const uint32_t size = uint32_t(length);
    const int32_t timeout = milliseconds;
    std::memcpy(&request[0], &size, 4);
    std::memcpy(&request[4], &timeout, 4);
    // The simulator answers by the time-out itself; the margin only guards against one that hangs.
    const int answerWithin = milliseconds < 0 ? 24 * 3600 * 1000 : milliseconds + kSocketTimeoutMs;
    int32_t result = -1;
    std::vector<uint8_t> answer;
    if (!exchange(dev->fd, devsim::wire::OpRead, request, answerWithin, &result, &answer)) {
        dev->broken = true;
        dev->lastError = L"The simulator is gone";
        return -1;
    }
    if (result > 0) {
        const size_t count = std::min(length, answer.size());
        std::memcpy(data, answer.data(), count);
        result = int32_t(count);
    }
    dev->lastError = result < 0 ? L"The device is gone" : L"Success";
    return result;
}

int HID_API_EXPORT hid_set_nonblocking(hid_device* dev, int nonblock)
{
    record("nonblocking " + std::to_string(nonblock), &devsim::SimCalls::setNonblocking);
    return dev ? 0 : -1;
}

void HID_API_EXPORT hid_close(hid_device* dev)
{
    record("close", &devsim::SimCalls::close);
    if (!dev) {
        return;
    }
    if (dev->model) {
        dev->model->close(dev->handle);
    } else {
        int32_t result = 0;
        if (!dev->broken) {
            exchange(dev->fd, devsim::wire::OpClose, {}, kSocketTimeoutMs, &result, nullptr);
        }
        ::close(dev->fd);
    }
    delete dev;
    std::lock_guard<std::mutex> lock(gMutex);
    --gCalls.live;
}

const wchar_t* HID_API_EXPORT hid_error(hid_device* dev)
{
    return dev ? dev->lastError : L"No device";
}

} // extern "C"
