#include "transport/hid_platform.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tessaravolt::transport {

namespace {

thread_local uint32_t tLastHidError = 0;
thread_local int tLastOpenErrno = 0;

void captureErrno(int savedErrno)
{
    tLastHidError = lastErrorFromErrno(savedErrno);
}

} // namespace

uint32_t lastErrorFromErrno(int error)
{
    switch (error) {
    case ENODEV:
        return kErrorDeviceNotConnected;
    case ENXIO:
        return kErrorNoSuchDevice;
    default:
        return 0;
    }
}

uint32_t lastHidError()
{
    return tLastHidError;
}

void setLastHidError(uint32_t code)
{
    tLastHidError = code;
}

int lastHidOpenErrno()
{
    return tLastOpenErrno;
}

QString hidText(const wchar_t* text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

hid_device_* hidOpenPath(const char* path)
{
    errno = 0;
    hid_device* device = hid_open_path(path);
    const int saved = errno;
    if (!device) {
        captureErrno(saved);
        tLastOpenErrno = saved;
    }
    return device;
}

int hidSetNonblocking(hid_device_* device, int nonblock)
{
    errno = 0;
    const int result = hid_set_nonblocking(device, nonblock);
    const int saved = errno;
    if (result < 0)
        captureErrno(saved);
    return result;
}

int hidRead(hid_device_* device, uint8_t* buffer, size_t length)
{
    // A poll error leaves errno alone: without the reset a stale value would be captured.
    errno = 0;
    const int result = hid_read(device, buffer, length);
    const int saved = errno;
    if (result < 0)
        captureErrno(saved);
    return result;
}

int hidReadTimeout(hid_device_* device, uint8_t* buffer, size_t length, int milliseconds)
{
    errno = 0;
    const int result = hid_read_timeout(device, buffer, length, milliseconds);
    const int saved = errno;
    if (result < 0)
        captureErrno(saved);
    return result;
}

int hidWriteReport(hid_device_* device, const uint8_t* data, size_t length)
{
    // hidraw writes exactly what it is given; the device expects whole reports.
    uint8_t padded[kPaddedOutputReportLength] = {};
    const uint8_t* bytes = data;
    size_t size = length;
    if (length < kPaddedOutputReportLength) {
        std::memcpy(padded, data, length);
        bytes = padded;
        size = kPaddedOutputReportLength;
    }
    errno = 0;
    const int result = hid_write(device, bytes, size);
    const int saved = errno;
    if (result < 0)
        captureErrno(saved);
    return result;
}

QString hidReadErrorText(hid_device_* device)
{
    if (!device)
        return {};
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 15, 0)
    return hidText(hid_read_error(device));
#else
    return hidText(hid_error(device));
#endif
}

QString hidErrorText(hid_device_* device)
{
    return hidText(hid_error(device));
}

} // namespace tessaravolt::transport
