#include "platform/system_error_text.h"

#include <cerrno>
#include <cstdint>

namespace catpub::platform {

std::string SystemErrorText(int error) {
  switch (error) {
    case ENOENT:
      return "file o cartella inesistente";
    case EACCES:
    case EPERM:
      return "accesso negato";
    case ENOSPC:
      return "disco pieno";
#ifdef EDQUOT  // not in msvcrt's errno
    case EDQUOT:
      return "spazio concesso sul disco esaurito";
#endif
    case EROFS:
      return "disco in sola lettura";
    case EIO:
      return "errore di lettura o scrittura sul disco";
    case EISDIR:
      return "è una cartella";
    case ENOTDIR:
      return "una parte del percorso non è una cartella";
    case ENAMETOOLONG:
      return "percorso troppo lungo";
    case EEXIST:
      return "esiste già";
    case EBUSY:
      return "in uso";
    case EMFILE:
    case ENFILE:
      return "troppi file aperti";
    case ENOMEM:
      return "memoria esaurita";
    case EFBIG:
      return "file troppo grande";
    case ELOOP:
      return "troppi collegamenti simbolici nel percorso";
    case EXDEV:
      return "non si sposta da un disco a un altro";
    case ENOEXEC:
      return "non è un programma eseguibile";
    case EAGAIN:
      return "risorsa momentaneamente non disponibile";
    case EINTR:
      return "interrotto da un segnale";
    default:
      return "errore di sistema " + std::to_string(error);
  }
}

std::string SystemErrorText(const std::error_code& error) {
#ifdef _WIN32
  if (error.category() == std::system_category()) {
    return WindowsErrorText(static_cast<uint32_t>(error.value()));
  }
#endif
  return SystemErrorText(error.value());
}

std::string WindowsErrorText(uint32_t error) {
  // Windows' own numbers (winerror.h), so that the texts are tested on every system.
  switch (error) {
    case 2:  // ERROR_FILE_NOT_FOUND
    case 3:  // ERROR_PATH_NOT_FOUND
      return "file o cartella inesistente";
    case 5:  // ERROR_ACCESS_DENIED
      return "accesso negato";
    case 32:  // ERROR_SHARING_VIOLATION
      return "in uso da un altro programma";
    case 33:  // ERROR_LOCK_VIOLATION
      return "bloccato da un altro programma";
    case 39:   // ERROR_HANDLE_DISK_FULL
    case 112:  // ERROR_DISK_FULL
      return "disco pieno";
    case 1295:  // ERROR_DISK_QUOTA_EXCEEDED
      return "spazio concesso sul disco esaurito";
    case 19:  // ERROR_WRITE_PROTECT
      return "disco in sola lettura";
    case 23:    // ERROR_CRC
    case 29:    // ERROR_WRITE_FAULT
    case 30:    // ERROR_READ_FAULT
    case 1117:  // ERROR_IO_DEVICE
      return "errore di lettura o scrittura sul disco";
    case 21:  // ERROR_NOT_READY
      return "unità non pronta";
    case 15:  // ERROR_INVALID_DRIVE
      return "unità inesistente";
    case 267:  // ERROR_DIRECTORY
      return "una parte del percorso non è una cartella";
    case 123:  // ERROR_INVALID_NAME
      return "nome di file non valido";
    case 206:  // ERROR_FILENAME_EXCED_RANGE
      return "percorso troppo lungo";
    case 80:   // ERROR_FILE_EXISTS
    case 183:  // ERROR_ALREADY_EXISTS
      return "esiste già";
    case 145:  // ERROR_DIR_NOT_EMPTY
      return "cartella non vuota";
    case 4:  // ERROR_TOO_MANY_OPEN_FILES
      return "troppi file aperti";
    case 8:     // ERROR_NOT_ENOUGH_MEMORY
    case 14:    // ERROR_OUTOFMEMORY
    case 1455:  // ERROR_COMMITMENT_LIMIT
      return "memoria esaurita";
    case 17:  // ERROR_NOT_SAME_DEVICE
      return "non si sposta da un disco a un altro";
    case 193:  // ERROR_BAD_EXE_FORMAT
      return "non è un programma eseguibile";
    case 53:  // ERROR_BAD_NETPATH
    case 67:  // ERROR_BAD_NET_NAME
      return "percorso di rete non trovato";
    case 59:  // ERROR_UNEXP_NET_ERR
    case 64:  // ERROR_NETNAME_DELETED
      return "connessione di rete interrotta";
    case 1224:  // ERROR_USER_MAPPED_FILE
      return "in uso da un altro programma";
    default:
      return "errore di sistema Windows " + std::to_string(error);
  }
}

}  // namespace catpub::platform
