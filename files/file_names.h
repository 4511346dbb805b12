// Paths chosen in the file dialogs: the folder they remember and whether a file can be read.
#pragma once

#include <string>

namespace tavrolin {

// The file name after the last "/" of full_path (all of it when there is none, empty when the
// path ends with "/"). last_folder becomes the part before that "/" ("/" itself for a file in
// the root folder); a path without "/" leaves last_folder as it was.
std::string ParseFilenameOnly(const std::string& full_path, std::string& last_folder);

// Whether Path names a file that can be opened for reading. A folder, a missing file, an empty
// path or a file without read permission give false. Nothing is read.
bool FileExists(const std::string& Path);

}  // namespace tavrolin
