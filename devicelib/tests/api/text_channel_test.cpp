// The menu list, the JSON channel and the test block, and the password records' edge cases.
#include <json/json.h>

#include "api_support.h"

using namespace apitest;
using testsupport::StderrCapture;

namespace {

class TextChannel : public CameraTest {};

TEST_F(TextChannel, MenuListBlocks) {
    struct Case {
        const char* name;
        std::string text;
        Bytes expected;
    } cases[] = {
        {"empty", "", Block(2048).byte(0, 0x42)},
        {"percent", "%s%n", Block(2048).byte(0, 0x42).text(1, "%s%n")},
        {"3000 characters", std::string(3000, 'M'),
         Block(2048).byte(0, 0x42).text(1, std::string(2046, 'M'))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camera().clearReceived();
        EXPECT_EQ(TKUSB_SetMenuList(c.text.c_str()), 1);
        const auto got = received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].payload, c.expected);
    }
    EXPECT_EQ(TKUSB_SetMenuList(nullptr), 0);
}

TEST_F(TextChannel, MenuListRoundTrip) {
    ASSERT_EQ(TKUSB_SetMenuList("Video;Photo"), 1);
    char block[2048];
    std::memset(block, 'x', sizeof block);
    ASSERT_EQ(TKUSB_GetMenuList(block), 1);
    EXPECT_STREQ(block, "Video;Photo");
}

TEST_F(TextChannel, JsonRequestIsTheStyledMenuListRequest) {
    char block[2048];
    std::memset(block, 'x', sizeof block);
    ASSERT_EQ(TKUSB_GetJsonString(block), 1);
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].subCommand, 0xF239);
    EXPECT_EQ(got[0].payload, Bytes(Block(2048).text(0, "{\n   \"Get menu list\" : null\n}\n")));
    EXPECT_EQ(got[1].subCommand, 0xF238);
    EXPECT_TRUE(got[1].dataIn);
    EXPECT_EQ(got[1].length, 2048u);

    // The camera's answer lands in the block: a JSON text with the menu entries.
    Json::Value answer;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in{std::string(block)};
    ASSERT_TRUE(Json::parseFromStream(builder, in, &answer, &errors)) << block;
    ASSERT_TRUE(answer["Get menu list"].isArray());
    EXPECT_EQ(answer["Get menu list"][0].asString(), "Record");
}

TEST_F(TextChannel, JsonAnswerFollowsTheRequestsResult) {
    char block[2048];
    // A failed request write goes unnoticed: the read decides.
    drives.server('E').injectFault(camsim::Fault::kRefuse);
    EXPECT_EQ(TKUSB_GetJsonString(block), 1);
    // A failed read leaves the cleared block.
    std::memset(block, 'x', sizeof block);
    camera().setHandler(0xF238, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusCheckCondition, {}, 0};
    });
    drives.server('E').injectFault(camsim::Fault::kNone);
    EXPECT_EQ(TKUSB_GetJsonString(block), 1);
    EXPECT_EQ(Bytes(block, block + sizeof block), Bytes(2048, 0));
    drives.server('E').unplug();
    std::memset(block, 'x', sizeof block);
    EXPECT_EQ(TKUSB_GetJsonString(block), 0);
    EXPECT_EQ(Bytes(block, block + sizeof block), Bytes(2048, 0));
}

TEST_F(TextChannel, JsonSettingsAreKeptByTheCamera) {
    char request[2048] = "{\"volume\": 3}";
    ASSERT_EQ(TKUSB_SetJsonString(request), 1);
    char bad[2048] = "{not json";
    EXPECT_EQ(TKUSB_SetJsonString(bad), 0);
    EXPECT_NE(camera().snapshot().jsonConfig.find("\"volume\" : 3"), std::string::npos);
}

