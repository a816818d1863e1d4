// The per-model dialogs behind the parameter page's More button, on the headless backend with the
// real library and an in-process emulated camera: the RK20 full settings, the RK40 and RK50 extra
// settings, and which dialog each model code opens.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dalvex.h"
#include "devicestate.h"
#include "mainwindow.h"
#include "pages/more_dialogs.h"
#include "pages/moreparam.h"
#include "pages/param.h"
#include "pages/rk40more.h"
#include "pages/rk50more.h"
#include "support/emulated_cameras.h"
#include "tests/page_test.h"
#include "text/langtable.h"
#include "text/text.h"
#include "ui/headless.h"

namespace {

using Bytes = std::vector<uint8_t>;
using ui::headless::Click;
using ui::headless::SelectByUser;
using ui::headless::Type;

constexpr int kStillOpen = -7;  // what a modal run returns when the dialog did not end itself
using namespace ids::rk20;
// The RK40 and RK50 dialogs give Setting and Cancel the same numbers.
using ids::rk40::kSetting;
constexpr int kCancelButton = ids::rk40::kCancel;
using ids::rk50::kPlate;
constexpr uint16_t kRk20Read = 0xF218, kRk20Write = 0xF219, kStringInfo = 0xF21B;
constexpr uint16_t kUseDefault = 0xF005, kShutdown = 0xF002;
constexpr uint16_t kConfigRead = 0xF23E, kConfigWrite = 0xF23F;

// The lists of the RK20 dialog that carry a record byte, in record order.
constexpr int kBoundLists[17] = {
    kResolution,        kRecordOverwrite, kRecordFileSize, kMotionDetection, kGSensor,
    kOverSpeed,         kPreRecord,       kCarMode,        kAutoPowerOff,    kDateFormat,
    kGpsAutoUpdateTime, kGmtSetup,        kDstSetup,       kLanguage,        kVolume,
    kIndicator,         kVideoOn};

struct Message {
    std::wstring text;
    unsigned style;
    bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Message& m) {
    return out << text::ToAnsi(m.text) << " (style " << m.style << ")";
}

const Message kSureChange{L"Sure to change?", ui::kMbOkCancel};
const Message kSureDefault{L"Confirm recovery default settings?", ui::kMbOkCancel};
const Message kModifySuccess{L"Modify success!", ui::kMbOk};
const Message kModifyFailed{L"Failed to modify!", ui::kMbOk};
const Message kGetFailed{L"Failed to get info!", ui::kMbOk};

class ModelDialogTest : public PageTest {
  protected:
    camsim::CameraModel& Plug(uint8_t model) {
        camsim::CameraState state;
        state.modelCode = model;
        state.serial = "SN20000001";
        // The camera stays on the bus after a shutdown: these tests look at what was sent, and a
        // drive that vanishes and comes back mid-test only adds timing to them.
        state.shutdownMilliseconds = 0;
        auto& camera = drives_->add('E', state);
        EXPECT_EQ(TKUSB_IsDevice(), 'E');
        camera.clearReceived();
        return camera;
    }

    void Store(camsim::CameraModel& camera, uint16_t readSub, Bytes record) {
        std::lock_guard<std::mutex> lock(camera.lock());
        camera.state().records[readSub] = std::move(record);
    }

    // Runs the dialog modally; the action plays the user. kStillOpen when the dialog did not end.
    int Run(ui::Dialog& dialog, std::function<void(ui::Dialog&)> action) {
        backend_->onModal = [action](ui::Dialog& d) {
            action(d);
            return kStillOpen;
        };
        return dialog.DoModal();
    }

    std::vector<Message> Messages() {
        std::vector<Message> messages;
        for (const auto& m : backend_->Messages()) {
            EXPECT_EQ(m.caption, kCaption);
            messages.push_back({m.text, m.style});
        }
        return messages;
    }

    static std::vector<uint16_t> Sent(camsim::CameraModel& camera) {
        std::vector<uint16_t> subs;
        for (const auto& r : camera.snapshot().received)
            subs.push_back(r.subCommand);
        return subs;
    }

