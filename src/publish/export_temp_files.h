// The export's temporary files in the export's folder: the name of this run's own, and the removal
// of those that earlier runs left behind.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace catpub::publish {

// The export is written to a temporary file first and renamed over kExportPath only once complete,
// so that the published file is never a half-written one. Its name is this run's own,
// "C:\orbis\articoli.csv." + process id + ".tmp", so that no two runs ever write one file.
std::string ExportTempPath();

// Removes from C:\orbis every temporary export that an earlier run left there: the regular files
// named "articoli.csv." + decimal digits + ".tmp", the name compared without regard to case as
// Windows compares names, and nothing else. A run that ends, even on SIGTERM, removes its own; a
// run killed outright (SIGKILL, the out-of-memory killer) cannot, and its file would stay on the
// shop's disk for good. Only for a run that holds the shop (platform::ShopLock): no other run is
// then writing one.
//
// Never fails. A file that cannot be removed stays, and nothing is said of it: it is litter, not a
// reason to leave the shop unpublished nor a failure of this run for the run log, which holds the
// original program's lines and the run's own failures; the next run tries again.
void RemoveLeftoverExports(platform::FileSystem& fs);

}  // namespace catpub::publish
