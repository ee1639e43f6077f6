// The program's icons as PNG files of the hicolor icon theme: the program,
// encoded files and key files, each at 16, 32 and 48 pixels.
#pragma once

#include <span>
#include <string_view>

namespace talvek {

struct ThemeIcon {
  int size;                  // width and height in pixels
  std::string_view context;  // "apps" or "mimetypes"
  std::string_view name;     // the icon name, the file name without ".png"
  std::string_view png;      // the file's bytes
};

// The icons built into the program.
std::span<const ThemeIcon> talvekIcons();

}  // namespace talvek