    static Bytes LastPayload(camsim::CameraModel& camera, uint16_t sub) {
        const std::vector<Bytes> payloads = receivedPayloads(camera, sub);
        return payloads.empty() ? Bytes{} : payloads.back();
    }
};

// ---- RK20 full settings ------------------------------------------------------------------------

using Rk20Test = ModelDialogTest;

TEST_F(Rk20Test, ListsAreFilledByPositionAndARecordOfZerosSelectsTheFirstEntries) {
    auto& camera = Plug(48);
    Store(camera, kRk20Read, Bytes(32, 0));
    CDlgMorePararm dialog;
    const int result = Run(dialog, [](ui::Dialog& d) {
        EXPECT_EQ(d.GetWindowText(), L"Setting");
        struct Row {
            int id;
            int count;
            std::wstring first, last;
            bool enabled;
        };
        const Row rows[] = {
            {kResolution, 3, L"1920*1080/30F", L"848*480/30F", true},
            {kPhotoSize, 5, L"2M", L"16M", false},
            {kRecordOverwrite, 2, L"On", L"Off", true},
            {kRecordFileSize, 5, L"3 Minutes", L"30 Minutes", true},
            {kIrCut, 3, L"Manual", L"Disable", false},
            {kFlicker, 3, L"Auto", L"60Hz", false},
            {kMotionDetection, 2, L"Off", L"On", false},
            {kGSensor, 4, L"Off", L"High", true},
            {kOverSpeed, 28, L"Off", L"160", false},
            {kPreRecord, 2, L"Off", L"On", true},
            {kPostRecord, 2, L"Off", L"On", false},
            {kCarMode, 2, L"Off", L"On", true},
            {kVideoRotation, 3, L"Auto", L"180 degree", false},
            {kAutoLcdOff, 4, L"Off", L"3 min", false},
            {kAutoPowerOff, 9, L"Off", L"8 hr", true},
            {kMicMute, 4, L"Disable", L"60 sec", false},
            {kDateFormat, 3, L"DD-MM-YYYY", L"YYYY-MM-DD", true},
            {kGpsAutoUpdateTime, 2, L"Off", L"On", false},
            {kGmtSetup, 24, L"+0", L"-1", false},
            {kDstSetup, 2, L"Off", L"On", true},
            {kLanguage, 1, L"English", L"English", true},
            {kVolume, 4, L"Off", L"High", true},
            {kIndicator, 3, L"On", L"Stealth", true},
            {kRfRecord, 2, L"Off", L"On", false},
            {kAutoMsc, 2, L"Off", L"On", false},
            {kVideoOn, 2, L"On", L"Off", true},
        };
        for (const Row& row : rows) {
            SCOPED_TRACE(row.id);
            ASSERT_EQ(d.GetCount(row.id), row.count);
            EXPECT_EQ(d.GetItemText(row.id, 0), row.first);
            EXPECT_EQ(d.GetItemText(row.id, row.count - 1), row.last);
            EXPECT_EQ(d.IsControlEnabled(row.id), row.enabled);
            EXPECT_EQ(d.IsControlEnabled(row.id + kLabelOffset), row.enabled);  // its label
            const bool bound = std::find(std::begin(kBoundLists), std::end(kBoundLists), row.id) !=
                               std::end(kBoundLists);
            EXPECT_EQ(d.GetCurSel(row.id), bound ? 0 : -1);
        }
        EXPECT_EQ(d.GetItemText(kRecordFileSize, 2), L"10 Minutes");
        EXPECT_EQ(d.GetItemText(kAutoPowerOff, 6), L"1 hr");
        EXPECT_EQ(d.GetItemText(kGmtSetup, 12), L"+12");
        EXPECT_EQ(d.GetItemText(kOverSpeed, 2), L"35");
        EXPECT_FALSE(d.IsControlVisible(kDstSetup));
        EXPECT_FALSE(d.IsControlVisible(kDstSetup + kLabelOffset));
        EXPECT_EQ(d.GetDlgItemText(kResolution + kLabelOffset), L"Resolution:");
        // The emulated camera reports 30720 MB free of 32 GB, and its firmware.
        EXPECT_EQ(d.GetDlgItemText(kFreeSize), L"30720 MB");
        EXPECT_EQ(d.GetDlgItemText(kTotalSize), L"32 G");
        EXPECT_EQ(d.GetDlgItemText(kSerial), L"SN20000001");
        EXPECT_EQ(d.GetDlgItemText(kFirmware), L"EMU_FW_1.0.0");
        EXPECT_EQ(d.GetDlgItemText(kOfficerId), L"100001");
    });
    EXPECT_EQ(result, kStillOpen);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kRk20Read, kStringInfo}));
}

