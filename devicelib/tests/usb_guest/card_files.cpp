// Writes the files of the QEMU test's camera card into DIR, from which the host script makes the
// card's FAT32 image: a video with a GPS track and a picture in the camera's folder, a larger
// video without a track (a read of many blocks), and a note in nested folders with spaces.
//
//   card_files DIR
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "gps/mp4_fixture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: card_files DIR\n");
        return 2;
    }
    namespace fx = gpsfixture;
    const std::string dir = argv[1];
    try {
        std::filesystem::create_directories(dir + "/DCIM/100MEDIA");
        std::filesystem::create_directories(dir + "/Misc/Shift notes");
        fx::writeBytes(dir + "/DCIM/100MEDIA/REC0001.MP4",
                       fx::repeatedSampleVideo(
                           5, "$GPRMC,120000,A,2210.1000,N,11320.2000,W,000.4,084.4,230326,,*6A"));
        fx::HeaderFields position;
        position.marker = false;
        position.fileType = 7;
        position.position = "N22.535390,;,E113.208699";
        fx::writeBytes(dir + "/DCIM/100MEDIA/PIC0001.JPG",
                       fx::picture(fx::headerRecord(position), 20000));
        // Bytes that no block of zeros or of another file matches.
        fx::Bytes large(1536 * 1024);
        uint32_t x = 2463534242u;
        for (uint8_t& b : large) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            b = uint8_t(x);
        }
        fx::writeBytes(dir + "/DCIM/100MEDIA/REC0002.MP4", large);
        std::ofstream(dir + "/Misc/Shift notes/handover note.txt") << "Camera docked at 07:00.\n";
    } catch (const std::exception& e) {
        std::fprintf(stderr, "card_files: %s\n", e.what());
        return 1;
    }
    return 0;
}
