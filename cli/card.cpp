#include "card.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "cameras.h"
#include "udisks.h"

namespace cli {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Node {
    std::string name;  // "sdb1"
    std::string dev;   // "8:17"
};

std::string firstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// The disk's partitions in their order, then the disk itself (a card without a partition table).
std::vector<Node> diskNodes(const std::string& disk) {
    const fs::path base = fs::path("/sys/block") / disk;
    std::vector<std::pair<int, Node>> partitions;
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const std::string number = firstLine(it->path() / "partition");
        if (name.rfind(disk, 0) != 0 || number.empty())
            continue;
        partitions.push_back({std::atoi(number.c_str()), {name, firstLine(it->path() / "dev")}});
    }
    std::sort(partitions.begin(), partitions.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<Node> nodes;
    for (auto& [number, node] : partitions)
        nodes.push_back(std::move(node));
    nodes.push_back({disk, firstLine(base / "dev")});
    return nodes;
}

// udev names links with \xHH for bytes it will not put in a name (a space is \x20).
std::string decodeUdevName(const std::string& name) {
    std::string out;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
            std::isxdigit(static_cast<unsigned char>(name[i + 2])) &&
            std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out.push_back(char(std::stoi(name.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

// The name of the link in folder that leads to device; null when none does.
Json::Value linkTo(const std::string& folder, const std::string& device) {
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec)
        return Json::Value();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code rc;
        if (fs::canonical(it->path(), rc) == target && !rc)
            return decodeUdevName(it->path().filename().string());
    }
    return Json::Value();
}

Json::Value textOrNull(const std::string& text) {
    return text.empty() ? Json::Value() : Json::Value(text);
}

void identify(const std::string& device, FoundCard& card) {
    card.label = linkTo("/dev/disk/by-label", device);
    card.uuid = linkTo("/dev/disk/by-uuid", device);
    std::string label, uuid;
    if (card.label.isNull() && card.uuid.isNull() && udisks::identify(device, label, uuid)) {
        card.label = textOrNull(label);
        card.uuid = textOrNull(uuid);
    }
}

// The disk's file system as a folder: where it is mounted, or mounted read-only by us.
bool diskFolder(const std::string& disk, FoundCard& card, std::string& error) {
    const std::vector<Node> nodes = diskNodes(disk);
    std::vector<std::string> devices;
    for (const Node& n : nodes)
        devices.push_back(n.dev);
    std::ifstream in("/proc/self/mountinfo");
    std::stringstream mountinfo;
    mountinfo << in.rdbuf();
    const MountMatch match = findMount(mountinfo.str(), devices);
    if (!match.device.empty()) {
        const auto node = std::find_if(nodes.begin(), nodes.end(),
                                       [&](const Node& n) { return n.dev == match.device; });
        card.folder = match.mountPoint;
        identify("/dev/" + node->name, card);
        return true;
    }
    std::string why;
    for (const Node& n : nodes) {
        udisks::Mount mount;
        const std::string device = "/dev/" + n.name;
        if (udisks::mountReadOnly(device, mount, why)) {
            card.folder = mount.mountPoint;
            card.device = device;
            card.label = textOrNull(mount.label);
            card.uuid = textOrNull(mount.uuid);
            return true;
        }
    }
    error = "the card disk " + disk + " is not mounted and cannot be mounted (" + why +
            "): mount it, or give its folder with --from";
    return false;
}

}  // namespace

std::string decodeMountField(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](size_t at) { return field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1) && octal(i + 2) &&
            octal(i + 3)) {
            out.push_back(
                char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

MountMatch findMount(std::string_view mountinfo, const std::vector<std::string>& devices) {
    // Per line: id, parent id, major:minor, root, mount point, options, ...; the earliest mount
    // of a device wins, as later ones may sit inside another mount.
    std::vector<std::string> points(devices.size());
    while (!mountinfo.empty()) {
        const size_t end = mountinfo.find('\n');
        std::istringstream line(std::string(mountinfo.substr(0, end)));
        mountinfo = end == std::string_view::npos ? std::string_view() : mountinfo.substr(end + 1);
        std::string id, parent, dev, root, point;
        if (!(line >> id >> parent >> dev >> root >> point) || root != "/")
            continue;
        const auto it = std::find(devices.begin(), devices.end(), dev);
        if (it != devices.end() && points[size_t(it - devices.begin())].empty())
            points[size_t(it - devices.begin())] = decodeMountField(point);
    }
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!points[i].empty())
            return {devices[i], points[i]};
    }
    return {};
}

bool findCard(const std::string& serial, FoundCard& card, std::string& error,
              std::chrono::milliseconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        for (const Camera& c : findCameras()) {
            if (c.serial != serial || !c.storageExposed)
                continue;
            // The camera is back with its card: what the system says of the card now is final.
            card.letter = c.letter;
            const dalvex::CardLocation where = c.handle().card();
            switch (where.kind) {
                case dalvex::CardLocation::kFolder:
                    card.folder = where.path;
                    return true;
                case dalvex::CardLocation::kDisk:
                    return diskFolder(where.path, card, error);
                case dalvex::CardLocation::kNone:
                    break;
            }
            error = "the card of " + serial + " cannot be found: give its folder with --from";
            return false;
        }
        if (Clock::now() >= deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    error = "the camera " + serial +
            " did not come back with its card exposed: plug it in again, or give the card's "
            "folder with --from";
    return false;
}

bool releaseCard(FoundCard& card, std::string& error) {
    std::error_code ec;
    // A camera back on its command disk took the partition away, and the system its mount.
    if (card.device.empty() || !fs::exists(card.device, ec))
        return true;
    if (!udisks::unmount(card.device, error))
        return false;
    card.device.clear();
    return true;
}

}  // namespace cli
