// The card finder's reading of /proc/self/mountinfo: escaped names, bind mounts, and a partition
// preferred over the whole disk only in the order asked.
#include <gtest/gtest.h>

#include "card.h"

namespace {

constexpr const char* kMountinfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "40 22 8:17 /DCIM /mnt/bound rw shared:5 - vfat /dev/sdb1 ro\n"
    "41 22 8:17 / /media/u/MY\\040CARD\\011tab\\134x ro,nosuid shared:6 - vfat /dev/sdb1 ro\n"
    "42 22 8:17 / /mnt/later ro shared:6 - vfat /dev/sdb1 ro\n"
    "43 22 8:32 / /media/u/WHOLE ro shared:7 - vfat /dev/sdc ro\n"
    "44 22 8:49 /sub /mnt/only-bound ro shared:8 - vfat /dev/sdd1 ro\n"
    "45 22 8:1\n"
    "garbage\n"
    "46 22 8:65 / /media/u/last ro shared:9 - vfat /dev/sde1 ro";

TEST(CardMounts, FindsTheWholeFileSystemOfTheFirstDeviceAsked) {
    const struct {
        std::vector<std::string> devices;
        const char* device;
        const char* mountPoint;
    } cases[] = {
        // The bind mount of a folder comes first but shows only part of the card.
        {{"8:17", "8:16"}, "8:17", "/media/u/MY CARD\ttab\\x"},
        // The whole disk when no partition of it is mounted; with both mounted, the order asked.
        {{"8:33", "8:32"}, "8:32", "/media/u/WHOLE"},
        {{"8:32", "8:17"}, "8:32", "/media/u/WHOLE"},
        // Only a folder of it is mounted; "8:1" is no prefix match of "8:17"; a cut line.
        {{"8:49"}, "", ""},
        {{"8:1", "8:16"}, "", ""},
        // The last line has no newline.
        {{"8:65"}, "8:65", "/media/u/last"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.devices.front());
        const cli::MountMatch m = cli::findMount(kMountinfo, c.devices);
        EXPECT_EQ(m.device, c.device);
        EXPECT_EQ(m.mountPoint, c.mountPoint);
    }
    // An escape cut short or out of the octal digits stays as it is.
    EXPECT_EQ(cli::decodeMountField("a\\04"), "a\\04");
    EXPECT_EQ(cli::decodeMountField("a\\089b"), "a\\089b");
}

}  // namespace
