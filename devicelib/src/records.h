// What the camera keeps of the user-information texts: shared by the camera handle (camera.cpp),
// which writes the record, and the settings-record exports (records.cpp), which hand it out.
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
