#pragma once
// The last step of creating a contest: the folder made whole under a hidden name gets the
// contest's name.
#include <filesystem>

// Renames the folder made to folder, unless anything is at folder already, an empty folder
// included: false then, and both are left as they were. Where the file system cannot rename
// without replacing (NFS, some FUSE file systems), it still never replaces. Raises
// std::filesystem::filesystem_error on any other failure.
bool name_folder(const std::filesystem::path& made, const std::filesystem::path& folder);
