#include "camsim/drive_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "emulated_protocol.h"

namespace camsim {

using namespace dalvex::emulated;

DriveServer::DriveServer(CameraModel& model, std::string socketPath, ServerLimits limits)
    : model_(model), path_(std::move(socketPath)), limits_(limits) {
    // A reboot or shutdown makes the drive vanish for a while, as a real camera's does.
    model_.setPowerHandler([this](int milliseconds) {
        if (running_)
            disappearFor(milliseconds);
    });
}

DriveServer::~DriveServer() {
    model_.setPowerHandler(nullptr);
    stop();
}

net::Socket DriveServer::bindSocket() {
    return net::listenOn(path_);
}

bool DriveServer::start() {
    if (running_)
        return true;
    const net::Socket listener = bindSocket();
    if (listener == net::kNoSocket) {
        std::lock_guard<std::mutex> guard(mutex_);
        failure_ = "cannot listen on " + path_ + ": " + net::lastErrorText();
        return false;
    }
    if (!net::openWaker(waker_)) {
        std::lock_guard<std::mutex> guard(mutex_);
        failure_ = "cannot listen on " + path_ + ": " + net::lastErrorText();
        net::closeSocket(listener);
        net::removeSocketFile(path_);
        return false;
    }
    {
        std::lock_guard<std::mutex> guard(mutex_);
        want_ = Presence::kServing;
        failure_.clear();
        plugRequestsDone_ = plugRequests_;
    }
    running_ = true;
    acceptThread_ = std::thread([this, listener] { acceptLoop(listener); });
    return true;
}

void DriveServer::stop() {
    joinReplug();
    if (!running_.exchange(false))
        return;
    wakeAcceptLoop();
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::unique_lock<std::mutex> guard(mutex_);
    plugDone_.notify_all();
    for (net::Socket connection : connections_)
        net::shutdownBoth(connection);
    connectionsDone_.wait(guard, [this] { return activeConnections_ == 0; });
    net::closeWaker(waker_);
    guard.unlock();
    // A connection may have asked for a disappearance while we were stopping.
    joinReplug();
}

void DriveServer::joinReplug() {
    std::lock_guard<std::mutex> guard(replugMutex_);
    if (replugThread_.joinable())
        replugThread_.join();
}

void DriveServer::wakeAcceptLoop() {
    net::wake(waker_);
}

std::string DriveServer::failure() {
    std::lock_guard<std::mutex> guard(mutex_);
    return failure_;
}

void DriveServer::requestPresence(Presence presence) {
    std::unique_lock<std::mutex> guard(mutex_);
    if (!running_)
        return;
    want_ = presence;
    const uint64_t request = ++plugRequests_;
    wakeAcceptLoop();
    plugDone_.wait(guard, [&] { return plugRequestsDone_ >= request || !running_; });
}

void DriveServer::unplug() {
    requestPresence(Presence::kUnplugged);
}

void DriveServer::plug() {
    requestPresence(Presence::kServing);
}

void DriveServer::disappearFor(int milliseconds) {
    std::lock_guard<std::mutex> guard(replugMutex_);
    requestPresence(Presence::kRestarting);
    if (replugThread_.joinable())
        replugThread_.join();
    replugThread_ = std::thread([this, milliseconds] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        if (running_)
            plug();
    });
}

void DriveServer::injectFault(Fault fault, int count) {
    std::lock_guard<std::mutex> guard(mutex_);
    fault_ = fault;
    faultCount_ = count;
}

Fault DriveServer::takeFault() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (faultCount_ <= 0)
        return Fault::kNone;
    --faultCount_;
    return fault_;
}

