#pragma once

#include <cstdint>
#include <string>

namespace SerialPlatform {

// The size that the system records for the entry at `path`, of any kind (a file, a folder, a
// device), or -1 when there is none. std::filesystem gives sizes of regular files only.
int64_t EntrySize(const std::string& path);

} // namespace SerialPlatform
