#include "platform/curl_result_text.h"

namespace catpub::platform {

std::string CurlResultText(CURLcode result) {
  switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
      return "nome del server sconosciuto";
    case CURLE_COULDNT_CONNECT:
      return "connessione rifiutata o server irraggiungibile";
    case CURLE_OPERATION_TIMEDOUT:
      return "tempo scaduto";
    case CURLE_LOGIN_DENIED:
      return "accesso rifiutato (utente o password)";
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
      return "risposta del server non riconosciuta";
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_ACCEPT_TIMEOUT:
    case CURLE_FTP_CANT_GET_HOST:
      return "connessione dati non riuscita";
    case CURLE_REMOTE_ACCESS_DENIED:
      return "il server nega l'accesso";
    case CURLE_REMOTE_FILE_NOT_FOUND:
      return "file o directory inesistente sul server";
    case CURLE_QUOTE_ERROR:
      return "il server ha rifiutato il comando";
    case CURLE_UPLOAD_FAILED:
      return "il server ha rifiutato il file";
    case CURLE_REMOTE_DISK_FULL:
      return "disco del server pieno";
    case CURLE_PARTIAL_FILE:
      return "trasferimento incompleto";
    case CURLE_READ_ERROR:
      return "lettura del file locale non riuscita";
    case CURLE_SEND_ERROR:
      return "invio dei dati non riuscito";
    case CURLE_RECV_ERROR:
      return "ricezione dei dati non riuscita";
    case CURLE_GOT_NOTHING:
      return "il server non ha risposto nulla";
    case CURLE_ABORTED_BY_CALLBACK:
      return "interrotto";
    case CURLE_OUT_OF_MEMORY:
      return "memoria esaurita";
    case CURLE_USE_SSL_FAILED:
      return "il server non accetta TLS";
    case CURLE_SSL_CONNECT_ERROR:
      return "connessione TLS non riuscita";
    case CURLE_PEER_FAILED_VERIFICATION:
      return "certificato del server non valido";
    case CURLE_SSL_CACERT_BADFILE:
      return "file dei certificati non leggibile";
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
      return "indirizzo del server non valido";
    case CURLE_FAILED_INIT:
      return "libcurl non ha potuto eseguire il passo";
    default:
      return "errore di libcurl " + std::to_string(static_cast<int>(result));
  }
}

}  // namespace catpub::platform