TEST_F(Rk20Test, StoredValuesSelectTheirPositionsAndValuesBeyondAListSelectNothing) {
    struct Case {
        int byte;
        uint8_t value;
        int list;
        std::wstring shown;  // empty: no selection
    };
    const Case cases[] = {
        {11, 13, kGmtSetup, L"-11"},        {11, 23, kGmtSetup, L"-1"},
        {11, 12, kGmtSetup, L"+12"},        {11, 24, kGmtSetup, L""},
        {5, 1, kOverSpeed, L"30"},          {5, 27, kOverSpeed, L"160"},
        {5, 28, kOverSpeed, L""},           {0, 2, kResolution, L"848*480/30F"},
        {0, 3, kResolution, L""},           {16, 255, kVideoOn, L""},
        {9, 0, kDateFormat, L"DD-MM-YYYY"}, {15, 2, kIndicator, L"Stealth"},
    };
    auto& camera = Plug(48);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "byte " << c.byte << " value " << int(c.value));
        Bytes record(32, 0);
        record[size_t(c.byte)] = c.value;
        Store(camera, kRk20Read, record);
        CDlgMorePararm dialog;
        Run(dialog, [&](ui::Dialog& d) {
            const int selection = d.GetCurSel(c.list);
            if (c.shown.empty()) {
                EXPECT_EQ(selection, -1);
            } else {
                ASSERT_GE(selection, 0);
                EXPECT_EQ(d.GetItemText(c.list, selection), c.shown);
            }
        });
    }
}

TEST_F(Rk20Test, IdentityTextsEndWithTheirFields) {
    auto& camera = Plug(48);
    camera.setHandler(kStringInfo, [](camsim::CameraState&, const camsim::Command&) {
        camsim::Reply reply;
        reply.data.assign(124, 0);
        const int32_t free = 1234, total = 64;
        std::memcpy(reply.data.data(), &free, 4);
        std::memcpy(reply.data.data() + 4, &total, 4);
        std::memset(reply.data.data() + 8, 'A', 20);   // no terminator in its field
        std::memset(reply.data.data() + 28, 'B', 24);  // nor here
        std::memset(reply.data.data() + 52, 'C', 72);  // nor at the end of the record
        return reply;
    });
    CDlgMorePararm dialog;
    Run(dialog, [](ui::Dialog& d) {
        EXPECT_EQ(d.GetDlgItemText(kFreeSize), L"1234 MB");
        EXPECT_EQ(d.GetDlgItemText(kTotalSize), L"64 G");
        EXPECT_EQ(d.GetDlgItemText(kOfficerId), std::wstring(20, L'A'));
        EXPECT_EQ(d.GetDlgItemText(kSerial), std::wstring(24, L'B'));
        EXPECT_EQ(d.GetDlgItemText(kFirmware), std::wstring(72, L'C'));
    });
}

TEST_F(Rk20Test, AFailedReadReportsAndLeavesTheListsAsTheyAre) {
    auto& camera = Plug(48);
    Bytes record(32, 1);
    Store(camera, kRk20Read, record);
    drives_->server('E').injectFault(camsim::Fault::kPassFail);
    CDlgMorePararm dialog;
    Run(dialog, [&](ui::Dialog& d) {
        // Opening: nothing selected, and the sizes and texts are not read.
        EXPECT_EQ(Messages(), std::vector<Message>{kGetFailed});
        for (int id : kBoundLists)
            EXPECT_EQ(d.GetCurSel(id), -1) << id;
        EXPECT_EQ(d.GetDlgItemText(kSerial), L"");
        EXPECT_EQ(d.GetDlgItemText(kFreeSize), L"");

        ASSERT_TRUE(Click(d, kRefresh));
        EXPECT_EQ(d.GetCurSel(kResolution), 1);
        EXPECT_EQ(d.GetDlgItemText(kSerial), L"SN20000001");

        // A failed Refresh keeps the selections the user made.
        ASSERT_TRUE(SelectByUser(d, kResolution, 2));
        drives_->server('E').injectFault(camsim::Fault::kPassFail);
        ASSERT_TRUE(Click(d, kRefresh));
        EXPECT_EQ(d.GetCurSel(kResolution), 2);
        EXPECT_EQ(d.GetCurSel(kRecordOverwrite), 1);
    });
    EXPECT_EQ(Messages(), (std::vector<Message>{kGetFailed, kGetFailed}));
    // Commands that met the fault never reached the camera.
    EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kRk20Read, kStringInfo}));
}

