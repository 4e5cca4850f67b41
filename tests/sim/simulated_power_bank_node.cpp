// The emulated hidraw node: the testbed's device tree, the ioctl, read and write handlers, and
// the serving thread that hands the program its input reports (one at a time, or queued).
#include "simulated_power_bank_impl.h"

#include <QByteArray>

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessaravolt::sim {

namespace {

// Vendor-defined page 0xFF00, usage 1: one 64-byte input and one 64-byte output report, no id.
const uint8_t kReportDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                     0x95, 0x40, 0x09, 0x01, 0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

// The preload reroutes ioctl() for the program; the simulator's own pty calls bypass it.
int rawIoctl(int fd, unsigned long request, void* arg)
{
    return static_cast<int>(syscall(SYS_ioctl, fd, request, arg));
}

// A report the line cannot take whole would reach the program cut, or not at all, with no sign of
// it in the test: stop the process instead.
[[noreturn]] void lineFailed(const char* what, int error)
{
    std::fprintf(stderr, "simulated power bank: %s (%s): a report would be lost\n", what, std::strerror(error));
    std::abort();
}

} // namespace

gboolean SimulatedPowerBank::Impl::onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* p = static_cast<Plug*>(data);
    Impl* self = p->impl;
    bool current;
    Identity id;
    {
        std::lock_guard lock(self->mutex);
        current = isCurrent(p);
        id = self->identity;
    }
    if (!current) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return TRUE;
    }
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    GError* error = nullptr;
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
        if (!out) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        const int size = int(sizeof kReportDescriptor);
        std::memcpy(out->data, &size, sizeof size);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), &error);
        if (!out) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        hidraw_report_descriptor desc{};
        desc.size = sizeof kReportDescriptor;
        std::memcpy(desc.value, kReportDescriptor, sizeof kReportDescriptor);
        std::memcpy(out->data, &desc, sizeof desc);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRAWINFO) {
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), &error);
        if (!out) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        hidraw_devinfo info{};
        info.bustype = 3;
        info.vendor = int16_t(id.vendorId);
        info.product = int16_t(id.productId);
        std::memcpy(out->data, &info, sizeof info);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
    return TRUE;
}

gboolean SimulatedPowerBank::Impl::onRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* p = static_cast<Plug*>(data);
    bool current;
    {
        std::lock_guard lock(p->impl->mutex);
        current = isCurrent(p);
    }
    if (current) {
        std::lock_guard lock(p->impl->mutex);
        Impl* self = p->impl;
        if (self->readFaults > 0) {
            --self->readFaults;
            ++self->readsFailed;
            umockdev_ioctl_client_complete(client, -1, self->readFaultErrno);
            return TRUE;
        }
        ++self->readCalls;
        if (self->line.empty()) {
            if (self->inFlight && !self->answers.isEmpty() && self->answers.last().readMsSinceStart < 0)
                self->answers.last().readMsSinceStart = self->sinceStart(Clock::now());
            return FALSE; // the pty delivers it
        }
        // Queued delivery: take the report's byte off the line (the program's poll saw it there)
        // and hand over the report whole, as hidraw's read() does.
        Impl::OnLine next = std::move(self->line.front());
        self->line.pop_front();
        // A token left behind would reach the program as a one-byte report of its own.
        char token = 0;
        pollfd pfd{self->slaveFd, POLLIN, 0};
        if (self->slaveFd >= 0) {
            if (poll(&pfd, 1, 1000) <= 0)
                lineFailed("a queued report's token is not on the line", ETIMEDOUT);
            if (syscall(SYS_read, self->slaveFd, &token, 1) != 1)
                lineFailed("taking a queued report's token off the line failed", errno);
        }
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        const int length = std::min(int(arg->data_len), int(next.report.size()));
        std::memcpy(arg->data, next.report.constData(), size_t(length));
        const qint64 index = next.answerNumber - self->answersCleared;
        if (index >= 0 && index < self->answers.size())
            self->answers[index].readMsSinceStart = self->sinceStart(Clock::now());
        umockdev_ioctl_client_complete(client, length, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, EIO);
    return TRUE;
}

gboolean SimulatedPowerBank::Impl::onWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* p = static_cast<Plug*>(data);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const QByteArray written(reinterpret_cast<const char*>(arg->data), arg->data_len);
    Impl* self = p->impl;
    {
        std::lock_guard lock(self->mutex);
        if (!isCurrent(p)) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        if (self->writeFaults > 0) {
            --self->writeFaults;
            ++self->writesFailed;
            if (self->writeFaultErrno == 0)
                umockdev_ioctl_client_complete(client, 0, 0);
            else
                umockdev_ioctl_client_complete(client, -1, self->writeFaultErrno);
            return TRUE;
        }
        self->handleWrite(written, p->number);
    }
    self->wake.notify_all();
    umockdev_ioctl_client_complete(client, arg->data_len, 0);
    return TRUE;
}

