// udisks2 over GIO's GDBus, synchronously. Each call opens its own connection to the system bus
// rather than GIO's shared one: the shared one would outlive a changed DBUS_SYSTEM_BUS_ADDRESS
// and ends the process when the bus goes away.
#include "udisks.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace cli::udisks {
namespace {

constexpr char kService[] = "org.freedesktop.UDisks2";
constexpr char kRoot[] = "/org/freedesktop/UDisks2";
constexpr char kManager[] = "/org/freedesktop/UDisks2/Manager";
constexpr char kManagerInterface[] = "org.freedesktop.UDisks2.Manager";
constexpr char kBlockInterface[] = "org.freedesktop.UDisks2.Block";
constexpr char kFilesystemInterface[] = "org.freedesktop.UDisks2.Filesystem";
constexpr char kPropertiesInterface[] = "org.freedesktop.DBus.Properties";
// Mounting may check the file system first and unmounting waits for the disk; the rest are
// lookups.
constexpr int kMountTimeoutMs = 30000;
constexpr int kCallTimeoutMs = 5000;

struct ErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct ObjectUnref {
    void operator()(void* o) const { g_object_unref(o); }
};
using Error = std::unique_ptr<GError, ErrorFree>;
using Variant = std::unique_ptr<GVariant, VariantUnref>;
using Connection = std::unique_ptr<GDBusConnection, ObjectUnref>;
using Cancellable = std::unique_ptr<GCancellable, ObjectUnref>;

bool endsWith(std::string_view s, std::string_view end) {
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

// The remote error's name, empty for a local one.
std::string remoteName(const GError* e) {
    gchar* name = g_dbus_error_get_remote_error(e);
    std::string result = name ? name : "";
    g_free(name);
    return result;
}

// A D-Bus failure as words, the service's own message in brackets.
std::string describe(GError* e) {
    const std::string name = remoteName(e);
    g_dbus_error_strip_remote_error(e);
    const std::string message = e->message;
    if (endsWith(name, ".NotAuthorized") || endsWith(name, ".NotAuthorizedCanObtain") ||
        endsWith(name, ".NotAuthorizedDismissed"))
        return "not authorized (" + message + ")";
    if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
        name == "org.freedesktop.DBus.Error.NameHasNoOwner")
        return "udisks2 is not running (" + message + ")";
    if (g_error_matches(e, G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        name == "org.freedesktop.DBus.Error.NoReply")
        return "udisks2 did not answer in time (" + message + ")";
    if (endsWith(name, ".DeviceBusy"))
        return "it is in use (" + message + ")";
    return message;
}

// Opens a connection to the system bus, giving up after kCallTimeoutMs even when something
// listens there that never answers.
Connection connectSystemBus(std::string& error) {
    GError* raw = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &raw);
    if (!address) {
        Error e(raw);
        error = std::string("no system bus (") + e->message + ")";
        return nullptr;
    }
    Cancellable cancel(g_cancellable_new());
    std::mutex lock;
    std::condition_variable doneChanged;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock<std::mutex> held(lock);
        if (!doneChanged.wait_for(held, std::chrono::milliseconds(kCallTimeoutMs),
                                  [&] { return done; }))
            g_cancellable_cancel(cancel.get());
    });
    Connection connection(g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, cancel.get(), &raw));
    {
        std::lock_guard<std::mutex> held(lock);
        done = true;
    }
    doneChanged.notify_one();
    watchdog.join();
    g_free(address);
    if (!connection) {
        Error e(raw);
        error = g_error_matches(e.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)
                    ? "no system bus (it did not answer in time)"
                    : std::string("no system bus (") + e->message + ")";
    }
    return connection;
}

// One method call; parameters is a floating variant, consumed.
Variant call(GDBusConnection* connection, const char* path, const char* interface,
             const char* method, GVariant* parameters, const char* replyType, int timeoutMs,
             Error& error) {
    GError* raw = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(connection, kService, path, interface, method,
                                                  parameters, G_VARIANT_TYPE(replyType),
                                                  G_DBUS_CALL_FLAGS_NONE, timeoutMs, nullptr, &raw);
    error.reset(raw);
    return Variant(reply);
}

// An a{sv} of the given entries: string values, or true for the rest.
GVariant* options(std::initializer_list<std::pair<const char*, const char*>> entries) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    for (const auto& [key, value] : entries)
        g_variant_builder_add(&builder, "{sv}", key,
                              value ? g_variant_new_string(value) : g_variant_new_boolean(TRUE));
    return g_variant_builder_end(&builder);
}

// Older udisks2 has no ResolveDevice: the block whose device node is this one, from all objects;
// path stays empty when there is none.
bool findInManagedObjects(GDBusConnection* connection, const std::string& device, std::string& path,
                          std::string& error) {
    Error e;
    const Variant reply = call(connection, kRoot, "org.freedesktop.DBus.ObjectManager",
                               "GetManagedObjects", nullptr, "(a{oa{sa{sv}}})", kCallTimeoutMs, e);
    if (!reply) {
        error = describe(e.get());
        return false;
    }
    GVariantIter* objects = nullptr;
    g_variant_get(reply.get(), "(a{oa{sa{sv}}})", &objects);
    const char* objectPath = nullptr;
    GVariant* interfaces = nullptr;
    while (path.empty() &&
           g_variant_iter_next(objects, "{&o@a{sa{sv}}}", &objectPath, &interfaces)) {
        const Variant owned(interfaces);
        const Variant block(
            g_variant_lookup_value(interfaces, kBlockInterface, G_VARIANT_TYPE_VARDICT));
        for (const char* property : {"Device", "PreferredDevice"}) {
            const Variant node(
                block ? g_variant_lookup_value(block.get(), property, G_VARIANT_TYPE_BYTESTRING)
                      : nullptr);
            if (node && device == g_variant_get_bytestring(node.get()))
                path = objectPath;
        }
    }
    g_variant_iter_free(objects);
    return true;
}