TEST_F(Rk20Test, CancellingTheConfirmationSendsNothing) {
    auto& camera = Plug(48);
    CDlgMorePararm dialog;
    const int result = Run(dialog, [&](ui::Dialog& d) {
        camera.clearReceived();
        backend_->QueueAnswer(ui::kIdCancel);
        ASSERT_TRUE(Click(d, kOk));
        backend_->QueueAnswer(ui::kIdCancel);
        ASSERT_TRUE(Click(d, kDefaultSetting));
        EXPECT_TRUE(Sent(camera).empty());
    });
    EXPECT_EQ(result, kStillOpen);
    EXPECT_EQ(Messages(), (std::vector<Message>{kSureChange, kSureDefault}));
}

TEST_F(Rk20Test, OkWritesThePositionsVerifiesAllBytesAndShutsTheCameraDown) {
    auto& camera = Plug(48);
    Bytes stored(32, 0);
    for (int i = 0; i < 17; ++i)
        stored[size_t(i)] = uint8_t(i % 2);
    stored[5] = 40;  // beyond the over-speed list: goes back as "none"
    stored[12] = 1;  // the hidden DST list keeps what the camera holds
    Store(camera, kRk20Read, stored);
    CDlgMorePararm dialog;
    const int result = Run(dialog, [&](ui::Dialog& d) {
        ASSERT_TRUE(SelectByUser(d, kResolution, 2));
        ASSERT_TRUE(SelectByUser(d, kAutoPowerOff, 8));
        ASSERT_TRUE(SelectByUser(d, kIndicator, 2));
        EXPECT_FALSE(SelectByUser(d, kGmtSetup, 3));  // disabled
        camera.clearReceived();
        ASSERT_TRUE(Click(d, kOk));
    });
    EXPECT_EQ(result, ui::kIdOk);
    Bytes expected = stored;
    expected[0] = 2;
    expected[5] = 255;
    expected[8] = 8;
    expected[13] = 255;  // the language list has one entry
    expected[15] = 2;
    EXPECT_EQ(LastPayload(camera, kRk20Write), expected);
    EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kRk20Write, kRk20Read, kShutdown}));
    EXPECT_EQ(Messages(), (std::vector<Message>{kSureChange, kModifySuccess}));
}

TEST_F(Rk20Test, ACameraThatChangesAnyByteGetsAFailureAndNoShutdown) {
    for (int byte : {3, 16, 17, 31}) {
        SCOPED_TRACE(byte);
        backend_->ClearMessages();
        auto& camera = Plug(48);
        camera.setHandler(kRk20Write, [byte](camsim::CameraState& s, const camsim::Command& c) {
            Bytes record(c.dataOut, c.dataOut + 32);
            record[size_t(byte)] ^= 0x40;
            s.records[kRk20Read] = record;
            return camsim::Reply{};
        });
        CDlgMorePararm dialog;
        const int result = Run(dialog, [&](ui::Dialog& d) {
            camera.clearReceived();
            ASSERT_TRUE(Click(d, kOk));
        });
        EXPECT_EQ(result, ui::kIdOk);
        EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kRk20Write, kRk20Read}));
        EXPECT_EQ(Messages(), (std::vector<Message>{kSureChange, kModifyFailed}));
    }
}