// client-vanished does not come for a handle closed under the preload; its "connected"
// property does drop, so the serving thread looks at it.
void SimulatedPowerBank::Impl::onConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data)
{
    auto* p = static_cast<Plug*>(data);
    std::lock_guard lock(p->impl->mutex);
    if (isCurrent(p))
        p->impl->clients.push_back(static_cast<UMockdevIoctlClient*>(g_object_ref(client)));
}

// Called with `mutex` held.
void SimulatedPowerBank::Impl::reapClients()
{
    const size_t before = clients.size();
    clients.erase(std::remove_if(clients.begin(), clients.end(),
                                 [](UMockdevIoctlClient* c) {
                                     if (umockdev_ioctl_client_get_connected(c))
                                         return false;
                                     g_object_unref(c);
                                     return true;
                                 }),
                  clients.end());
    if (before > 0 && clients.empty()) {
        // hidraw keeps a buffer per open handle: nothing waits for the next opener.
        outgoing.erase(
            std::remove_if(outgoing.begin(), outgoing.end(), [](const Outgoing& o) { return !o.report.isEmpty(); }),
            outgoing.end());
        if (slaveFd >= 0)
            rawIoctl(slaveFd, TCFLSH, reinterpret_cast<void*>(TCIFLUSH));
        inFlight = false;
        line.clear();
    }
}

void SimulatedPowerBank::Impl::releaseClients()
{
    for (UMockdevIoctlClient* c : clients)
        g_object_unref(c);
    clients.clear();
}

int SimulatedPowerBank::Impl::pendingForHost() const
{
    int n = 0;
    if (slaveFd < 0 || rawIoctl(slaveFd, FIONREAD, &n) != 0)
        return 0;
    return n;
}

