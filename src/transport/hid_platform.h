#pragma once

// The few things the link needs from the operating system around hidapi: a per-thread
// "last error" in the codes the unplug test knows, error texts as QString, and output reports
// padded to the full report length.

#include <QString>

#include <cstddef>
#include <cstdint>

struct hid_device_;

namespace tessaravolt::transport {

// Last-error codes that mark an unplugged device.
inline constexpr uint32_t kErrorGenFailure = 31;
inline constexpr uint32_t kErrorNoSuchDevice = 433;
inline constexpr uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr uint32_t kErrorDeviceRemoved = 1617;

// Report id byte plus the 64-byte output report.
inline constexpr size_t kPaddedOutputReportLength = 65;

// errno to last-error code. Only the unplug errnos have a counterpart; every other value maps
// to 0, because a raw errno could collide with a listed code (31 is EMLINK).
uint32_t lastErrorFromErrno(int error);

// The calling thread's last-error code, as left by the latest failing call below.
uint32_t lastHidError();
void setLastHidError(uint32_t code);
// The errno of the calling thread's latest failed open, kept as it was (EACCES: no permission).
int lastHidOpenErrno();

// hidapi texts are wchar_t; a null text is empty.
QString hidText(const wchar_t* text);

// hidapi wrappers. A failing call stores the mapped errno as the thread's last error at once,
// before anything else can overwrite errno.
hid_device_* hidOpenPath(const char* path);
int hidSetNonblocking(hid_device_* device, int nonblock);
int hidRead(hid_device_* device, uint8_t* buffer, size_t length);
int hidReadTimeout(hid_device_* device, uint8_t* buffer, size_t length, int milliseconds);
// Writes one output report (report id first), padded with zeros to 65 bytes when shorter.
int hidWriteReport(hid_device_* device, const uint8_t* data, size_t length);
// The text of the last failed read (hid_read_error where hidapi has it, else hid_error).
QString hidReadErrorText(hid_device_* device);
// hid_error; a null device gives the library's global text.
QString hidErrorText(hid_device_* device);

} // namespace tessaravolt::transport