TEST_F(Rk20Test, DefaultSettingAsksThenReportsAndCloses) {
    struct Case {
        bool refused;
        Message outcome;
    };
    for (const Case& c : {Case{false, kModifySuccess}, Case{true, kModifyFailed}}) {
        SCOPED_TRACE(c.refused);
        backend_->ClearMessages();
        auto& camera = Plug(48);
        CDlgMorePararm dialog;
        const int result = Run(dialog, [&](ui::Dialog& d) {
            camera.clearReceived();
            if (c.refused)
                drives_->server('E').injectFault(camsim::Fault::kRefuse);
            ASSERT_TRUE(Click(d, kDefaultSetting));
        });
        EXPECT_EQ(result, ui::kIdOk);
        // Nothing is reloaded and the camera is not restarted (a refused command never
        // reaches the camera's records).
        EXPECT_EQ(Sent(camera),
                  c.refused ? std::vector<uint16_t>{} : std::vector<uint16_t>{kUseDefault});
        EXPECT_EQ(Messages(), (std::vector<Message>{kSureDefault, c.outcome}));
    }
}

TEST_F(Rk20Test, CancelClosesWithoutSending) {
    auto& camera = Plug(48);
    CDlgMorePararm dialog;
    const int result = Run(dialog, [&](ui::Dialog& d) {
        camera.clearReceived();
        ASSERT_TRUE(Click(d, kCancel));
    });
    EXPECT_EQ(result, ui::kIdCancel);
    EXPECT_TRUE(Sent(camera).empty());
    EXPECT_TRUE(Messages().empty());
}

// ---- RK40 extra settings -----------------------------------------------------------------------

using Rk40Test = ModelDialogTest;

TEST_F(Rk40Test, StoredValuesSelectTheirEntries) {
    struct Case {
        uint8_t volume, ir, loop;
        std::wstring volumeShown, irShown, loopShown;
    };
    const Case cases[] = {
        {0, 0, 0, L"Off", L"Auto", L"Off"},      {1, 1, 1, L"Low", L"Manual", L"On"},
        {4, 2, 2, L"Low", L"Auto", L"Off"},      {5, 255, 7, L"High", L"Auto", L"Off"},
        {6, 1, 0, L"Normal", L"Manual", L"Off"}, {7, 0, 1, L"High", L"Auto", L"On"},
        {10, 0, 0, L"High", L"Auto", L"Off"},    {255, 0, 0, L"High", L"Auto", L"Off"},
        {2, 0, 0, L"Low", L"Auto", L"Off"},
    };
    auto& camera = Plug(208);
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.volume));
        Bytes record(128, 0);
        record[0] = c.volume;
        record[1] = c.ir;
        record[15] = c.loop;
        Store(camera, kConfigRead, record);
        CDlgRK40MoreSetting dialog;
        Run(dialog, [&](ui::Dialog& d) {
            EXPECT_EQ(d.GetItemText(ids::rk40::kVolumeList, d.GetCurSel(ids::rk40::kVolumeList)),
                      c.volumeShown);
            EXPECT_EQ(d.GetItemText(ids::rk40::kIrList, d.GetCurSel(ids::rk40::kIrList)),
                      c.irShown);
            EXPECT_EQ(d.GetItemText(ids::rk40::kLoopList, d.GetCurSel(ids::rk40::kLoopList)),
                      c.loopShown);
        });
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Rk40Test, TheDialogIsLabelledAndListsItsEntries) {
    Plug(208);
    CDlgRK40MoreSetting dialog;
    Run(dialog, [](ui::Dialog& d) {
        EXPECT_EQ(d.GetWindowText(), L"More");
        EXPECT_EQ(d.GetDlgItemText(ids::rk40::kVolumeLabel), L"Volume");
        EXPECT_EQ(d.GetDlgItemText(ids::rk40::kLoopLabel), L"Recycle Recording");
        EXPECT_EQ(d.GetDlgItemText(kSetting), L"Setting");
        const std::vector<std::pair<int, std::vector<std::wstring>>> lists = {
            {ids::rk40::kVolumeList, {L"Off", L"Low", L"Normal", L"High"}},
            {ids::rk40::kIrList, {L"Auto", L"Manual"}},
            {ids::rk40::kLoopList, {L"Off", L"On"}},
        };
        for (const auto& [id, entries] : lists) {
            std::vector<std::wstring> shown;
            for (int i = 0; i < d.GetCount(id); ++i)
                shown.push_back(d.GetItemText(id, i));
            EXPECT_EQ(shown, entries) << id;
        }
    });
}