SimulatedPowerBank::Impl::LineWrite SimulatedPowerBank::Impl::putOnLine(const char* bytes, size_t size)
{
    ssize_t n = write(masterFd, bytes, size);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return LineWrite::Full;
    if (n < 0)
        lineFailed("writing to the line failed", errno);
    // Part of a report taken: the rest goes now, while the lock keeps the read handler, and with it
    // the program's read, from taking the part alone.
    size_t done = size_t(n);
    while (done < size) {
        pollfd pfd{masterFd, POLLOUT, 0};
        const int ready = poll(&pfd, 1, 1000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            lineFailed("the line took part of a report and no more", ready < 0 ? errno : ETIMEDOUT);
        n = write(masterFd, bytes + done, size - done);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            continue;
        if (n < 0)
            lineFailed("writing the rest of a report to the line failed", errno);
        done += size_t(n);
    }
    return LineWrite::Written;
}

void SimulatedPowerBank::Impl::waitUntilPassedOn(int bytes)
{
    // Raw mode passes at most this much to the reading side; the rest waits in the line.
    constexpr int kReadSideHolds = 4095;
    if (slaveFd < 0)
        return;
    bytes = std::min(bytes, kReadSideHolds);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (pendingForHost() < bytes) {
        if (Clock::now() > deadline)
            lineFailed("the line did not pass a report on", ETIMEDOUT);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
}

bool SimulatedPowerBank::Impl::writeToLine(const Outgoing& item)
{
    if (queuedDelivery) {
        const char token = 1;
        if (putOnLine(&token, 1) == LineWrite::Full)
            return false;
        line.push_back(OnLine{item.report, answersCleared + answers.size()});
        recordAnswer(item);
        return true;
    }
    // One report in flight: a pty would run two together.
    if (putOnLine(item.report.constData(), size_t(item.report.size())) == LineWrite::Full)
        return false;
    readCallsAtWrite = readCalls;
    inFlight = true;
    waitUntilPassedOn(int(item.report.size()));
    recordAnswer(item);
    return true;
}

void SimulatedPowerBank::Impl::recordAnswer(const Outgoing& item)
{
    Answer a;
    a.at = Clock::now();
    a.msSinceStart = sinceStart(a.at);
    a.report = item.report;
    a.command = item.command;
    a.subCommand = item.subCommand;
    a.injected = item.injected;
    answers.append(a);
}

void SimulatedPowerBank::Impl::serve()
{
    while (running.load()) {
        std::unique_lock lock(mutex);
        if (unplugRequested) {
            unplugRequested = false;
            lock.unlock();
            doUnplug();
            continue;
        }
        if (masterFd >= 0 && plugged) {
            // Nothing arrives here (writes are taken by the handler); keep the line clear anyway.
            pollfd pfd{masterFd, POLLIN, 0};
            if (poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN)) {
                char sink[256];
                [[maybe_unused]] ssize_t ignored = read(masterFd, sink, sizeof sink);
            }
        }
        if (plugged)
            reapClients();
        if (!queuedDelivery && !line.empty()) {
            // Back to one in flight once the program has read what was queued.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if (inFlight) {
            // Written to the line is not yet read: the program polls, then reads, so a read
            // call after the write with nothing left in the line means it took the report.
            if (readCalls > readCallsAtWrite && pendingForHost() == 0) {
                inFlight = false;
            } else {
                lock.unlock();
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
        }
        if (plugged && floodPerSecond > 0 && !clients.empty()) {
            const auto now = Clock::now();
            if ((outgoing.empty() || outgoing.front().due > now) && now >= nextFloodAt) {
                nextFloodAt = now + std::chrono::microseconds(1'000'000 / floodPerSecond);
                QByteArray report =
                    floodReport.isEmpty() ? buildReport(0, 0, QByteArray(), Action::Garbage) : floodReport;
                outgoing.push_front(Outgoing{report, now, 0, 0, true});
            } else if (outgoing.empty() || outgoing.front().due > now) {
                wake.wait_until(lock, nextFloodAt);
                continue;
            }
        }
        if (!plugged || outgoing.empty()) {
            wake.wait_for(lock, std::chrono::milliseconds(20));
            continue;
        }
        const auto now = Clock::now();
        Outgoing& next = outgoing.front();
        if (next.due > now) {
            wake.wait_until(lock, std::min(next.due, now + std::chrono::milliseconds(20)));
            continue;
        }
        if (next.report.isEmpty()) {
            outgoing.pop_front();
            lock.unlock();
            doUnplug();
            continue;
        }
        // Queued, everything that is due goes out in one go, so the program finds it all waiting.
        bool full = false;
        do {
            if (!writeToLine(outgoing.front())) {
                full = true;
                break;
            }
            outgoing.pop_front();
        } while (queuedDelivery && !outgoing.empty() && !outgoing.front().report.isEmpty()
                 && outgoing.front().due <= now);
        if (queuedDelivery)
            waitUntilPassedOn(int(line.size()));
        if (full) {
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

QByteArray SimulatedPowerBank::Impl::describe(int number) const
{
    const QByteArray vid = QByteArray::number(identity.vendorId, 16).rightJustified(4, '0');
    const QByteArray pid = QByteArray::number(identity.productId, 16).rightJustified(4, '0');
    const QByteArray usb = "/devices/pci0000:00/0000:00:14.0/usb1/1-" + QByteArray::number(number + 1);
    const QByteArray intf = usb + "/1-" + QByteArray::number(number + 1) + ":1.0";
    const QByteArray hidName = "0003:" + vid.toUpper() + ":" + pid.toUpper() + "."
        + QByteArray::number(number + 1, 16).rightJustified(4, '0').toUpper();
    const QByteArray hid = intf + "/" + hidName;
    const QByteArray node = "hidraw" + QByteArray::number(number);
    const QByteArray raw = hid + "/hidraw/" + node;
    const QByteArray descriptor =
        QByteArray(reinterpret_cast<const char*>(kReportDescriptor), sizeof kReportDescriptor).toHex();
    QByteArray d;
    d += "P: " + raw + "\nN: " + node + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + node + "\nL: device=../../../"
        + hidName + "\n\n";
    d += "P: " + hid + "\nE: SUBSYSTEM=hid\nE: HID_ID=0003:0000" + vid.toUpper() + ":0000" + pid.toUpper()
        + "\nE: HID_NAME=" + identity.manufacturer.toUtf8() + " " + identity.product.toUtf8()
        + "\nE: HID_UNIQ=" + identity.serial.toUtf8() + "\nE: HID_PHYS=usb-0000:00:14.0-"
        + QByteArray::number(number + 1) + "/input0\nH: report_descriptor=" + descriptor + "\n\n";
    d += "P: " + intf + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nA: bInterfaceNumber="
        + QByteArray::number(identity.interfaceNumber, 16).rightJustified(2, '0') + "\nA: bInterfaceClass=03\n\n";
    d += "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + vid + "\nA: idProduct=" + pid
        + "\nA: bcdDevice=" + QByteArray::number(identity.release, 16).rightJustified(4, '0') + "\nA: manufacturer="
        + identity.manufacturer.toUtf8() + "\nA: product=" + identity.product.toUtf8() + "\nA: serial="
        + identity.serial.toUtf8() + "\nA: busnum=1\nA: devnum=" + QByteArray::number(number + 2) + "\n";
    return d;
}

bool SimulatedPowerBank::Impl::doPlug()
{
    std::lock_guard plugLock(plugMutex);
    int number;
    {
        std::lock_guard lock(mutex);
        if (plugged)
            return false;
        number = plugNumber + 1;
    }
    const QByteArray description = describe(number);
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed, description.constData(), &error)) {
        std::fprintf(stderr, "simulated power bank: adding the device failed: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        return false;
    }
    const QByteArray node = "/dev/hidraw" + QByteArray::number(number);
    const QByteArray usb = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + QByteArray::number(number + 1);
    const QByteArray raw = description.mid(3, description.indexOf('\n') - 3).prepend("/sys");

    auto plug = std::make_unique<Plug>();
    plug->impl = this;
    plug->number = number;
    plug->handler = umockdev_ioctl_base_new();
    g_signal_connect(plug->handler, "handle-ioctl", G_CALLBACK(onIoctl), plug.get());
    g_signal_connect(plug->handler, "handle-read", G_CALLBACK(onRead), plug.get());
    g_signal_connect(plug->handler, "handle-write", G_CALLBACK(onWrite), plug.get());
    g_signal_connect(plug->handler, "client-connected", G_CALLBACK(onConnected), plug.get());
    if (!umockdev_testbed_attach_ioctl(testbed, node.constData(), plug->handler, &error)) {
        std::fprintf(stderr, "simulated power bank: attaching the handler failed: %s\n", error ? error->message : "?");
        g_clear_error(&error);
        umockdev_testbed_remove_device(testbed, raw.constData());
        umockdev_testbed_remove_device(testbed, usb.constData());
        return false;
    }
    const int master = umockdev_testbed_get_dev_fd(testbed, node.constData());
    // A child process holding the master end would keep the line from hanging up.
    // Non-blocking, so a full line (queued delivery) cannot stall the serving thread, which
    // writes holding the lock the read handler needs.
    if (master >= 0) {
        ::fcntl(master, F_SETFD, ::fcntl(master, F_GETFD) | FD_CLOEXEC);
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    // The simulator's own end of the line: raw mode, and FIONREAD tells what the program
    // has not read yet.
    int slave = -1;
    if (master >= 0) {
        const char* name = ptsname(master);
        if (name)
            slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    if (slave >= 0) {
        termios t{};
        if (rawIoctl(slave, TCGETS, &t) == 0) {
            cfmakeraw(&t);
            rawIoctl(slave, TCSETS, &t);
        }
        struct stat st
        {
        };
        if (fstat(slave, &st) == 0) {
            const QByteArray majMin =
                QByteArray::number(major(st.st_rdev)) + ":" + QByteArray::number(minor(st.st_rdev));
            umockdev_testbed_set_attribute(testbed, raw.constData(), "dev", majMin.constData());
            umockdev_testbed_set_property(testbed, raw.constData(), "MAJOR",
                                          QByteArray::number(major(st.st_rdev)).constData());
            umockdev_testbed_set_property(testbed, raw.constData(), "MINOR",
                                          QByteArray::number(minor(st.st_rdev)).constData());
            const QByteArray charDir = rootDir.toUtf8() + "/sys/dev/char";
            g_mkdir_with_parents(charDir.constData(), 0755);
            const QByteArray link = charDir + "/" + majMin;
            ::unlink(link.constData());
            [[maybe_unused]] int ignored = ::symlink((rootDir.toUtf8() + raw).constData(), link.constData());
        }
    }
    {
        std::lock_guard lock(mutex);
        plugNumber = number;
        masterFd = master;
        slaveFd = slave;
        releaseClients();
        inFlight = false;
        line.clear();
        readCalls = readCallsAtWrite = 0;
        nodePath = QString::fromLatin1(node);
        usbSysPath = usb;
        hidrawSysPath = raw;
        outgoing.clear();
        plugs.push_back(std::move(plug));
        plugged = true;
    }
    umockdev_testbed_uevent(testbed, raw.constData(), "add");
    wake.notify_all();
    return true;
}

void SimulatedPowerBank::Impl::doUnplug()
{
    std::lock_guard plugLock(plugMutex);
    int master, slave;
    QByteArray usb, raw;
    {
        std::lock_guard lock(mutex);
        if (!plugged)
            return;
        plugged = false;
        outgoing.clear();
        master = masterFd;
        slave = slaveFd;
        masterFd = -1;
        slaveFd = -1;
        releaseClients();
        inFlight = false;
        line.clear();
        usb = usbSysPath;
        raw = hidrawSysPath;
    }
    umockdev_testbed_uevent(testbed, raw.constData(), "remove");
    // Removing only the USB parent would leave the node behind.
    umockdev_testbed_remove_device(testbed, raw.constData());
    umockdev_testbed_remove_device(testbed, usb.constData());
    // Hang up the line; the testbed owns the master descriptor, so replace it rather than close it.
    if (master >= 0) {
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, master);
            ::close(null);
        }
    }
    if (slave >= 0)
        ::close(slave);
}

} // namespace tessaravolt::sim
