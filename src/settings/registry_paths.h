// What both halves of RegistryAccess check and build alike: the shape of a
// key path, and the bytes of the two kinds of value the program writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvek {

// The key and each of its ancestors, shortest first, as written. False for
// a path with an empty level; the empty path (the root) has no levels.
bool keyLevels(std::string_view path, std::vector<std::string_view>& levels);
bool validKeyPath(std::string_view path);

// A default string's data: the text up to its first NUL, then one NUL, as a
// C string is stored.
std::string stringValueData(std::string_view text);

// A REG_DWORD's data: the number's 4 bytes, little-endian.
std::string dwordValueData(std::uint32_t number);

}  // namespace talvek
