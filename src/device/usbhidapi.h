// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ORVANE_USBHIDAPI_H
#define ORVANE_USBHIDAPI_H

#include <QByteArray>
#include <QObject>
#include <QString>

struct hid_device_;
typedef struct hid_device_ hid_device;

// The only code that talks to the HID display device: open, write one report, read one report, close.
class USBHidApi : public QObject
{
    Q_OBJECT

public:
    explicit USBHidApi(QObject* parent = nullptr);

    int openHid(int vid, int pid);
    // The device at `path` as hid_enumerate names it; the same codes as openHid.
    int openHidPath(const QByteArray& path, int vid, int pid);
    int closeHid();
    int setData(uchar* data, uint len);
    int setData(QByteArray dataArr);
    int getData(uchar* data, uint* len);
    int getData(QByteArray& retArr);

    // hidapi's own words for the last failure, for the log.
    QString lastError() const { return mLastError; }

private:
    int onOpened(hid_device* handle, int vid, int pid);
    void onNoteError(hid_device* handle);

    int m_pid;
    int m_vid;
    hid_device* mhidHandle;
    QString mLastError;
};

#endif // ORVANE_USBHIDAPI_H
