// What the page and dialog tests share: the payloads a camera received, and a fixture with the
// English table, the headless backend that records message boxes, and emulated cameras.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "res/control_ids.h"
#include "support/emulated_cameras.h"
#include "text/langtable.h"
#include "ui/headless.h"

// The payloads the camera received for one sub-command, oldest first.
inline std::vector<std::vector<uint8_t>> receivedPayloads(camsim::CameraModel& camera,
                                                          uint16_t sub) {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& r : camera.snapshot().received) {
        if (r.subCommand == sub)
            out.push_back(r.payload);
    }
    return out;
}

// Every message box of the program is captioned with its name.
constexpr const wchar_t* kCaption = L"Orvane";

class PageTest : public ::testing::Test {
  protected:
    void SetUp() override { LangTable().SelectStartupLanguage(L"ENG"); }

    // The texts of the message boxes so far. Each must carry the caption and,
    // unless ownerTemplate is 0, belong to a dialog of that template.
    std::vector<std::wstring> MessageTexts(int ownerTemplate = 0) {
        std::vector<std::wstring> texts;
        for (const auto& message : backend_->Messages()) {
            EXPECT_EQ(message.caption, kCaption);
            if (ownerTemplate != 0) {
                EXPECT_EQ(message.ownerTemplate, ownerTemplate);
            }
            texts.push_back(message.text);
        }
        return texts;
    }

    // Exactly one message box so far, with this text and style and, unless ownerTemplate is 0,
    // over a dialog of that template.
    void ExpectOneMessage(const std::wstring& text, unsigned style = ui::kMbOk,
                          int ownerTemplate = 0) {
        ASSERT_EQ(backend_->Messages().size(), 1u);
        EXPECT_EQ(backend_->Messages()[0].text, text);
        EXPECT_EQ(backend_->Messages()[0].caption, kCaption);
        EXPECT_EQ(backend_->Messages()[0].style, style);
        if (ownerTemplate != 0) {
            EXPECT_EQ(backend_->Messages()[0].ownerTemplate, ownerTemplate);
        }
    }

    // Cameras of their own, for each case of a table.
    void ResetDrives() {
        drives_.reset();
        drives_ = std::make_unique<testsupport::EmulatedDrives>();
    }

    ui::headless::ScopedBackend backend_;
    std::unique_ptr<testsupport::EmulatedDrives> drives_ =
        std::make_unique<testsupport::EmulatedDrives>();
};
