// Turns a key text (a password or a key file's text) into the prepared key
// text whose characters drive the byte transform: padded to an even length
// of at least 2, each character rotated by an amount that depends on itself,
// its index and the length, and every pair after the first mixed with its
// neighbours.
#pragma once

#include <string>

namespace talvek {

// Deterministic and total: defined for every input, the empty one included.
// Runs in time linear in the length of the key text.
std::string prepareKeyText(std::string keyText);

}  // namespace talvek
