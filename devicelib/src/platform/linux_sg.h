// The Linux backend's pieces that tests reach directly: the SG_IO request and the reading of
// its outcome, the ioctl seam, and the USB disk scan of sysfs.
#pragma once

#include <scsi/sg.h>

#include <string>
#include <vector>

#include "platform.h"

namespace dalvex::platform::linux_sg {

using IoctlFunction = int (*)(int fd, unsigned long request, void* arg);
// Replaces the ioctl call of the backend (null restores the real one). For tests.
void setIoctlForTesting(IoctlFunction function);

// Fills an sg_io_hdr from a pass-through request; the CDB, data and sense pointers point into
// the request.
void buildSgIo(PassThroughRequest& request, sg_io_hdr_t& hdr);

// Judges one SG_IO call: true when the command reached the device and came back with a status
// byte (copied into the request together with the moved byte count). A failed ioctl, a host
// adapter or driver error and a time-out are failures, with lastError() set (the errno of the
// ioctl, ETIMEDOUT, or EIO). SG_IO itself returns 0 for most of those.
bool interpretSgIo(int ioctlResult, int ioctlErrno, const sg_io_hdr_t& hdr,
                   PassThroughRequest& request);

// Runs one request on an open sg (or sd) node. A read moves into the caller's block only the
// bytes the device sent (the transfer length less the residue); the rest keeps its contents.
bool runSgIo(int fd, PassThroughRequest& request);

// The USB mass-storage disks under a sysfs block folder ("/sys/block"), in letter order: by the
// length of the kernel name, then by the name (sdb, sdc, ..., sdz, sdaa).
std::vector<std::string> usbDisks(const std::string& sysBlock);

// The USB disk behind a drive letter, either case (as the drive map and Windows take it); empty
// when the letter has none.
std::string diskOfLetter(const std::string& sysBlock, char letter);

// The node commands go to for a disk: /dev/sgN when the disk has a SCSI generic node, else
// /dev/<disk>.
std::string commandNodeOfDisk(const std::string& sysBlock, const std::string& disk);

// The first letter given to a USB disk; the ones before it stand for the system's own disks.
constexpr char kFirstUsbLetter = 'D';

}  // namespace dalvex::platform::linux_sg
