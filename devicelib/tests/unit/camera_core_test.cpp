// The library core's C++ face: the cameras found and the camera handle, against emulated drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "dalvex/camera.h"
#include "support/emulated_cameras.h"

using testsupport::EmulatedDrives;

namespace {

template <typename Record>
Record patterned() {
    Record r;
    auto* bytes = reinterpret_cast<uint8_t*>(&r);
    for (size_t i = 0; i < sizeof r; ++i)
        bytes[i] = uint8_t('A' + i % 26);
    return r;
}

struct RecordCase {
    const char* name;
    uint16_t setCommand;
    // Writes a patterned record through the handle; returns the bytes it should have sent and
    // (through readBack) what a read of the record gives afterwards.
    std::function<std::vector<uint8_t>(const dalvex::Camera&, std::vector<uint8_t>& readBack)>
        writeAndRead;
};

template <typename Record>
RecordCase plainCase(const char* name, uint16_t setCommand) {
    return {name, setCommand, [](const dalvex::Camera& camera, std::vector<uint8_t>& back) {
                const Record sent = patterned<Record>();
                EXPECT_TRUE(camera.write(sent));
                Record read{};
                EXPECT_TRUE(camera.read(read));
                back.assign(reinterpret_cast<uint8_t*>(&read),
                            reinterpret_cast<uint8_t*>(&read) + sizeof read);
                return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&sent),
                                            reinterpret_cast<const uint8_t*>(&sent) + sizeof sent);
            }};
}

TEST(CameraCore, EachRecordGoesWholeToItsCommandAndReadsBack) {
    // The recording settings go as their three choices on a cleared record; the user
    // information with the two ids cut to the 11 bytes the camera keeps.
    UserInfoRecord user = patterned<UserInfoRecord>();
    user.deviceId[11] = user.userId[11] = '\0';
    const std::vector<RecordCase> cases = {
        {"setting", 0xF207,
         [](const dalvex::Camera& camera, std::vector<uint8_t>&) {
             EXPECT_TRUE(camera.write(patterned<DeviceSettingRecord>()));
             DeviceSettingRecord expected{};
             expected.videoResolution = 'A';
             expected.photoResolution = 'B';
             expected.videoLength = 'C';
             return std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&expected),
                                         reinterpret_cast<uint8_t*>(&expected) + sizeof expected);
         }},
        {"user", 0xF204,
         [user](const dalvex::Camera& camera, std::vector<uint8_t>& back) {
             EXPECT_TRUE(camera.write(patterned<UserInfoRecord>()));
             UserInfoRecord read{};
             EXPECT_TRUE(camera.read(read));
             back.assign(reinterpret_cast<uint8_t*>(&read),
                         reinterpret_cast<uint8_t*>(&read) + sizeof read);
             return std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&user),
                                         reinterpret_cast<const uint8_t*>(&user) + sizeof user);
         }},
        plainCase<GprsRecord>("gprs", 0xF20E),
        plainCase<WifiRecord>("wifi", 0xF211),
        plainCase<WifiApRecord>("wifi-ap", 0xF226),
        plainCase<MobileLinkRecord>("mobile-link", 0xF213),
        plainCase<GpsUploadRecord>("gps-upload", 0xF215),
        plainCase<Cmsv6Record>("cms", 0xF21D),
        plainCase<Rk20SettingRecord>("rk20", 0xF219),
        plainCase<ConfigInfoRecord>("config", 0xF23F),
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.name);
        EmulatedDrives drives;
        camsim::CameraModel& model = drives.add('F');
        std::vector<uint8_t> back;
        const std::vector<uint8_t> expected = c.writeAndRead(dalvex::Camera('f'), back);
        const camsim::CameraState state = model.snapshot();
        const auto sent = std::find_if(state.received.begin(), state.received.end(),
                                       [&](const auto& r) { return r.subCommand == c.setCommand; });
        ASSERT_NE(sent, state.received.end());
        EXPECT_EQ(sent->payload, expected);
        if (!back.empty()) {
            EXPECT_EQ(back, expected);
        }
    }
}

TEST(CameraCore, ListsCamerasInLetterOrderWithWhatTheListShows) {
    EmulatedDrives drives;
    camsim::CameraState exposed;
    exposed.serial = "EMU0000002";
    exposed.massStorage = true;
    exposed.battery = 40;
    drives.add('H', exposed);
    drives.addStick('E', 8192);
    camsim::CameraState rk20;
    rk20.modelCode = 48;
    rk20.firmware = "RK20_FW";
    drives.add('G', rk20);

    const std::vector<dalvex::CameraInfo> cameras = dalvex::listCameras();
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].letter, 'G');
    EXPECT_EQ(cameras[0].serial, "EMU0000001");
    EXPECT_EQ(cameras[0].spec.modelCode, 48);
    EXPECT_STREQ(cameras[0].spec.firmwareVersion, "RK20_FW");
    EXPECT_EQ(cameras[0].battery, 87);
    EXPECT_FALSE(cameras[0].storageExposed);
    EXPECT_EQ(cameras[1].letter, 'H');
    EXPECT_EQ(cameras[1].battery, 40);
    EXPECT_TRUE(cameras[1].storageExposed);
}

TEST(CameraCore, LoginAndAGoneCameraAreToldApart) {
    EmulatedDrives drives;
    drives.add('E');
    const dalvex::Camera camera('E');
    EXPECT_TRUE(camera.checkLogin("000000"));
    EXPECT_FALSE(camera.checkLogin("000001"));
    EXPECT_EQ(camera.serial(), "EMU0000001");
    drives.server('E').stop();
    EXPECT_FALSE(camera.checkLogin("000000"));
    EXPECT_FALSE(camera.serial());
    EXPECT_FALSE(camera.present());
}

// An emulated camera names its card folder only while the storage is exposed; copy-finished
// takes it away again. A camera without a folder and a plain stick name none.
TEST(CameraCore, TheCardIsReportedOnlyWhileExposed) {
    EmulatedDrives drives;
    camsim::CameraState withCard;
    withCard.cardFolder = "/srv/card with space/é";
    drives.add('E', withCard);
    drives.add('F');
    drives.addStick('G', 8192);
    using Kind = dalvex::CardLocation::Kind;
    const dalvex::Camera camera('E');
    EXPECT_EQ(camera.card().kind, Kind::kNone);
    ASSERT_TRUE(camera.exposeStorage("000000"));
    const dalvex::CardLocation card = camera.card();
    EXPECT_EQ(card.kind, Kind::kFolder);
    EXPECT_EQ(card.path, withCard.cardFolder);
    ASSERT_TRUE(dalvex::Camera('F').exposeStorage("000000"));
    EXPECT_EQ(dalvex::Camera('F').card().kind, Kind::kNone);
    EXPECT_EQ(dalvex::Camera('G').card().kind, Kind::kNone);
    ASSERT_TRUE(camera.copyFinished());
    EXPECT_EQ(camera.card().kind, Kind::kNone);
    EXPECT_EQ(drives.model('E').snapshot().copyFinished, 1u);
}

}  // namespace
