// Where a demo program finds the virtual ASPI library: beside itself (where
// the build puts it); else where the package installs it, found from the
// program's own folder (ZX_ASPI_INSTALLED_DIR, given to each demo program
// by the install rules). Never a fixed folder: an installed demo must not
// load a library from a path that any user could create.
// Threads: any.
#pragma once

#include <string>

#include "platform/path_ops.h"
#include "transport/aspi_library.h"

namespace demo {

inline bool HasAspiLibrary(const std::string& folder) {
  return platform::PathExists(platform::JoinPath(folder, ASPI_LIBRARY_NAME));
}

// `own`: the folder of the running program.
inline std::string LibraryFolder(const std::string& own) {
  if (HasAspiLibrary(own)) return own;
#ifdef ZX_ASPI_INSTALLED_DIR
  const std::string installed = platform::NormalPath(platform::JoinPath(own, ZX_ASPI_INSTALLED_DIR));
  if (HasAspiLibrary(installed)) return installed;
#endif
  return own;
}

}  // namespace demo
