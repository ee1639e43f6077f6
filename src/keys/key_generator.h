// Makes the text of a new Morva~Key file: a uniformly drawn length and
// uniformly drawn printable characters, from a secure random source.
#pragma once

#include <optional>
#include <string>

#include "keys/secure_random.h"

namespace talvek {

// nullopt when the random source fails.
std::optional<std::string> generateKeyText(UniformRandom& random);
std::optional<std::string> generateKeyText();

}  // namespace talvek
