// Serves the camera as a USB device over the usbredir protocol: a virtual machine's usb-redir
// device connects to the socket and its guest sees a USB mass-storage device, driven by the
// guest's own USB and SCSI stack. A restart or switch-off of the camera unplugs the device for
// the camera's time and plugs it in again.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "camsim/camera_model.h"
#include "camsim/usb_storage.h"

namespace camsim {

class UsbRedirServer {
  public:
    UsbRedirServer(CameraModel& model, UsbIdentity identity, std::string socketPath);
    ~UsbRedirServer();
    UsbRedirServer(const UsbRedirServer&) = delete;
    UsbRedirServer& operator=(const UsbRedirServer&) = delete;

    // Binds and listens on the socket (removing a stale file first). False on failure. The
    // socket must be listening before the virtual machine starts: it connects once, at start.
    bool listen();

    // Serves one peer at a time until stopRequested() returns true (checked every 100 ms).
    void run(const std::function<bool()>& stopRequested);

    // Serves an already connected socket until the peer hangs up or stopRequested() returns
    // true. The socket is made non-blocking and closed on return.
    void serveConnection(int fd, const std::function<bool()>& stopRequested);

    uint64_t commandsServed() const { return served_.load(); }

    // Fault injection: the camera hangs on this vendor sub-command (0: none). Its transfers get
    // no answer until the host cancels them; a bulk-only or port reset ends the hang. Takes
    // effect with the next connection.
    void setSilentSubCommand(uint16_t subCommand) { silentSubCommand_ = subCommand; }

    // The exposed card's medium (none: it reads as zeros). Takes effect with the next connection.
    void setCardImage(std::shared_ptr<const CardImage> card) { card_ = std::move(card); }

  private:
    CameraModel& model_;
    UsbIdentity identity_;
    std::string path_;
    int listenFd_ = -1;
    std::atomic<uint64_t> served_{0};
    uint16_t silentSubCommand_ = 0;
    std::shared_ptr<const CardImage> card_;
    int powerOffMilliseconds_ = 0;  // set by the model's power handler, on the serving thread
};

}  // namespace camsim
