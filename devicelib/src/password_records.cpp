// Packing of the password records, shared by the camera handle and the password exports.
#include "passwords.h"

namespace dalvex {

PasswordRecord packPassword(const char* first, const char* second, size_t bound, uint8_t modeA,
                            uint8_t modeB) {
    PasswordRecord record{};
    if (first != nullptr) {
        copyBounded(record.password, first, bound);
    }
    if (second != nullptr) {
        copyBounded(record.newPassword, second, bound);
    }
    record.modeA = modeA;
    record.modeB = modeB;
    return record;
}

int sendLoginCheck(const Drive& drive, const char* password) {
    const PasswordRecord record = packPassword(password, nullptr, kPasswordLength, 0, 0);
    return drive.write(kSubLoginPassword, &record, sizeof record);
}

}  // namespace dalvex
