// The password records: the camera judges every password, the library only packs what the
// caller typed into a cleared record and writes it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands.h"
#include "dalvex.h"
#include "password_rules.h"

namespace dalvex {

constexpr size_t kPasswordLength = passwords::kLoginLength;  // login and browse alike
constexpr size_t kUserPasswordLength = passwords::kUserLength;
constexpr int kAdminPasswordLength = int(passwords::kAdminLength);

// A cleared record with at most bound characters of each non-null text at offsets 8 and 16
// and the two mode bytes at 24 and 25.
PasswordRecord packPassword(const char* first, const char* second, size_t bound, uint8_t modeA,
                            uint8_t modeB);

// The login-password check (0xF203, mode bytes 0 0) on a drive, without the mass-storage
// refusal. Returns the write result.
int sendLoginCheck(const Drive& drive, const char* password);

}  // namespace dalvex
