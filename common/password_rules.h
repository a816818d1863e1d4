// The lengths of the camera's passwords, in characters: what Orvane's edits take and check and
// what the command-line tool asks for. The camera judges a password of another length wrong.
#pragma once

#include <cstddef>

namespace passwords {

constexpr std::size_t kLoginLength = 6;
constexpr std::size_t kBrowseLength = 6;
constexpr std::size_t kUserLength = 5;
constexpr std::size_t kAdminLength = 6;

}  // namespace passwords
