// Random names in the temporary directory, the seeded draw behind them
// (shared with the key-file generator), and a checked byte copy from one
// file to another.
#pragma once

#include <cstdint>
#include <string>


namespace talvek {

// rand() modulo n (n > 0). The first call of the process seeds the shared
// generator from the time in whole seconds; later calls never seed again.
int randomBelow(int n);

// nameLength letters, '.', extensionLength letters, each 'a' + randomBelow(26);
// a length of 0 means 8 for the name and 3 for the extension.
std::string randomFileName(uint8_t nameLength, uint8_t extensionLength);

// tempDirectory() + randomFileName(...), drawn again while anything at all
// (a file, a directory, a link, even a dangling one) has that name. Nothing is
// created, so the name is not reserved.
std::string makeTempFilePath(uint8_t nameLength, uint8_t extensionLength);

// Copies the regular file source to destination. True at once, copying
// nothing, when both name the same existing file (device and inode). With
// overwrite false an existing destination is refused, and a new one is created
// exclusively with mode 0600; with overwrite true an existing destination is
// replaced only once the copy is complete, keeping its mode. Every read and
// write is checked; on false no partial destination is left.
bool copyFileContents(const std::string& source, const std::string& destination, bool overwrite);

}  // namespace talvek
