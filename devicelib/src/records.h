// The settings-record exports: user information, recording settings, network accounts, the
// per-model settings and the small values.
#pragma once

#include <cstddef>

namespace dalvex {

// How many characters of each UserInfoRecord field the setter writes and the getter returns,
// in the order of the five arguments.
struct UserInfoField {
    size_t offset;
    size_t written;
    size_t returned;
};
extern const UserInfoField kUserInfoFields[5];

}  // namespace dalvex
