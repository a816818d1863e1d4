// The password dialog with the real library and an in-process camera, and its run from the main
// window's Modify button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainwindow.h"
#include "pages/pwd.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "ui/headless.h"

namespace {

using namespace ids::pwd;

using ui::headless::Click;
using ui::headless::Type;

const std::wstring kInput = L"Please input password!", kInputNew = L"Please input new password!",
                   kMismatch = L"Please input correct password!",
                   kLength = L"Password length does not meet the requirements!";

class PwdTest : public PageTest {
  protected:
    void SetUp() override {
        PageTest::SetUp();
        camsim::CameraState state;
        state.loginPassword = "123456";
        state.browsePassword = "111111";
        camera_ = &drives_->add('E', state);
        ASSERT_TRUE(dialog_.Create());
        // Where the focus is at the moment each message box shows.
        backend_->onMessage = [this](const ui::headless::RecordedMessage&) {
            focusAtMessage_.push_back(dialog_.GetFocusId());
        };
    }

    void Fill(const std::vector<std::pair<int, std::wstring>>& texts) {
        for (const auto& [id, text] : texts)
            ASSERT_TRUE(Type(dialog_, id, text));
    }
    // The texts of the message boxes so far, each with an OK button only.
    std::vector<std::wstring> Messages() {
        for (const auto& message : backend_->Messages())
            EXPECT_EQ(message.style, ui::kMbOk);
        return MessageTexts(CDlgPwd::kTemplateId);
    }
    int PasswordCommands() {
        int n = 0;
        for (const auto& r : camera_->snapshot().received)
            n += r.subCommand == 0xF202 || r.subCommand == 0xF208;
        return n;
    }

    camsim::CameraModel* camera_ = nullptr;
    CDlgPwd dialog_;
    std::vector<int> focusAtMessage_;
};

TEST_F(PwdTest, InitialisationLabelsTheDialogAndHidesTheSelector) {
    EXPECT_EQ(dialog_.GetWindowText(), L"Change password");
    EXPECT_EQ(dialog_.GetDlgItemText(kBrowseFrame), L"Set browse password");
    EXPECT_EQ(dialog_.GetDlgItemText(kLengthNote), L"* Password length is 6 !");
    EXPECT_FALSE(dialog_.IsControlVisible(kTypeSelector));
    ASSERT_EQ(dialog_.GetCount(kTypeSelector), 2);
    EXPECT_EQ(dialog_.GetItemText(kTypeSelector, 0), L"Set browse password");
    EXPECT_EQ(dialog_.GetItemText(kTypeSelector, 1), L"Set user password");
    EXPECT_EQ(dialog_.GetCurSel(kTypeSelector), 0);
}

TEST_F(PwdTest, OnlySixDigitsCanBeTyped) {
    for (int id : {kCurrent, kNew, kNewAgain, kBrowse, kBrowseAgain}) {
        ASSERT_TRUE(Type(dialog_, id, L"1a2b3c4567")) << id;
        EXPECT_EQ(dialog_.GetDlgItemText(id), L"123456") << id;
        EXPECT_TRUE(dialog_.IsPasswordStyle(id)) << id;
        EXPECT_EQ(dialog_.GetTextLimit(id), 6) << id;
    }
}

TEST_F(PwdTest, ModifyChecksInOrderAndFocusesTheBoxToCorrect) {
    struct Case {
        std::wstring current, next, again;
        std::wstring message;
        int focus;
    };
    const Case cases[] = {
        {L"", L"", L"", kInput, kCurrent},
        {L"", L"654321", L"654321", kInput, kCurrent},
        {L"123456", L"", L"654321", kInputNew, kNew},
        {L"123456", L"654321", L"65432", kMismatch, kNew},  // before any length check
        {L"12345", L"654321", L"65432", kMismatch, kNew},
        {L"12345", L"654321", L"654321", kLength, kCurrent},
        {L"123456", L"65432", L"65432", kLength, kNew},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.current.begin(), c.current.end()) + "/" +
                     std::string(c.next.begin(), c.next.end()) + "/" +
                     std::string(c.again.begin(), c.again.end()));
        backend_->ClearMessages();
        focusAtMessage_.clear();
        Fill({{kCurrent, c.current}, {kNew, c.next}, {kNewAgain, c.again}});
        ASSERT_TRUE(Click(dialog_, kModify));
        EXPECT_EQ(Messages(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(dialog_.GetFocusId(), c.focus);
        // The length checks move the focus before they speak; the others speak while the
        // clicked button holds it.
        EXPECT_EQ(focusAtMessage_[0], c.message == kLength ? c.focus : kModify);
        EXPECT_EQ(dialog_.GetDlgItemText(kNewAgain), c.again);
    }
    EXPECT_EQ(PasswordCommands(), 0);
}

TEST_F(PwdTest, ApplyChecksInOrderAndFocusesTheBrowseBox) {
    struct Case {
        std::wstring password, again;
        std::wstring message;
    };
    const Case cases[] = {
        {L"", L"222222", kInput},
        {L"222222", L"22222", kMismatch},
        {L"22222", L"22222", kLength},
    };
    for (const Case& c : cases) {
        backend_->ClearMessages();
        focusAtMessage_.clear();
        Fill({{kBrowse, c.password}, {kBrowseAgain, c.again}});
        ASSERT_TRUE(Click(dialog_, kApply));
        EXPECT_EQ(Messages(), std::vector<std::wstring>{c.message});
        EXPECT_EQ(dialog_.GetFocusId(), kBrowse);
        EXPECT_EQ(focusAtMessage_[0], c.message == kLength ? kBrowse : kApply);
    }
    EXPECT_EQ(PasswordCommands(), 0);
}

TEST_F(PwdTest, ASuccessfulLoginChangeEmptiesTheThreeBoxes) {
    Fill({{kCurrent, L"123456"}, {kNew, L"654321"}, {kNewAgain, L"654321"}});
    ASSERT_TRUE(Click(dialog_, kModify));
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"OK"});
    for (int id : {kCurrent, kNew, kNewAgain})
        EXPECT_EQ(dialog_.GetDlgItemText(id), L"") << id;
    EXPECT_EQ(camera_->snapshot().loginPassword, "654321");
}

