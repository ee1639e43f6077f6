# Writes a C++ source holding the program's theme icons as byte arrays.
# Run with: cmake -DOUTPUT=<file.cpp> -DICONS=<size,context,name,png|...> -P embed_icons.cmake
string(REPLACE "|" ";" entries "${ICONS}")
set(arrays "")
set(table "")
set(index 0)
foreach(entry IN LISTS entries)
  string(REPLACE "," ";" fields "${entry}")
  list(GET fields 0 size)
  list(GET fields 1 context)
  list(GET fields 2 name)
  list(GET fields 3 png)
  file(READ "${png}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR bytes "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
  # Sixteen bytes to a line (CMake's regular expressions have no {n}).
  string(REPEAT "0x..," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " hex "${hex}")
  string(APPEND arrays "const unsigned char kIcon${index}[${bytes}] = {\n    ${hex}\n};\n")
  string(APPEND table "      {${size}, \"${context}\", \"${name}\", bytes(kIcon${index})},\n")
  math(EXPR index "${index} + 1")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from the PNG files under resources/icons; do not edit.
#include \"settings/posix/theme_icons.h\"

namespace talvek {

namespace {

${arrays}
template <std::size_t N>
std::string_view bytes(const unsigned char (&data)[N]) {
  return {reinterpret_cast<const char*>(data), N};
}

}  // namespace

std::span<const ThemeIcon> talvekIcons() {
  static const ThemeIcon icons[] = {
${table}  };
  return icons;
}

}  // namespace talvek
")
# Only a changed source is rebuilt.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
