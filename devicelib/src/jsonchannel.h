// The menu list and the JSON text channel: free-form texts in 2048-byte blocks, passed through
// unparsed, and the one request the library composes itself.
#pragma once

#include <cstddef>
#include <string>

namespace dalvex {

constexpr size_t kTextBlockSize = 2048;
constexpr size_t kTestBlockSize = 30;
constexpr char kMenuListMarker = 0x42;
// Fills the start of the test block; the camera's answer overwrites it.
inline constexpr char kJsonTestText[] = "JSON TEST TEXT";
static_assert(sizeof kJsonTestText - 1 == 14);

// The styled JSON text of the menu-list request. Throws what jsoncpp throws.
std::string menuListRequest();

}  // namespace dalvex