TEST_F(PwdTest, ARefusedLoginChangeKeepsTheBoxes) {
    Fill({{kCurrent, L"000000"}, {kNew, L"654321"}, {kNewAgain, L"654321"}});
    ASSERT_TRUE(Click(dialog_, kModify));
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"Failed!"});
    EXPECT_EQ(dialog_.GetDlgItemText(kCurrent), L"000000");
    EXPECT_EQ(dialog_.GetDlgItemText(kNewAgain), L"654321");
    EXPECT_EQ(camera_->snapshot().loginPassword, "123456");
}

TEST_F(PwdTest, ABrowseChangeKeepsItsTwoBoxes) {
    Fill({{kBrowse, L"246810"}, {kBrowseAgain, L"246810"}});
    ASSERT_TRUE(Click(dialog_, kApply));
    EXPECT_EQ(Messages(), std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(dialog_.GetDlgItemText(kBrowse), L"246810");
    EXPECT_EQ(dialog_.GetDlgItemText(kBrowseAgain), L"246810");
    EXPECT_EQ(camera_->snapshot().browsePassword, "246810");
}

TEST_F(PwdTest, WithoutACameraNothingIsSentAndBothPartsFail) {
    drives_->server('E').unplug();
    camera_->clearReceived();
    Fill({{kCurrent, L"123456"}, {kNew, L"654321"}, {kNewAgain, L"654321"}});
    Fill({{kBrowse, L"246810"}, {kBrowseAgain, L"246810"}});
    ASSERT_TRUE(Click(dialog_, kModify));
    ASSERT_TRUE(Click(dialog_, kApply));
    EXPECT_EQ(Messages(), (std::vector<std::wstring>{L"Failed!", L"Failed!"}));
    EXPECT_TRUE(camera_->snapshot().received.empty());
    EXPECT_EQ(dialog_.GetDlgItemText(kCurrent), L"123456");
}

TEST(PwdFromMainWindow, ModifyRunsTheDialogModallyOverTheMainWindow) {
    ui::headless::ScopedBackend backend;
    testsupport::EmulatedDrives drives;
    LangTable().SelectStartupLanguage(L"ENG");
    camsim::CameraState state;
    state.loginPassword = "123456";
    auto& camera = drives.add('E', state);
    CMainDlg window;
    ASSERT_TRUE(window.Create());
    ASSERT_TRUE(ui::headless::FireTimer(window, CMainDlg::kWatchTimer));

    int runs = 0;
    backend->onModal = [&](ui::Dialog& dialog) {
        ++runs;
        EXPECT_EQ(dialog.TemplateId(), 109);
        EXPECT_EQ(dialog.ModalOwner(), &window);
        EXPECT_EQ(dialog.GetWindowText(), L"Change password");
        EXPECT_TRUE(Type(dialog, kCurrent, L"123456"));
        EXPECT_TRUE(Type(dialog, kNew, L"135790"));
        EXPECT_TRUE(Type(dialog, kNewAgain, L"135790"));
        EXPECT_TRUE(Click(dialog, kModify));
        EXPECT_TRUE(Click(dialog, kCancel));
        return ui::kIdOk;
    };
    ASSERT_TRUE(Click(window, ids::mainwindow::kModifyButton));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(camera.snapshot().loginPassword, "135790");
    ASSERT_EQ(backend->Messages().size(), 1u);
    EXPECT_EQ(backend->Messages()[0].text, L"OK");
}

}  // namespace
