// The folder of the shop's data database, derived from the path stored in società.database.
#pragma once

#include <string>

namespace catpub::app {

// Splits `database` at every "\" (empty components kept) and collects, each followed by "\", the
// components in front of the first one that reads "dati.mdb", "Dati.mdb" or "DATI.MDB" once blanks
// around it are removed (no other mix of cases matches), looking at eleven components at most.
// When none of fewer than eleven matches, the last component is taken for the file name and left
// out. An empty result becomes `drive_letter` + ":\orbis\".
std::string DeriveDataFolder(const std::string& database, const std::string& drive_letter);

}  // namespace catpub::app
