#include "db/database_file.h"

#include <string_view>

#include "platform/fatal_error.h"
#include "platform/file_probe.h"

namespace catpub::db {
namespace {

using platform::FileKind;
using platform::FileProbe;

// Page 0 starts with 00 01 00 00, the engine's name, and at 0x14 the format version.
constexpr std::string_view kJetSignature("\0\1\0\0Standard Jet DB", 19);
constexpr std::string_view kAceSignature("\0\1\0\0Standard ACE DB", 19);
constexpr size_t kVersionOffset = 0x14;
constexpr unsigned char kJet3Version = 0;

FatalError CannotRead(const char* description, const FileProbe& probe,
                      const std::string& windows_path) {
  return FatalError(description).InFile(windows_path).Because(probe.reason);
}

}  // namespace

void CheckAccess2000File(const std::filesystem::path& local_path, const std::string& windows_path) {
  // The first bytes of the file, up to and including the version byte.
  const FileProbe probe = platform::ProbeFile(local_path, kVersionOffset + 1);
  if (probe.failure == FileProbe::Failure::kLooking) {
    throw CannotRead("impossibile leggere il database", probe, windows_path);
  }
  if (probe.kind == FileKind::kMissing) {
    throw FatalError("il database " + windows_path + " non esiste");
  }
  if (probe.kind == FileKind::kFolder) {
    throw FatalError(windows_path + " è una cartella, non un database Access");
  }
  if (probe.kind != FileKind::kRegular) {
    throw FatalError(windows_path + " non è un file normale, non un database Access");
  }
  if (probe.size == 0) {
    throw FatalError("il database " + windows_path + " è vuoto, non un database Access");
  }
  if (probe.failure == FileProbe::Failure::kOpening) {
    throw CannotRead("impossibile aprire il database", probe, windows_path);
  }
  if (probe.failure == FileProbe::Failure::kReading) {
    throw CannotRead("impossibile leggere il database", probe, windows_path);
  }
  const std::string& start = probe.start;
  if (start.size() <= kVersionOffset) {
    throw FatalError(windows_path + " non è un database Access (troppo corto)");
  }
  auto version = static_cast<unsigned char>(start[kVersionOffset]);
  if (start.starts_with(kAceSignature) || (start.starts_with(kJetSignature) && version > 1)) {
    throw FatalError(
        windows_path +
        " è un database Access 2007 o successivo (.accdb), non un database Access 2000");
  }
  if (!start.starts_with(kJetSignature)) {
    throw FatalError(windows_path + " non è un database Access");
  }
  if (version == kJet3Version) {
    throw FatalError(windows_path +
                     " è un database Access 97 (Jet 3), non un database Access 2000");
  }
  if (probe.size % kJetPageSize != 0) {
    throw FatalError("il database " + windows_path + " è troncato: " + std::to_string(probe.size) +
                     " byte non sono un numero intero di pagine da " +
                     std::to_string(kJetPageSize) + " byte");
  }
}

}  // namespace catpub::db
