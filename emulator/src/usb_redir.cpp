#include "camsim/usb_redir.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <usbredirparser.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "byte_order.h"

namespace camsim {

namespace {

constexpr uint8_t kVendorOpcode = 0xB8;

// usbredir numbers endpoints 0-15 out, 16-31 in.
int endpointIndex(uint8_t address) {
    return ((address & 0x80) >> 3) | (address & 0x0F);
}

// One connected peer: the parser, the socket and the device it talks to.
struct Connection {
    int fd = -1;
    bool failed = false;
    usbredirparser* parser = nullptr;
    BulkOnlyDevice device;
    std::atomic<uint64_t>* served = nullptr;
    // A restart or switch-off of the camera: the device leaves the bus once the command's status
    // has gone out, and comes back when the time is up.
    int* powerOffMilliseconds = nullptr;
    bool plugged = false;
    std::chrono::steady_clock::time_point replugAt{};
    // A camera that hangs on one sub-command: from its CBW on, bulk transfers get no answer
    // until the host cancels them, and the device stays hung until a reset.
    uint16_t silentSubCommand = 0;
    bool hung = false;
    std::map<uint64_t, usb_redir_bulk_packet_header> held;

    Connection(CameraModel& model, const UsbIdentity& identity,
               std::shared_ptr<const CardImage> card)
        : device(model, identity, std::move(card)) {}
};

Connection& of(void* priv) {
    return *static_cast<Connection*>(priv);
}

void onLog(void*, int level, const char* message) {
    if (level <= usbredirparser_warning)
        std::fprintf(stderr, "camsim: usbredir: %s\n", message);
}

int onRead(void* priv, uint8_t* data, int count) {
    Connection& c = of(priv);
    const ssize_t n = ::recv(c.fd, data, size_t(count), 0);
    if (n > 0)
        return int(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    c.failed = true;  // hang-up or error
    return -1;
}

int onWrite(void* priv, uint8_t* data, int count) {
    Connection& c = of(priv);
    const ssize_t n = ::send(c.fd, data, size_t(count), MSG_NOSIGNAL);
    if (n >= 0)
        return int(n);
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    c.failed = true;
    return -1;
}

// Describes the device and plugs it in.
void plugIn(Connection& c) {
    c.device.busReset();
    c.plugged = true;
    c.hung = false;  // a camera that comes back has restarted
    c.held.clear();  // the host gave those up when the device left
    usb_redir_interface_info_header interfaces{};
    interfaces.interface_count = 1;
    interfaces.interface[0] = 0;
    interfaces.interface_class[0] = 0x08;     // mass storage
    interfaces.interface_subclass[0] = 0x06;  // SCSI transparent command set
    interfaces.interface_protocol[0] = 0x50;  // bulk-only transport
    usbredirparser_send_interface_info(c.parser, &interfaces);

    usb_redir_ep_info_header endpoints{};
    std::memset(endpoints.type, usb_redir_type_invalid, sizeof endpoints.type);
    for (uint8_t control : {uint8_t(0x00), uint8_t(0x80)}) {
        endpoints.type[endpointIndex(control)] = usb_redir_type_control;
        endpoints.max_packet_size[endpointIndex(control)] = kControlMaxPacket;
    }
    for (uint8_t bulk : {kBulkInEndpoint, kBulkOutEndpoint}) {
        endpoints.type[endpointIndex(bulk)] = usb_redir_type_bulk;
        endpoints.max_packet_size[endpointIndex(bulk)] = kBulkMaxPacket;
        endpoints.interface[endpointIndex(bulk)] = 0;
    }
    usbredirparser_send_ep_info(c.parser, &endpoints);

    const std::vector<uint8_t> d = c.device.deviceDescriptor();
    usb_redir_device_connect_header connect{};
    connect.speed = usb_redir_speed_high;
    connect.device_class = d[4];
    connect.device_subclass = d[5];
    connect.device_protocol = d[6];
    connect.vendor_id = dalvex::bytes::loadLe16(&d[8]);
    connect.product_id = dalvex::bytes::loadLe16(&d[10]);
    connect.device_version_bcd = dalvex::bytes::loadLe16(&d[12]);
    usbredirparser_send_device_connect(c.parser, &connect);
}

// The peer's capabilities are known: the device can be plugged in.
void onHello(void* priv, usb_redir_hello_header*) {
    plugIn(of(priv));
}

// After the status of a command that restarted or switched off the camera.
void unplugIfPoweredOff(Connection& c) {
    if (*c.powerOffMilliseconds <= 0)
        return;
    usbredirparser_send_device_disconnect(c.parser);
    c.plugged = false;
    c.replugAt =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(*c.powerOffMilliseconds);
    *c.powerOffMilliseconds = 0;
}

void onReset(void* priv) {
    of(priv).hung = false;
    of(priv).device.busReset();
}

void onSetConfiguration(void* priv, uint64_t id, usb_redir_set_configuration_header* header) {
    Connection& c = of(priv);
    usb_redir_configuration_status_header status{};
    status.status =
        c.device.setConfiguration(header->configuration) ? usb_redir_success : usb_redir_inval;
    status.configuration = c.device.configuration();
    usbredirparser_send_configuration_status(c.parser, id, &status);
}

void onGetConfiguration(void* priv, uint64_t id) {
    Connection& c = of(priv);
    usb_redir_configuration_status_header status{};
    status.status = usb_redir_success;
    status.configuration = c.device.configuration();
    usbredirparser_send_configuration_status(c.parser, id, &status);
}

void onSetAltSetting(void* priv, uint64_t id, usb_redir_set_alt_setting_header* header) {
    Connection& c = of(priv);
    usb_redir_alt_setting_status_header status{};
    status.interface = header->interface;
    status.alt = 0;
    status.status =
        header->interface == 0 && header->alt == 0 ? usb_redir_success : usb_redir_inval;
    usbredirparser_send_alt_setting_status(c.parser, id, &status);
}

void onGetAltSetting(void* priv, uint64_t id, usb_redir_get_alt_setting_header* header) {
    Connection& c = of(priv);
    usb_redir_alt_setting_status_header status{};
    status.interface = header->interface;
    status.alt = 0;
    status.status = header->interface == 0 ? usb_redir_success : usb_redir_inval;
    usbredirparser_send_alt_setting_status(c.parser, id, &status);
}

// Only the transfers of a hung device wait; the others are answered before the next packet is
// read and are gone by the time a cancel could arrive.
void onCancel(void* priv, uint64_t id) {
    Connection& c = of(priv);
    auto it = c.held.find(id);
    if (it == c.held.end())
        return;
    usb_redir_bulk_packet_header reply = it->second;
    reply.status = usb_redir_cancelled;
    reply.length = 0;
    reply.length_high = 0;
    usbredirparser_send_bulk_packet(c.parser, id, &reply, nullptr, 0);
    c.held.erase(it);
}

bool isSilentCbw(const Connection& c, const uint8_t* data, int length) {
    return c.silentSubCommand != 0 && length == int(BulkOnlyDevice::kCbwLength) && data &&
           data[15] == kVendorOpcode && dalvex::bytes::loadLe16(data + 17) == c.silentSubCommand;
}

void onFilter(void*, usbredirfilter_rule* rules, int) {
    std::free(rules);
}

// The device has no isochronous or interrupt endpoints and no streams: every request for them
// is answered as invalid, so that nothing waits on it.
void onStartIso(void* priv, uint64_t id, usb_redir_start_iso_stream_header* header) {
    usb_redir_iso_stream_status_header status{usb_redir_inval, header->endpoint};
    usbredirparser_send_iso_stream_status(of(priv).parser, id, &status);
}
void onStopIso(void* priv, uint64_t id, usb_redir_stop_iso_stream_header* header) {
    usb_redir_iso_stream_status_header status{usb_redir_inval, header->endpoint};
    usbredirparser_send_iso_stream_status(of(priv).parser, id, &status);
}
void onStartInterrupt(void* priv, uint64_t id, usb_redir_start_interrupt_receiving_header* header) {
    usb_redir_interrupt_receiving_status_header status{usb_redir_inval, header->endpoint};
    usbredirparser_send_interrupt_receiving_status(of(priv).parser, id, &status);
}
void onStopInterrupt(void* priv, uint64_t id, usb_redir_stop_interrupt_receiving_header* header) {
    usb_redir_interrupt_receiving_status_header status{usb_redir_inval, header->endpoint};
    usbredirparser_send_interrupt_receiving_status(of(priv).parser, id, &status);
}
void onAllocStreams(void* priv, uint64_t id, usb_redir_alloc_bulk_streams_header* header) {
    usb_redir_bulk_streams_status_header status{header->endpoints, 0, usb_redir_inval};
    usbredirparser_send_bulk_streams_status(of(priv).parser, id, &status);
}
void onFreeStreams(void* priv, uint64_t id, usb_redir_free_bulk_streams_header* header) {
    usb_redir_bulk_streams_status_header status{header->endpoints, 0, usb_redir_inval};
    usbredirparser_send_bulk_streams_status(of(priv).parser, id, &status);
}
void onStartBulkReceiving(void* priv, uint64_t id, usb_redir_start_bulk_receiving_header* header) {
    usb_redir_bulk_receiving_status_header status{header->stream_id, header->endpoint,
                                                  usb_redir_inval};
    usbredirparser_send_bulk_receiving_status(of(priv).parser, id, &status);
}
void onStopBulkReceiving(void* priv, uint64_t id, usb_redir_stop_bulk_receiving_header* header) {
    usb_redir_bulk_receiving_status_header status{header->stream_id, header->endpoint,
                                                  usb_redir_inval};
    usbredirparser_send_bulk_receiving_status(of(priv).parser, id, &status);
}
void onIsoPacket(void* priv, uint64_t, usb_redir_iso_packet_header*, uint8_t* data, int) {
    if (data)
        usbredirparser_free_packet_data(of(priv).parser, data);
}
void onInterruptPacket(void* priv, uint64_t id, usb_redir_interrupt_packet_header* header,
                       uint8_t* data, int) {
    usb_redir_interrupt_packet_header reply = *header;
    reply.status = usb_redir_inval;
    reply.length = 0;
    usbredirparser_send_interrupt_packet(of(priv).parser, id, &reply, nullptr, 0);
    if (data)
        usbredirparser_free_packet_data(of(priv).parser, data);
}
void onNothing(void*) {}

void onControl(void* priv, uint64_t id, usb_redir_control_packet_header* header, uint8_t* data,
               int dataLength) {
    Connection& c = of(priv);
    const bool in = header->endpoint & 0x80;
    if (header->requesttype == 0x21 && header->request == 0xFF)
        c.hung = false;  // the bulk-only reset brings a hung camera back
    const UsbTransfer t =
        c.device.control(header->requesttype, header->request, header->value, header->index,
                         in ? header->length : uint16_t(dataLength), data);
    usb_redir_control_packet_header reply = *header;
    reply.status = uint8_t(t.status);
    if (in) {
        reply.length = uint16_t(t.data.size());
        usbredirparser_send_control_packet(c.parser, id, &reply,
                                           const_cast<uint8_t*>(t.data.data()), int(t.data.size()));
    } else {
        reply.length = uint16_t(t.status == UsbStatus::kSuccess ? t.accepted : 0);
        usbredirparser_send_control_packet(c.parser, id, &reply, nullptr, 0);
    }
    if (data)
        usbredirparser_free_packet_data(c.parser, data);
}

void onBulk(void* priv, uint64_t id, usb_redir_bulk_packet_header* header, uint8_t* data,
            int dataLength) {
    Connection& c = of(priv);
    usb_redir_bulk_packet_header reply = *header;
    UsbTransfer t;
    if (c.plugged && !c.hung && header->endpoint == kBulkOutEndpoint &&
        isSilentCbw(c, data, dataLength)) {
        // The camera takes the command and is never heard of again.
        c.hung = true;
        reply.status = usb_redir_success;
        usbredirparser_send_bulk_packet(c.parser, id, &reply, nullptr, 0);
    } else if (c.plugged && c.hung) {
        c.held[id] = *header;
    } else if (!c.plugged) {
        // Packets already on their way when the device left.
        reply.status = usb_redir_ioerror;
        reply.length = 0;
        reply.length_high = 0;
        usbredirparser_send_bulk_packet(c.parser, id, &reply, nullptr, 0);
    } else if (header->endpoint == kBulkOutEndpoint) {
        if (dataLength == 31 && data && data[15] == kVendorOpcode)
            c.served->fetch_add(1);
        t = c.device.bulkOut(data, size_t(dataLength));
        // An OUT reply names the length taken and carries no data.
        const uint32_t accepted = t.status == UsbStatus::kSuccess ? t.accepted : 0;
        reply.status = uint8_t(t.status);
        reply.length = uint16_t(accepted);
        reply.length_high = uint16_t(accepted >> 16);
        usbredirparser_send_bulk_packet(c.parser, id, &reply, nullptr, 0);
    } else if (header->endpoint == kBulkInEndpoint) {
        const uint32_t wanted = uint32_t(header->length) | uint32_t(header->length_high) << 16;
        t = c.device.bulkIn(wanted);
        reply.status = uint8_t(t.status);
        reply.length = uint16_t(t.data.size());
        reply.length_high = uint16_t(t.data.size() >> 16);
        usbredirparser_send_bulk_packet(c.parser, id, &reply, t.data.data(), int(t.data.size()));
        if (c.device.idle())
            unplugIfPoweredOff(c);
    } else {
        reply.status = usb_redir_inval;
        reply.length = 0;
        reply.length_high = 0;
        usbredirparser_send_bulk_packet(c.parser, id, &reply, nullptr, 0);
    }
    if (data)
        usbredirparser_free_packet_data(c.parser, data);
}

}  // namespace

UsbRedirServer::UsbRedirServer(CameraModel& model, UsbIdentity identity, std::string socketPath)
    : model_(model), identity_(std::move(identity)), path_(std::move(socketPath)) {
    // Called inside a command, on the serving thread: the device leaves after the status.
    model_.setPowerHandler([this](int milliseconds) { powerOffMilliseconds_ = milliseconds; });
}

UsbRedirServer::~UsbRedirServer() {
    model_.setPowerHandler(nullptr);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(path_.c_str());
    }
}

bool UsbRedirServer::listen() {
    sockaddr_un address{};
    if (path_.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    ::unlink(path_.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0)
        return false;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 1) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    return true;
}

void UsbRedirServer::run(const std::function<bool()>& stopRequested) {
    while (!stopRequested()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0)
            serveConnection(fd, stopRequested);
    }
}