TEST_F(Rk40Test, SettingWritesTheMappedBytesAndComparesAllOfThem) {
    struct Case {
        int volume, ir, loop;
        uint8_t volumeByte;
    };
    const Case cases[] = {{3, 1, 1, 10}, {2, 0, 0, 6}, {1, 1, 0, 2}, {0, 0, 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.volume);
        backend_->ClearMessages();
        auto& camera = Plug(208);
        Bytes junk(128, 0x33);  // the dialog starts from a cleared record, not from this
        Store(camera, kConfigRead, junk);
        CDlgRK40MoreSetting dialog;
        const int result = Run(dialog, [&](ui::Dialog& d) {
            ASSERT_TRUE(SelectByUser(d, ids::rk40::kVolumeList, c.volume));
            ASSERT_TRUE(SelectByUser(d, ids::rk40::kIrList, c.ir));
            ASSERT_TRUE(SelectByUser(d, ids::rk40::kLoopList, c.loop));
            camera.clearReceived();
            ASSERT_TRUE(Click(d, kSetting));
        });
        EXPECT_EQ(result, ui::kIdOk);
        Bytes expected(128, 0);
        expected[0] = c.volumeByte;
        expected[1] = uint8_t(c.ir);
        expected[15] = uint8_t(c.loop);
        EXPECT_EQ(LastPayload(camera, kConfigWrite), expected);
        EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kConfigWrite, kConfigRead}));
        EXPECT_EQ(Messages(), std::vector<Message>{kModifySuccess});
    }
}

TEST_F(Rk40Test, AChangeAnywhereInTheRecordIsAFailure) {
    for (int byte : {0, 16, 127}) {
        SCOPED_TRACE(byte);
        backend_->ClearMessages();
        auto& camera = Plug(208);
        camera.setHandler(kConfigWrite, [byte](camsim::CameraState& s, const camsim::Command& c) {
            Bytes record(c.dataOut, c.dataOut + 128);
            record[size_t(byte)] ^= 0x01;
            s.records[kConfigRead] = record;
            return camsim::Reply{};
        });
        CDlgRK40MoreSetting dialog;
        EXPECT_EQ(Run(dialog, [](ui::Dialog& d) { ASSERT_TRUE(Click(d, kSetting)); }), ui::kIdOk);
        EXPECT_EQ(Messages(), std::vector<Message>{kModifyFailed});
    }
}

TEST_F(Rk40Test, AFailedLoadLeavesNoSelectionAndSettingStillWorks) {
    auto& camera = Plug(208);
    drives_->server('E').injectFault(camsim::Fault::kPassFail);
    CDlgRK40MoreSetting dialog;
    const int result = Run(dialog, [&](ui::Dialog& d) {
        EXPECT_EQ(Messages(), std::vector<Message>{kGetFailed});
        for (int id : {ids::rk40::kVolumeList, ids::rk40::kIrList, ids::rk40::kLoopList})
            EXPECT_EQ(d.GetCurSel(id), -1) << id;
        camera.clearReceived();
        ASSERT_TRUE(ui::headless::PressEnter(d));  // "Setting" is the default button
    });
    EXPECT_EQ(result, ui::kIdOk);
    Bytes expected(128, 0);
    expected[0] = 6;  // no volume chosen: normal
    expected[1] = 0xFF;
    expected[15] = 0xFF;
    EXPECT_EQ(LastPayload(camera, kConfigWrite), expected);
    EXPECT_EQ(Messages(), (std::vector<Message>{kGetFailed, kModifySuccess}));
}

TEST_F(Rk40Test, CancelClosesWithoutSending) {
    auto& camera = Plug(208);
    CDlgRK40MoreSetting dialog;
    const int result = Run(dialog, [&](ui::Dialog& d) {
        camera.clearReceived();
        ASSERT_TRUE(Click(d, kCancelButton));
    });
    EXPECT_EQ(result, ui::kIdCancel);
    EXPECT_TRUE(Sent(camera).empty());
}

