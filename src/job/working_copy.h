// Random names in the temporary directory, the seeded draw behind them
// (shared with the key-file generator), and a checked byte copy from one
// file to another.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/unique_fd.h"

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

// Copies all bytes of `from` to `to` (at most `limit` of them), both from
// offset 0, through the kernel (copy_file_range) where it can, else through
// a buffer; a kernel copy that ends short of the file's size is finished
// through the buffer. `copied` receives the byte count written, also on
// failure. False, with errno set, on any read or write error, or (errno
// ECANCELED) when keepGoing, asked between pieces, returns false.
bool copyOpenFile(int from, int to, uint64_t* copied, const std::function<bool()>& keepGoing = {},
                  uint64_t limit = UINT64_MAX);

// Copies the regular file source to destination. True at once, copying
// nothing, when both name the same existing file (device and inode). With
// overwrite false an existing destination is refused, and a new one is created
// exclusively with mode 0600; with overwrite true an existing destination is
// replaced only once the copy is complete, keeping its mode. Every read and
// write is checked; on false no partial destination is left.
bool copyFileContents(const std::string& source, const std::string& destination, bool overwrite);

// Opens a regular file for reading without blocking on a FIFO planted at the
// path; invalid when the path is missing or not a regular file.
UniqueFd openRegularFileForReading(const std::string& path);

}  // namespace talvek
