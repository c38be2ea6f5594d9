#include "platform/system_error_text.h"

#include <cerrno>

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
    case EDQUOT:
      return "spazio concesso sul disco esaurito";
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

}  // namespace catpub::platform