TEST_F(TextChannel, TestBlockIsLoggedWithinItsThirtyBytes) {
    // A camera that fills the whole block without a terminator.
    camera().setHandler(0xF23A, [](camsim::CameraState&, const camsim::Command&) {
        return camsim::Reply{camsim::kStatusGood, Bytes(30, 'A'), 0};
    });
    StderrCapture log;
    EXPECT_EQ(TKUSB_TEST_Json(), 1);
    EXPECT_EQ(log.text(), ">>buf:" + std::string(30, 'A') + "\n");
}

TEST_F(TextChannel, TestBlockWithoutCameraLogsTheFixedText) {
    drives.server('E').unplug();
    StderrCapture log;
    EXPECT_EQ(TKUSB_TEST_Json(), 0);
    EXPECT_EQ(log.text(), "Get handle failed\r\n>>buf:JSON TEST TEXT\n");
}

// ---- passwords ---------------------------------------------------------------------------------

TEST_F(TextChannel, AdminPasswordNeedsLengthSix) {
    EXPECT_EQ(TKUSB_StartAdminPwd("888888", 5), 0);
    EXPECT_EQ(TKUSB_StartAdminPwd_Ex("888888", 7, 'E'), 0);
    EXPECT_EQ(TKUSB_ChangeNewAdminPwd("123456", 0), 0);
    EXPECT_EQ(TKUSB_ChangeNewAdminPwd_Ex("123456", -6, 'E'), 0);
    EXPECT_TRUE(received().empty());
}

TEST_F(TextChannel, CameraJudgesPasswords) {
    EXPECT_EQ(TKUSB_CheckLoginPwd("000001"), 0);
    EXPECT_EQ(TKUSB_ChangeLoginPwd("000001", "123456"), 0);
    EXPECT_EQ(TKUSB_ChangeLoginPwd("000000", "123456"), 1);
    EXPECT_EQ(TKUSB_CheckLoginPwd("000000"), 0);
    EXPECT_EQ(TKUSB_CheckLoginPwd("1234567"), 1);  // cut to six characters

    EXPECT_EQ(TKUSB_ChangeBrowsePwd("222222", "222223"), 0);
    EXPECT_EQ(TKUSB_ChangeBrowsePwd("222222", "222222"), 1);
    EXPECT_EQ(TKUSB_CheckBrowsePwd("111111", 0), 0);
    EXPECT_EQ(TKUSB_CheckBrowsePwd("222222", 0), 1);

    EXPECT_EQ(TKUSB_Change5Pwd("222229", "44444"), 1);  // cut to five characters
    EXPECT_EQ(camera().snapshot().userPassword, "44444");

    // The no-login-check flag lets any login password through.
    const unsigned char on = 1;
    ASSERT_EQ(TKUSB_SetNoCheckLoginPwd(&on), 1);
    EXPECT_EQ(TKUSB_CheckLoginPwd("999999"), 1);
    unsigned char flag = 0;
    EXPECT_EQ(TKUSB_GetNoWifiPwdPwd(&flag), 1);
    EXPECT_EQ(flag, 1);  // the login-check flag: there is no read of the other one
}

TEST_F(TextChannel, AdminPasswordChangeNeedsTheRunningOne) {
    {
        std::lock_guard<std::mutex> guard(camera().lock());
        camera().state().adminUnlocked = false;
    }
    EXPECT_EQ(TKUSB_ChangeNewAdminPwd("123456", 6), 0);
    EXPECT_EQ(TKUSB_StartAdminPwd("888887", 6), 0);
    EXPECT_EQ(TKUSB_StartAdminPwd("888888", 6), 1);
    EXPECT_EQ(TKUSB_ChangeNewAdminPwd("123456", 6), 1);
    EXPECT_EQ(camera().snapshot().adminPassword, "123456");
}

TEST_F(TextChannel, NullPasswordTextsLeaveTheirFieldsZero) {
    EXPECT_EQ(TKUSB_CheckLoginPwd(nullptr), 0);
    EXPECT_EQ(TKUSB_StartAdminPwd(nullptr, 6), 0);
    const auto got = received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].payload, Bytes(48, 0));
    EXPECT_EQ(got[1].payload, Bytes(8, 0));
}

}  // namespace