void UsbRedirServer::serveConnection(int fd, const std::function<bool()>& stopRequested) {
    // Non-blocking: the parser reads whatever is there and stops at "would block"; a blocking
    // read would hang in the middle of a packet.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    Connection c(model_, identity_, card_);
    c.fd = fd;
    c.served = &served_;
    c.powerOffMilliseconds = &powerOffMilliseconds_;
    c.silentSubCommand = silentSubCommand_;
    powerOffMilliseconds_ = 0;
    std::unique_ptr<usbredirparser, void (*)(usbredirparser*)> parser(usbredirparser_create(),
                                                                      usbredirparser_destroy);
    if (!parser) {
        ::close(fd);
        return;
    }
    c.parser = parser.get();
    usbredirparser* p = parser.get();
    p->priv = &c;
    p->log_func = onLog;
    p->read_func = onRead;
    p->write_func = onWrite;
    p->hello_func = onHello;
    p->reset_func = onReset;
    p->set_configuration_func = onSetConfiguration;
    p->get_configuration_func = onGetConfiguration;
    p->set_alt_setting_func = onSetAltSetting;
    p->get_alt_setting_func = onGetAltSetting;
    p->cancel_data_packet_func = onCancel;
    p->filter_filter_func = onFilter;
    p->filter_reject_func = onNothing;
    p->device_disconnect_ack_func = onNothing;
    p->start_iso_stream_func = onStartIso;
    p->stop_iso_stream_func = onStopIso;
    p->start_interrupt_receiving_func = onStartInterrupt;
    p->stop_interrupt_receiving_func = onStopInterrupt;
    p->alloc_bulk_streams_func = onAllocStreams;
    p->free_bulk_streams_func = onFreeStreams;
    p->start_bulk_receiving_func = onStartBulkReceiving;
    p->stop_bulk_receiving_func = onStopBulkReceiving;
    p->iso_packet_func = onIsoPacket;
    p->interrupt_packet_func = onInterruptPacket;
    p->control_packet_func = onControl;
    p->bulk_packet_func = onBulk;

    uint32_t caps[USB_REDIR_CAPS_SIZE] = {};
    usbredirparser_caps_set_cap(caps, usb_redir_cap_connect_device_version);
    usbredirparser_caps_set_cap(caps, usb_redir_cap_ep_info_max_packet_size);
    usbredirparser_caps_set_cap(caps, usb_redir_cap_64bits_ids);
    usbredirparser_caps_set_cap(caps, usb_redir_cap_32bits_bulk_length);
    usbredirparser_init(p, "camsim", caps, USB_REDIR_CAPS_SIZE, usbredirparser_fl_usb_host);

    while (!c.failed && !stopRequested()) {
        if (!c.plugged && c.replugAt != std::chrono::steady_clock::time_point{} &&
            std::chrono::steady_clock::now() >= c.replugAt) {
            c.replugAt = {};
            plugIn(c);
        }
        pollfd pfd{fd, short(POLLIN | (usbredirparser_has_data_to_write(p) ? POLLOUT : 0)), 0};
        if (::poll(&pfd, 1, 100) < 0 && errno != EINTR)
            break;
        if (pfd.revents & (POLLIN | POLLHUP | POLLERR)) {
            if (usbredirparser_do_read(p) == usbredirparser_read_io_error)
                break;
        }
        while (!c.failed && usbredirparser_has_data_to_write(p)) {
            if (usbredirparser_do_write(p) != 0)
                break;
            pollfd out{fd, POLLOUT, 0};
            if (usbredirparser_has_data_to_write(p) && ::poll(&out, 1, 100) <= 0)
                break;
        }
    }
    parser.reset();
    ::close(fd);
}

}  // namespace camsim
