// SPDX-License-Identifier: GPL-3.0-or-later
#include "usbhidapi.h"

#include <cstring>
#include <hidapi/hidapi.h>
#include <vector>

namespace {
constexpr int kNoDeviceOpen = -2002;
constexpr int kOpenFailed = -2004;
constexpr int kWriteFailed = -2005;
constexpr int kReadFailed = -2006;

constexpr int kReportSize = 64;
// One more than a report, for the report number the library may put first.
constexpr int kReadBufferSize = kReportSize + 1;
constexpr int kReadTimeoutMs = 2000;
} // namespace

USBHidApi::USBHidApi(QObject* parent) : QObject(parent), m_pid(0), m_vid(0), mhidHandle(nullptr) { }

int USBHidApi::openHid(int vid, int pid)
{
    // An earlier handle is the caller's to close; the session does so before it opens again.
    return onOpened(hid_open(static_cast<unsigned short>(vid), static_cast<unsigned short>(pid), nullptr), vid, pid);
}

int USBHidApi::openHidPath(const QByteArray& path, int vid, int pid)
{
    return onOpened(hid_open_path(path.constData()), vid, pid);
}

int USBHidApi::onOpened(hid_device* handle, int vid, int pid)
{
    mhidHandle = handle;
    if (!mhidHandle) {
        onNoteError(nullptr);
        return kOpenFailed;
    }
    m_vid = vid;
    m_pid = pid;
    return 0;
}

int USBHidApi::closeHid()
{
    if (mhidHandle) {
        hid_set_nonblocking(mhidHandle, 1);
        hid_close(mhidHandle);
        mhidHandle = nullptr;
    }
    return 0;
}

int USBHidApi::setData(uchar* data, uint len)
{
    if (!mhidHandle) {
        return kNoDeviceOpen;
    }
    hid_set_nonblocking(mhidHandle, 0);
    const int written = hid_write(mhidHandle, data, len);
    if (written <= 0) {
        onNoteError(mhidHandle);
        return kWriteFailed;
    }
    return 0;
}

int USBHidApi::setData(QByteArray dataArr)
{
    std::vector<uchar> buffer(dataArr.cbegin(), dataArr.cend());
    return setData(buffer.data(), static_cast<uint>(buffer.size()));
}

int USBHidApi::getData(uchar* data, uint* len)
{
    if (!mhidHandle) {
        return kNoDeviceOpen;
    }
    uchar buffer[kReadBufferSize] = {};
    hid_set_nonblocking(mhidHandle, 0);
    const int count = hid_read_timeout(mhidHandle, buffer, kReadBufferSize, kReadTimeoutMs);
    if (count == 0) {
        mLastError = QStringLiteral("no reply within %1 ms").arg(kReadTimeoutMs);
        return kReadFailed;
    }
    if (count < 0) {
        onNoteError(mhidHandle);
        return kReadFailed;
    }
    *len = static_cast<uint>(count);
    std::memcpy(data, buffer, kReportSize);
    return 0;
}

int USBHidApi::getData(QByteArray& retArr)
{
    uchar buffer[kReportSize] = {};
    uint len = 0;
    const int result = getData(buffer, &len);
    if (result != 0) {
        return result;
    }
    retArr.clear();
    retArr.append(reinterpret_cast<const char*>(buffer), static_cast<int>(qMin<uint>(len, kReportSize)));
    return 0;
}

void USBHidApi::onNoteError(hid_device* handle)
{
    // hidapi answers null when it has nothing to say; null for the handle asks about the last open.
    const wchar_t* text = hid_error(handle);
    mLastError = text ? QString::fromWCharArray(text) : QStringLiteral("no reason given");
}