void DriveServer::acceptLoop(net::Socket listener) {
    // The listener lives and dies on this thread: no other thread can close it while a wait or
    // an accept uses it, nor see its number taken over by another socket.
    bool restarting = false;  // every client is turned away at once
    std::string aside;        // where a restarting Unix socket's file waits (empty: in place)
    auto closeListener = [&] {
        if (listener != net::kNoSocket) {
            net::closeSocket(listener);
            net::removeSocketFile(aside.empty() ? path_ : aside);
            listener = net::kNoSocket;
        }
        restarting = false;
        aside.clear();
    };
    bool acceptFailed = false;  // out of descriptors or memory: wait before the next accept
    while (running_) {
        bool retry = false;  // a failed listen or move back, tried again now and then
        {
            std::lock_guard<std::mutex> guard(mutex_);
            if (want_ == Presence::kUnplugged) {
                closeListener();
            } else if (listener == net::kNoSocket) {
                listener = bindSocket();
                if (listener == net::kNoSocket)
                    failure_ = "cannot listen on " + path_ + " again: " + net::lastErrorText();
            }
            if (listener != net::kNoSocket && want_ == Presence::kRestarting && !restarting) {
                restarting = true;
                aside = net::moveSocketFileAside(path_);
            } else if (listener != net::kNoSocket && want_ == Presence::kServing && restarting) {
                if (aside.empty() || net::moveSocketFileBack(aside, path_)) {
                    restarting = false;
                    aside.clear();
                } else {
                    failure_ =
                        "cannot take " + path_ + " back after the restart: " + net::lastErrorText();
                }
            }
            retry = want_ != Presence::kUnplugged &&
                    (listener == net::kNoSocket || (want_ == Presence::kServing && restarting));
            plugRequestsDone_ = plugRequests_;
        }
        plugDone_.notify_all();

        // A waiting client keeps the listener readable, so after a failed accept only the waker
        // is watched for a while instead of spinning on accept until a descriptor is free.
        const bool watchListener = listener != net::kNoSocket && !acceptFailed;
        bool woken = false, listenerReady = false;
        const int ready = net::waitReadable(waker_, watchListener ? listener : net::kNoSocket,
                                            retry || acceptFailed ? 50 : -1, woken, listenerReady);
        const bool paused = acceptFailed;
        acceptFailed = false;
        if (ready < 0)
            continue;
        if (ready == 0 && paused)
            listenerReady = true;  // the pause is over: try the accept again
        if (woken)
            net::drain(waker_);
        if (listener == net::kNoSocket || !listenerReady)
            continue;
        const net::Socket connection = net::acceptClient(listener, acceptFailed);
        if (connection == net::kNoSocket)
            continue;
        std::lock_guard<std::mutex> guard(mutex_);
        // A restarting camera, or one with every place taken, says so at once instead of letting
        // a client wait or hold a descriptor and a thread.
        const bool room =
            activeConnections_ < limits_.maxConnections || (!restarting && evictLongestWaiting());
        if (restarting || !room) {
            net::closeSocket(connection);
            continue;
        }
        net::setIdleTimeout(connection, limits_.idleMilliseconds);
        connections_.push_back(connection);
        lastRequest_[connection] = std::chrono::steady_clock::now();
        ++activeConnections_;
        try {
            std::thread([this, connection] { serveConnection(connection); }).detach();
        } catch (const std::system_error&) {
            // No thread for this client: it is turned away rather than ending the emulator.
            connections_.pop_back();
            --activeConnections_;
            net::closeSocket(connection);
        }
    }
    closeListener();
}

bool DriveServer::evictLongestWaiting() {
    auto longest = lastRequest_.end();
    for (auto it = lastRequest_.begin(); it != lastRequest_.end(); ++it) {
        if (longest == lastRequest_.end() || it->second < longest->second)
            longest = it;
    }
    if (longest == lastRequest_.end() || std::chrono::steady_clock::now() - longest->second <
                                             std::chrono::milliseconds(limits_.evictMilliseconds))
        return false;
    // Its thread wakes from its read, closes it and gives its place back when done; the
    // newcomer is let in now.
    net::shutdownBoth(longest->first);
    lastRequest_.erase(longest);
    return true;
}

void DriveServer::serveConnection(net::Socket connection) {
    Stream stream;
    stream.read = [this, connection](uint8_t* data, size_t size) {
        if (!net::readAll(connection, data, size))
            return false;
        if (size == kRequestHeaderSize) {
            std::lock_guard<std::mutex> guard(mutex_);
            if (lastRequest_.count(connection) != 0)
                lastRequest_[connection] = std::chrono::steady_clock::now();
        }
        return true;
    };
    stream.write = [connection](const uint8_t* data, size_t size) {
        return net::writeAll(connection, data, size);
    };
    serveStream(stream);
    std::lock_guard<std::mutex> guard(mutex_);
    connections_.erase(std::remove(connections_.begin(), connections_.end(), connection),
                       connections_.end());
    lastRequest_.erase(connection);
    net::closeSocket(connection);
    --activeConnections_;
    connectionsDone_.notify_all();
}

