// password change: the login, browse, user and administrator passwords.
#include <cstdlib>

#include "command_table.h"
#include "password_rules.h"

namespace cli {

namespace {

// The characters each kind of password has.
size_t lengthOf(const std::string& kind) {
    if (kind == "login")
        return passwords::kLoginLength;
    if (kind == "browse")
        return passwords::kBrowseLength;
    if (kind == "user")
        return passwords::kUserLength;
    return passwords::kAdminLength;
}

bool knownKind(const std::string& kind) {
    return kind == "login" || kind == "browse" || kind == "user" || kind == "admin";
}

}  // namespace

bool checkPasswordKind(Session& s, Invocation& in) {
    if (!knownKind(in.kind)) {
        s.fail(kExitUsage, "password change takes login, browse, user or admin");
        return false;
    }
    return true;
}

bool readNewPassword(Session& s, Invocation& in) {
    const std::string& kind = in.kind;
    if (kind == "user" || kind == "admin") {
        in.currentPassword = s.secrets().get(
            kind == "user" ? "Current user password: " : "Current administrator password: ",
            "DALVEX_OLD_PASSWORD");
        if (!in.currentPassword) {
            s.fail(kExitUsage, "no current " + kind + " password given");
            return false;
        }
    }
    std::optional<std::string>& next = in.newPassword;
    next = s.secrets().get("New password: ", "DALVEX_NEW_PASSWORD");
    if (next && s.options().passwordFd < 0 && std::getenv("DALVEX_NEW_PASSWORD") == nullptr) {
        const std::optional<std::string> again = promptHidden("Repeat the new password: ");
        if (again != next) {
            s.fail(kExitUsage, "the two new passwords differ, nothing written");
            return false;
        }
    }
    const size_t length = lengthOf(kind);
    if (!next || next->size() != length) {
        s.fail(kExitUsage,
               "the new " + kind + " password must have " + std::to_string(length) + " characters");
        return false;
    }
    return true;
}

void changePassword(Session& s, Invocation& in, const std::vector<Camera>& cameras) {
    const std::string& kind = in.kind;
    const std::string login = s.loginPassword();
    const std::string& next = *in.newPassword;
    const auto changesOf = [&](const Camera&) {
        return std::vector<AuditChange>{{kind, Json::Value(), Json::Value(), true}};
    };
    forEachCamera(s, cameras, "password", changesOf, [&](const Camera& c) {
        const dalvex::Camera camera = c.handle();
        bool done = false;
        if (kind == "login")
            done = camera.changeLoginPassword(login, next);
        else if (kind == "browse")
            done = camera.changeBrowsePassword(next, next);
        else if (kind == "user")
            done = camera.changeUserPassword(*in.currentPassword, next);
        else
            done = camera.startAdmin(*in.currentPassword) && camera.changeAdminPassword(next);
        return done ? std::string() : "the camera refused the new " + kind + " password";
    });
}

}  // namespace cli
