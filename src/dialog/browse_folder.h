// Where a file dialog opens: in the folder of the path its field holds.
#pragma once

#include <string>

namespace talvek {

// The folder a field's path names or lies in, when there is such a folder;
// "" otherwise (an empty field, a bare name, a folder that is gone).
std::string folderToBrowse(const std::string& fieldText);

}  // namespace talvek
