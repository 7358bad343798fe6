// Making written files survive a crash or power loss: the data of a file,
// and a folder's record of the names in it, pushed to the storage device.
// A file written through a stream and then renamed over an old one is only
// safe once its data is on the device before the rename, and the rename
// itself once its folder is.
// Windows (platform/win32/win32_file_sync.cpp): the file's data as here; a
// folder has nothing to push, the file system journals the rename itself.
// Threads: any; nothing is shared.
#pragma once

#include <string>

namespace platform {

// Waits until the data and size of the file at `path` are on the device.
// False (with the reason in `error`) when the file cannot be opened or the
// device reports a failure.
bool SyncFileData(const std::string& path, std::string& error);

// The same for the folder that holds `path`, so that a name just created or
// renamed there is kept.
bool SyncFolderOf(const std::string& path, std::string& error);

}  // namespace platform
