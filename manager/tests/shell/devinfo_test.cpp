// The user information page with the real library and an in-process camera: Refresh, Apply and
// the read-back that decides between "OK!" and "Failed!".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devicestate.h"
#include "pages/devinfo.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::devinfo;

using ui::headless::Click;
using ui::headless::Type;

// A UserInfoRecord as the camera stores it.
std::vector<uint8_t> Record(const std::string& deviceId, const std::string& departmentName,
                            const std::string& departmentNumber, const std::string& userName,
                            const std::string& userId) {
    std::vector<uint8_t> record(100, 0);
    auto put = [&record](size_t offset, size_t size, const std::string& text) {
        for (size_t i = 0; i < text.size() && i < size; ++i)
            record[offset + i] = uint8_t(text[i]);
    };
    put(0, 12, deviceId);
    put(12, 32, departmentName);
    put(44, 12, departmentNumber);
    put(56, 32, userName);
    put(88, 12, userId);
    return record;
}

std::string Field(const std::vector<uint8_t>& record, size_t offset, size_t size) {
    std::string text(reinterpret_cast<const char*>(record.data() + offset), size);
    return text.substr(0, text.find('\0'));
}

class DevInfoTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        CurrentDeviceState() = DeviceState{};
        ASSERT_TRUE(page_.Create());
        page_.EnableControls(true);
    }

    camsim::CameraModel& AddCamera(std::vector<uint8_t> record = {}) {
        camsim::CameraState state;
        if (!record.empty())
            state.records[0xF205] = std::move(record);
        return drives_->add('E', state);
    }
    std::vector<uint8_t> Stored(camsim::CameraModel& camera) {
        return camera.snapshot().records[0xF205];
    }
    std::vector<std::wstring> Edits() {
        std::vector<std::wstring> texts;
        for (int id : {kDeviceId, kDepartmentName, kDepartmentNumber, kUserName, kUserId})
            texts.push_back(page_.GetDlgItemText(id));
        return texts;
    }
    // The texts of the message boxes so far, each with an OK button only.
    std::vector<std::wstring> Messages() {
        for (const auto& message : backend_->Messages())
            EXPECT_EQ(message.style, ui::kMbOk);
        return MessageTexts(CDlgDeviceInfo::kTemplateId);
    }

    CDlgDeviceInfo page_{nullptr};
};

TEST_F(DevInfoTest, EditsAreLimitedAndDeviceIdStaysHidden) {
    EXPECT_EQ(page_.GetTextLimit(kDeviceId), 7);
    EXPECT_EQ(page_.GetTextLimit(kDepartmentNumber), 12);
    EXPECT_EQ(page_.GetTextLimit(kDepartmentName), 32);
    EXPECT_EQ(page_.GetTextLimit(kUserId), 6);
    EXPECT_EQ(page_.GetTextLimit(kUserName), 32);
    EXPECT_FALSE(page_.IsControlVisible(kDeviceId));
    EXPECT_FALSE(page_.IsControlVisible(kDeviceIdLabel));
    EXPECT_EQ(page_.GetDlgItemText(kDepartmentNameLabel), L"Depart name:");
    ASSERT_TRUE(Type(page_, kUserId, L"12345678"));
    EXPECT_EQ(page_.GetDlgItemText(kUserId), L"123456");
}

TEST_F(DevInfoTest, RefreshShowsTheCameraTextsAndEmptiesEverythingWithoutACamera) {
    for (int id : {kDeviceId, kDepartmentName, kDepartmentNumber, kUserName, kUserId})
        page_.SetDlgItemText(id, L"old");
    page_.Refresh();
    EXPECT_EQ(Edits(), std::vector<std::wstring>(5, L""));

    AddCamera(Record("0000042", "Traffic Unit", "D-7", "Jane Roe", "777001"));
    ASSERT_TRUE(Click(page_, kRefresh));
    EXPECT_EQ(Edits(), (std::vector<std::wstring>{L"0000042", L"Traffic Unit", L"D-7", L"Jane Roe",
                                                  L"777001"}));
    EXPECT_TRUE(backend_->Messages().empty());
}

TEST_F(DevInfoTest, ApplyCutsALongDeviceIdToSevenCharacters) {
    auto& camera = AddCamera(Record("ABCDEFGHIJK", "Unit", "N1", "Name", "123456"));
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kDeviceId), L"ABCDEFGHIJK");
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(page_.GetDlgItemText(kDeviceId), L"ABCDEFG");
    EXPECT_EQ(Field(Stored(camera), 0, 12), "ABCDEFG");
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"OK!"});
}

TEST_F(DevInfoTest, ALongUserIdIsShownWithSixCharactersAndStoredSoByApply) {
    auto& camera = AddCamera(Record("0000001", "Unit", "N1", "Name", "12345678901"));
    page_.Refresh();
    EXPECT_EQ(page_.GetDlgItemText(kUserId), L"123456");
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(Field(Stored(camera), 88, 12), "123456");
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"OK!"});
}

TEST_F(DevInfoTest, AChangedNameIsWrittenAndVerified) {
    auto& camera = AddCamera();
    page_.Refresh();
    ASSERT_TRUE(Type(page_, kUserName, L"John Doe"));
    ASSERT_TRUE(Click(page_, kApply));
    const auto stored = Stored(camera);
    EXPECT_EQ(Field(stored, 56, 32), "John Doe");
    EXPECT_EQ(Field(stored, 12, 32), "Emulated Unit");
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"OK!"});
}

TEST_F(DevInfoTest, TextsLongerThanTheirFieldInTheCodePageReportFailure) {
    // Seventeen double-byte characters fit the edit but not the 32-byte field.
    const std::wstring longName(17, L'张');
    struct Case {
        int id;
        std::wstring text;
    };
    const Case cases[] = {
        {kUserName, longName}, {kDepartmentName, longName}, {kDepartmentNumber, L"部门一二三四五"}};
    auto& camera = AddCamera();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        page_.Refresh();
        backend_->ClearMessages();
        page_.SetDlgItemText(c.id, c.text);
        ASSERT_TRUE(Click(page_, kApply));
        EXPECT_EQ(Messages(), std::vector<std::wstring>{L"Failed!"});
        // What the camera keeps is the text cut at a character boundary.
        page_.Refresh();
        const std::wstring kept = page_.GetDlgItemText(c.id);
        EXPECT_FALSE(kept.empty());
        EXPECT_LT(kept.size(), c.text.size());
        EXPECT_EQ(c.text.compare(0, kept.size(), kept), 0);
    }
    (void)camera;
}

TEST_F(DevInfoTest, ApplyWithoutACameraReportsFailure) {
    ASSERT_TRUE(Type(page_, kUserName, L"Nobody"));
    ASSERT_TRUE(Click(page_, kApply));
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"Failed!"});
}

}  // namespace