// ---- RK50 extra settings -----------------------------------------------------------------------

using Rk50Test = ModelDialogTest;

Bytes PlateRecord(const std::string& plate) {
    Bytes record(128, 0);
    std::memcpy(record.data() + 3, plate.data(), plate.size());
    return record;
}

TEST_F(Rk50Test, LoadShowsThePlateUpToTheEndOfItsField) {
    struct Case {
        Bytes record;
        std::wstring shown;
    };
    Bytes unterminated = PlateRecord(std::string(13, 'X'));
    unterminated[16] = 'Y';  // past the field: not part of the plate
    const Case cases[] = {
        {PlateRecord("AB-123"), L"AB-123"},
        {unterminated, std::wstring(13, L'X')},
        {Bytes(128, 0), L""},
    };
    auto& camera = Plug(240);
    for (const Case& c : cases) {
        Store(camera, kConfigRead, c.record);
        CDlgRK50MoreSetting dialog;
        Run(dialog, [&](ui::Dialog& d) {
            EXPECT_EQ(d.GetWindowText(), L"More");
            EXPECT_EQ(d.GetDlgItemText(ids::rk50::kPlateLabel), L"Plate");
            EXPECT_EQ(d.GetDlgItemText(kPlate), c.shown);
        });
    }
    EXPECT_TRUE(Messages().empty());
}

