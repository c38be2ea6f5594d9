#include "db/database_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/fatal_error.h"
#include "platform/system_error_text.h"

namespace catpub::db {
namespace {

// Page 0 starts with 00 01 00 00, the engine's name, and at 0x14 the format version.
constexpr std::string_view kJetSignature("\0\1\0\0Standard Jet DB", 19);
constexpr std::string_view kAceSignature("\0\1\0\0Standard ACE DB", 19);
constexpr size_t kVersionOffset = 0x14;
constexpr unsigned char kJet3Version = 0;

// The first bytes of the file, up to and including the version byte.
std::string ReadStart(const std::filesystem::path& local_path, const std::string& windows_path) {
  int fd = ::open(local_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw FatalError("impossibile aprire il database")
        .InFile(windows_path)
        .Because(platform::SystemErrorText(error));
  }
  std::string start(kVersionOffset + 1, '\0');
  ssize_t got = ::pread(fd, start.data(), start.size(), 0);
  int error = errno;
  ::close(fd);
  if (got < 0) {
    throw FatalError("impossibile leggere il database")
        .InFile(windows_path)
        .Because(platform::SystemErrorText(error));
  }
  start.resize(static_cast<size_t>(got));
  return start;
}

}  // namespace

void CheckAccess2000File(const std::filesystem::path& local_path, const std::string& windows_path) {
  struct stat info {};
  if (::stat(local_path.c_str(), &info) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw FatalError("il database " + windows_path + " non esiste");
    }
    const int error = errno;
    throw FatalError("impossibile leggere il database")
        .InFile(windows_path)
        .Because(platform::SystemErrorText(error));
  }
  if (S_ISDIR(info.st_mode)) {
    throw FatalError(windows_path + " è una cartella, non un database Access");
  }
  if (!S_ISREG(info.st_mode)) {
    throw FatalError(windows_path + " non è un file normale, non un database Access");
  }
  if (info.st_size == 0) {
    throw FatalError("il database " + windows_path + " è vuoto, non un database Access");
  }
  std::string start = ReadStart(local_path, windows_path);
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
  if (info.st_size % kJetPageSize != 0) {
    throw FatalError(
        "il database " + windows_path + " è troncato: " + std::to_string(info.st_size) +
        " byte non sono un numero intero di pagine da " + std::to_string(kJetPageSize) + " byte");
  }
}

}  // namespace catpub::db
