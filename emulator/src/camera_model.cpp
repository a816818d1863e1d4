#include "camsim/camera_model.h"

#include <algorithm>
#include <cstring>
#include "byte_order.h"

namespace camsim {

namespace bytes = dalvex::bytes;

namespace {

constexpr uint8_t kVendorOpcode = 0xB8;
constexpr uint8_t kReadCapacity10 = 0x25;
constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint32_t kBlockLength = 512;

// Drops the oldest entries beyond the log's bounds; the newest is always kept.
void trimReceived(std::vector<CameraState::Received>& log) {
    size_t keep = 0, bytes = 0;
    for (auto it = log.rbegin(); it != log.rend() && keep < kReceivedLogEntries; ++it) {
        bytes += it->payload.size();
        if (keep > 0 && bytes > kReceivedLogBytes)
            break;
        ++keep;
    }
    log.erase(log.begin(), log.end() - ptrdiff_t(keep));
}

}  // namespace

std::vector<uint8_t> textBlock(const std::string& text, size_t size) {
    std::vector<uint8_t> block(size, 0);
    std::memcpy(block.data(), text.data(), std::min(text.size(), size));
    return block;
}

void installIdentityHandlers(std::map<uint16_t, CameraModel::Handler>& handlers) {
    handlers[0xF103] = [](CameraState& s, const Command&) {
        return Reply{kStatusGood, textBlock(s.description, 32)};
    };
    handlers[0xF20F] = [](CameraState& s, const Command&) {
        return Reply{kStatusGood, textBlock(s.serial, 32)};
    };
}

CameraModel::CameraModel() : CameraModel(CameraState{}) {}

CameraModel::CameraModel(CameraState initial) : state_(std::move(initial)) {
    installHandlers();
}

void CameraModel::installHandlers() {
    installIdentityHandlers(handlers_);
    installVendorHandlers(handlers_);
}

void CameraModel::setHandler(uint16_t subCommand, Handler handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    handlers_[subCommand] = std::move(handler);
}

CameraState CameraModel::snapshot() {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_;
}

CameraState CameraModel::snapshotToSave() {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<CameraState::Received> log = std::move(state_.received);
    state_.received.clear();
    CameraState copy = state_;
    state_.received = std::move(log);
    return copy;
}

void CameraModel::clearReceived() {
    std::lock_guard<std::mutex> guard(mutex_);
    state_.received.clear();
}

uint64_t CameraModel::totalSizeBytes() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (state_.massStorage) {
        return state_.cardCapacityMiB << 20;
    }
    return uint64_t(state_.commandDiskBlocks) * kBlockLength;
}

std::string CameraModel::exposedCardFolder() {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_.massStorage ? state_.cardFolder : std::string();
}

bool CameraModel::storageExposed() {
    std::lock_guard<std::mutex> guard(mutex_);
    return state_.massStorage;
}

Reply CameraModel::standardCommand(const Command& command) {
    Reply reply;
    switch (command.cdb[0]) {
        case kTestUnitReady:
            return reply;
        case kReadCapacity10: {
            const uint64_t blocks = state_.massStorage
                                        ? (state_.cardCapacityMiB << 20) / kBlockLength
                                        : state_.commandDiskBlocks;
            reply.data.assign(8, 0);
            const uint64_t lastLba = blocks == 0 ? 0 : blocks - 1;
            bytes::storeBe32(reply.data.data(), uint32_t(std::min<uint64_t>(lastLba, 0xFFFFFFFFu)));
            bytes::storeBe32(reply.data.data() + 4, kBlockLength);
            return reply;
        }
        default:
            reply.status = kStatusCheckCondition;
            return reply;
    }
}

void CameraModel::setPowerHandler(std::function<void(int)> handler) {
    std::lock_guard<std::mutex> guard(mutex_);
    powerHandler_ = std::move(handler);
}

Reply CameraModel::execute(const Command& command) {
    Reply reply = executeLocked(command);
    if (reply.disappearMilliseconds > 0) {
        std::function<void(int)> handler;
        {
            std::lock_guard<std::mutex> guard(mutex_);
            handler = powerHandler_;
        }
        if (handler) {
            handler(reply.disappearMilliseconds);
        }
    }
    return reply;
}

Reply CameraModel::executeLocked(const Command& command) {
    std::lock_guard<std::mutex> guard(mutex_);
    Reply reply;
    if (command.cdb[0] != kVendorOpcode) {
        reply = standardCommand(command);
    } else {
        const uint16_t sub = command.subCommand();
        CameraState::Received record{sub, command.dataIn, command.length, {}};
        if (!command.dataIn && command.dataOut != nullptr) {
            record.payload.assign(command.dataOut, command.dataOut + command.length);
        }
        state_.received.push_back(std::move(record));
        trimReceived(state_.received);
        auto it = handlers_.find(sub);
        if (!state_.isCamera || it == handlers_.end() || command.cdb[1] != 0) {
            reply.status = kStatusCheckCondition;
        } else {
            reply = it->second(state_, command);
        }
        if (!command.dataIn && sub != 0xF222) {
            state_.lastWrite = sub;
            state_.lastWriteAccepted = reply.status == kStatusGood;
        }
    }
    if (!command.dataIn) {
        reply.data.clear();
    } else if (reply.data.size() > command.length) {
        reply.data.resize(command.length);
    }
    return reply;
}

}  // namespace camsim