void DriveServer::serveStream(const Stream& stream) {
    auto sendReply = [&](const ReplyHeader& header, const uint8_t* data) {
        uint8_t head[kReplyHeaderSize];
        header.encode(head);
        return stream.write(head, sizeof head) &&
               (header.dataLength == 0 || stream.write(data, header.dataLength));
    };
    std::vector<uint8_t> data;
    for (;;) {
        uint8_t head[kRequestHeaderSize];
        RequestHeader request;
        if (!stream.read(head, sizeof head) || !request.decode(head))
            break;
        if (request.direction != kDataIn && request.direction != kDataOut)
            break;  // no way to tell whether data follows
        // Data out follows the header whatever the op, and is read before anything is judged.
        // The buffer grows with the bytes that arrive, so that a client declaring the largest
        // length and sending nothing holds one piece of memory rather than a mebibyte.
        const bool toCamera = request.direction == kDataOut;
        constexpr size_t kPiece = 64 * 1024;
        data.clear();
        bool complete = true;
        while (toCamera && complete && data.size() < request.dataLength) {
            const size_t have = data.size();
            data.resize(have + std::min<size_t>(kPiece, request.dataLength - have));
            complete = stream.read(data.data() + have, data.size() - have);
        }
        if (!complete)
            break;

        ReplyHeader reply;
        if (request.op == kOpTotalSize) {
            uint8_t size[8];
            dalvex::bytes::storeLe64(size, model_.totalSizeBytes());
            reply.dataLength = toCamera ? 0 : std::min<uint32_t>(8, request.dataLength);
            if (!sendReply(reply, size))
                break;
            continue;
        }
        if (request.op == kOpCardFolder && !toCamera) {
            const std::string folder = model_.exposedCardFolder();
            if (folder.size() > request.dataLength) {
                reply.ok = 0;
                reply.errorCode = 0x7A;  // the host's block is too small
            } else {
                reply.dataLength = uint32_t(folder.size());
            }
            if (!sendReply(reply, reinterpret_cast<const uint8_t*>(folder.data())))
                break;
            continue;
        }
        if (request.op != kOpScsi) {
            reply.ok = 0;
            reply.errorCode = 0x57;  // invalid parameter
            if (!sendReply(reply, nullptr))
                break;
            continue;
        }

        ++served_;
        const Fault fault = takeFault();
        if (fault == Fault::kSilent) {
            // Say nothing; wait for the client to hang up.
            uint8_t sink[1];
            while (running_ && stream.read(sink, sizeof sink)) {
            }
            break;
        }
        if (fault == Fault::kDrop)
            break;
        if (fault == Fault::kShortFrame) {
            uint8_t partial[kReplyHeaderSize];
            reply.encode(partial);
            stream.write(partial, 6);
            break;
        }
        if (fault == Fault::kGarbage) {
            uint8_t bad[kReplyHeaderSize];
            reply.encode(bad);
            std::memcpy(bad, "XXXX", 4);
            stream.write(bad, sizeof bad);
            continue;
        }
        if (fault == Fault::kPassFail) {
            reply.ok = 0;
            reply.scsiStatus = 0;
            reply.errorCode = 0x1F;
            if (!sendReply(reply, nullptr))
                break;
            continue;
        }

        Command command;
        std::memcpy(command.cdb, request.cdb, 16);
        command.dataIn = !toCamera;
        command.length = request.dataLength;
        command.dataOut = toCamera ? data.data() : nullptr;
        Reply answer;
        if (fault == Fault::kRefuse) {
            answer.status = kStatusCheckCondition;
        } else {
            answer = model_.execute(command);
        }
        if (fault == Fault::kShortData) {
            answer.data.resize(answer.data.size() / 2);
        }
        reply.scsiStatus = answer.status;
        // Never more than the host asked for: its block holds no more.
        reply.dataLength =
            command.dataIn ? std::min<uint32_t>(uint32_t(answer.data.size()), request.dataLength)
                           : 0;
        if (!sendReply(reply, answer.data.data()))
            break;
    }
}

}  // namespace camsim