// The object path of the device's block object.
bool findBlock(GDBusConnection* connection, const std::string& device, std::string& path,
               std::string& error) {
    Error e;
    const Variant reply =
        call(connection, kManager, kManagerInterface, "ResolveDevice",
             g_variant_new("(@a{sv}@a{sv})", options({{"path", device.c_str()}}), options({})),
             "(ao)", kCallTimeoutMs, e);
    if (reply) {
        GVariantIter* paths = nullptr;
        g_variant_get(reply.get(), "(ao)", &paths);
        const char* first = nullptr;
        if (g_variant_iter_next(paths, "&o", &first))
            path = first;
        g_variant_iter_free(paths);
    } else if (!g_error_matches(e.get(), G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD)) {
        error = describe(e.get());
        return false;
    } else if (!findInManagedObjects(connection, device, path, error)) {
        return false;
    }
    if (path.empty())
        error = "udisks2 does not know it";
    return !path.empty();
}

bool readIds(GDBusConnection* connection, const std::string& path, std::string& label,
             std::string& uuid, std::string& error) {
    Error e;
    const Variant reply = call(connection, path.c_str(), kPropertiesInterface, "GetAll",
                               g_variant_new("(s)", kBlockInterface), "(a{sv})", kCallTimeoutMs, e);
    if (!reply) {
        error = describe(e.get());
        return false;
    }
    const Variant properties(g_variant_get_child_value(reply.get(), 0));
    const char* value = nullptr;
    label = g_variant_lookup(properties.get(), "IdLabel", "&s", &value) ? value : "";
    uuid = g_variant_lookup(properties.get(), "IdUUID", "&s", &value) ? value : "";
    return true;
}

// Where the device's file system is mounted now; false when it has none udisks2 can mount.
bool readMountPoints(GDBusConnection* connection, const std::string& path,
                     std::vector<std::string>& points, std::string& error) {
    Error e;
    const Variant reply =
        call(connection, path.c_str(), kPropertiesInterface, "Get",
             g_variant_new("(ss)", kFilesystemInterface, "MountPoints"), "(v)", kCallTimeoutMs, e);
    if (!reply) {
        const std::string name = remoteName(e.get());
        const bool noFilesystem = name == "org.freedesktop.DBus.Error.InvalidArgs" ||
                                  endsWith(name, ".UnknownInterface") ||
                                  endsWith(name, ".UnknownProperty");
        error = noFilesystem ? "it holds no file system udisks2 can mount" : describe(e.get());
        return false;
    }
    GVariant* boxed = nullptr;
    g_variant_get(reply.get(), "(v)", &boxed);
    const Variant list(boxed);
    if (!g_variant_is_of_type(boxed, G_VARIANT_TYPE_BYTESTRING_ARRAY)) {
        error = "udisks2 gave its mount points as " + std::string(g_variant_get_type_string(boxed));
        return false;
    }
    points.clear();
    for (gsize i = 0; i < g_variant_n_children(boxed); ++i) {
        const Variant point(g_variant_get_child_value(boxed, i));
        points.emplace_back(g_variant_get_bytestring(point.get()));
    }
    return true;
}

}  // namespace

bool mountReadOnly(const std::string& device, Mount& mount, std::string& error) {
    const std::string failed = "cannot mount " + device + " read-only: ";
    const Connection connection = connectSystemBus(error);
    std::string path;
    std::vector<std::string> points;
    if (!connection || !findBlock(connection.get(), device, path, error) ||
        !readIds(connection.get(), path, mount.label, mount.uuid, error) ||
        !readMountPoints(connection.get(), path, points, error)) {
        error = failed + error;
        return false;
    }
    if (points.empty()) {
        Error e;
        const Variant reply =
            call(connection.get(), path.c_str(), kFilesystemInterface, "Mount",
                 g_variant_new("(@a{sv})",
                               options({{"options", "ro"}, {"auth.no_user_interaction", nullptr}})),
                 "(s)", kMountTimeoutMs, e);
        if (reply) {
            const char* where = nullptr;
            g_variant_get(reply.get(), "(&s)", &where);
            mount.mountPoint = where;
            mount.mountedHere = true;
            return true;
        }
        // Mounted by someone else meanwhile: use theirs.
        const bool raced = endsWith(remoteName(e.get()), ".AlreadyMounted") &&
                           readMountPoints(connection.get(), path, points, error) &&
                           !points.empty();
        if (!raced) {
            error = failed + describe(e.get());
            return false;
        }
    }
    mount.mountPoint = points.front();
    mount.mountedHere = false;
    return true;
}

bool unmount(const std::string& device, std::string& error) {
    const std::string failed = "cannot unmount " + device + ": ";
    const Connection connection = connectSystemBus(error);
    std::string path;
    if (!connection || !findBlock(connection.get(), device, path, error)) {
        error = failed + error;
        return false;
    }
    Error e;
    const Variant reply =
        call(connection.get(), path.c_str(), kFilesystemInterface, "Unmount",
             g_variant_new("(@a{sv})", options({{"auth.no_user_interaction", nullptr}})), "()",
             kMountTimeoutMs, e);
    if (!reply)
        error = failed + describe(e.get());
    return bool(reply);
}

bool identify(const std::string& device, std::string& label, std::string& uuid) {
    std::string error;
    const Connection connection = connectSystemBus(error);
    std::string path;
    return connection && findBlock(connection.get(), device, path, error) &&
           readIds(connection.get(), path, label, uuid, error);
}

}  // namespace cli::udisks