TEST_F(Rk50Test, SettingCutsThePlateToTwelveCharactersInTheEditAndOnTheCamera) {
    struct Case {
        std::wstring typed, kept;
        std::string sent;
    };
    const Case cases[] = {
        {L"ABCDEFGHIJKLMNO", L"ABCDEFGHIJKL", "ABCDEFGHIJKL"},
        {L"XY-9", L"XY-9", "XY-9"},
        {L"", L"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::ToAnsi(c.typed));
        backend_->ClearMessages();
        auto& camera = Plug(240);
        Store(camera, kConfigRead, PlateRecord("OLD"));
        CDlgRK50MoreSetting dialog;
        const int result = Run(dialog, [&](ui::Dialog& d) {
            ASSERT_TRUE(Type(d, kPlate, c.typed));
            camera.clearReceived();
            ASSERT_TRUE(Click(d, kSetting));
            EXPECT_EQ(d.GetDlgItemText(kPlate), c.kept);
        });
        EXPECT_EQ(result, ui::kIdOk);
        EXPECT_EQ(LastPayload(camera, kConfigWrite), PlateRecord(c.sent));
        EXPECT_EQ(Sent(camera), (std::vector<uint16_t>{kConfigWrite, kConfigRead}));
        EXPECT_EQ(Messages(), std::vector<Message>{kModifySuccess});
    }
}

// Twelve characters of two bytes each do not fit the 13-byte field: it keeps whole characters
// and its terminator, nothing spills into the bytes after it, and the cut is reported.
TEST_F(Rk50Test, APlateOfWideCharactersKeepsWholeCharactersInItsFieldAndFails) {
    const char* saved = std::getenv("LC_ALL");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    auto& camera = Plug(240);
    CDlgRK50MoreSetting dialog;
    const std::wstring typed(12, L'\u00E9');
    Run(dialog, [&](ui::Dialog& d) {
        ASSERT_TRUE(Type(d, kPlate, typed));
        ASSERT_TRUE(Click(d, kSetting));
        EXPECT_EQ(d.GetDlgItemText(kPlate), typed);
    });
    std::string sent;
    for (int i = 0; i < 6; ++i)
        sent += "\xC3\xA9";
    EXPECT_EQ(LastPayload(camera, kConfigWrite), PlateRecord(sent));
    EXPECT_EQ(Messages(), std::vector<Message>{kModifyFailed});
    if (saved != nullptr)
        setenv("LC_ALL", previous.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST_F(Rk50Test, OnlyThePlateTextIsCompared) {
    struct Case {
        int changedByte;
        Message outcome;
    };
    // Bytes outside the text do not count; a changed character or a lost terminator does.
    const Case cases[] = {
        {0, kModifySuccess}, {100, kModifySuccess}, {4, kModifyFailed}, {9, kModifyFailed}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.changedByte);
        backend_->ClearMessages();
        auto& camera = Plug(240);
        camera.setHandler(kConfigWrite, [c](camsim::CameraState& s, const camsim::Command& cmd) {
            Bytes record(cmd.dataOut, cmd.dataOut + 128);
            record[size_t(c.changedByte)] = 'Z';
            s.records[kConfigRead] = record;
            return camsim::Reply{};
        });
        CDlgRK50MoreSetting dialog;
        Run(dialog, [&](ui::Dialog& d) {
            ASSERT_TRUE(Type(d, kPlate, L"PL8-21"));  // the terminator is byte 9
            ASSERT_TRUE(Click(d, kSetting));
        });
        EXPECT_EQ(Messages(), std::vector<Message>{c.outcome});
    }
}

TEST_F(Rk50Test, AFailedLoadOrReadBackIsReported) {
    auto& camera = Plug(240);
    drives_->server('E').injectFault(camsim::Fault::kPassFail);
    CDlgRK50MoreSetting dialog;
    Run(dialog, [&](ui::Dialog& d) {
        EXPECT_EQ(d.GetDlgItemText(kPlate), L"");
        ASSERT_TRUE(Type(d, kPlate, L"AB1"));
        camera.clearReceived();
        // The write is answered, the read-back is not.
        camera.setHandler(kConfigWrite, [&](camsim::CameraState&, const camsim::Command&) {
            drives_->server('E').injectFault(camsim::Fault::kPassFail);
            return camsim::Reply{};
        });
        ASSERT_TRUE(Click(d, kSetting));
    });
    EXPECT_EQ(Messages(), (std::vector<Message>{kGetFailed, kModifyFailed}));
}

// ---- The More button ---------------------------------------------------------------------------

TEST_F(ModelDialogTest, EachModelCodeOpensItsOwnDialog) {
    struct Case {
        int model;
        std::vector<int> opened;
    };
    const Case cases[] = {{48, {138}}, {208, {146}}, {240, {147}}, {16, {}}, {0, {}}, {33, {}}};
    Plug(48);
    ui::Dialog owner(102);
    ASSERT_TRUE(owner.Create());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        std::vector<int> opened;
        backend_->onModal = [&](ui::Dialog& d) {
            opened.push_back(d.TemplateId());
            EXPECT_EQ(d.ModalOwner(), &owner);
            return ui::kIdCancel;
        };
        RunMoreDialog(&owner, c.model);
        EXPECT_EQ(opened, c.opened);
    }
}

// The user's road: log in on the main window, then More on the parameter page. The RK20 learns its
// model code only at the login, and its dialog must still be offered.
TEST_F(ModelDialogTest, MoreOnTheParameterPageOpensTheModelsDialogAfterALogin) {
    struct Case {
        uint8_t model;
        bool moreOffered;
        std::vector<int> opened;
    };
    const Case cases[] = {
        {48, true, {138}}, {208, true, {146}}, {240, true, {147}}, {16, false, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.model));
        camsim::CameraState state;
        state.modelCode = c.model;
        state.loginPassword = "123456";
        drives_->add('E', state);
        CMainDlg window;
        ASSERT_TRUE(window.Create());
        ASSERT_TRUE(ui::headless::FireTimer(window, CMainDlg::kWatchTimer));
        ASSERT_TRUE(Type(window, ids::mainwindow::kPasswordBox, L"123456"));
        ASSERT_TRUE(Click(window, ids::mainwindow::kLoginButton));
        ASSERT_EQ(CurrentModelCode(), c.model);

        std::vector<int> opened;
        backend_->onModal = [&](ui::Dialog& d) {
            opened.push_back(d.TemplateId());
            EXPECT_EQ(d.ModalOwner(), &window);  // over the main window, not the page
            return ui::kIdCancel;
        };
        EXPECT_EQ(Click(window.Page<CDlgParam>(), ids::param::kMore), c.moreOffered);
        EXPECT_EQ(opened, c.opened);
        backend_->onModal = nullptr;
    }
}

}  // namespace
