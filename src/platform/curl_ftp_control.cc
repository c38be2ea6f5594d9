#include "platform/curl_ftp_control.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <initializer_list>

#include "platform/curl_result_text.h"
#include "platform/fatal_error.h"
#include "platform/input_file.h"
#include "platform/interruption.h"
#include "platform/system_error_text.h"

namespace catpub::platform {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

size_t KeepLastReply(char* data, size_t size, size_t count, void* user) {
  size_t length = size * count;
  std::string line(data, length);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  if (!line.empty()) *static_cast<std::string*>(user) = line;
  return length;
}

size_t Discard(char*, size_t size, size_t count, void*) { return size * count; }

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* user) {
  auto* file = static_cast<std::FILE*>(user);
  size_t read = std::fread(buffer, size, count, file);
  if (read == 0 && std::ferror(file)) return CURL_READFUNC_ABORT;
  return read;
}

// Ends a transfer once a signal has asked the run to end, unless it is the clean-up that removes
// what the run left on the server.
int AbortWhenInterrupted(void* cleaning_up, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return InterruptingSignal() != 0 && !*static_cast<bool*>(cleaning_up) ? 1 : 0;
}

// "dir/name", or `name` alone for the login directory.
std::string InDir(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return;
  for (size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

}  // namespace

// The easy handle and everything libcurl keeps pointers to (reply text, command
// lists). Options are sticky across transfers, so each step sets what it needs and Run() puts the
// per-step options back afterwards.
class CurlFtpControl::Session {
 public:
  explicit Session(const CurlFtpSettings& settings) : settings_(settings) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
      throw FatalError("FTP").Because("libcurl non si inizializza");
    }
    curl_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (curl_ == nullptr || multi_ == nullptr) {
      curl_multi_cleanup(multi_);
      curl_easy_cleanup(curl_);
      curl_global_cleanup();
      throw FatalError("FTP").Because("libcurl non crea una connessione");
    }
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, KeepLastReply);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &last_reply_);
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, Discard);
    curl_easy_setopt(curl_, CURLOPT_READFUNCTION, ReadFromFile);
    curl_easy_setopt(curl_, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT, settings.timeouts.connect_seconds);
    curl_easy_setopt(curl_, CURLOPT_ACCEPTTIMEOUT_MS, settings.timeouts.connect_seconds * 1000L);
    curl_easy_setopt(curl_, CURLOPT_SERVER_RESPONSE_TIMEOUT, settings.timeouts.reply_seconds);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, settings.timeouts.stall_seconds);
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, AbortWhenInterrupted);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, &cleaning_up_);
    if (settings.tls) {
      curl_easy_setopt(curl_, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
      curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYPEER, 1L);
      curl_easy_setopt(curl_, CURLOPT_SSL_VERIFYHOST, 2L);
      if (!settings.ca_file.empty())
        curl_easy_setopt(curl_, CURLOPT_CAINFO, settings.ca_file.c_str());
    }
  }

  ~Session() {
    curl_multi_cleanup(multi_);  // closes the control connection, which the multi handle keeps
    curl_easy_cleanup(curl_);
    curl_slist_free_all(quote_);
    curl_global_cleanup();
  }

  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  CURL* curl() { return curl_; }

  void SetHost(const std::string& host) {
    bool ipv6 = host.find(':') != std::string::npos && host.front() != '[';
    root_url_ =
        "ftp://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(settings_.port) + "/";
  }
  void SetUser(const std::string& user) {
    user_ = user;
    curl_easy_setopt(curl_, CURLOPT_USERNAME, user.c_str());
  }
  void SetPassword(const std::string& password) {
    password_ = password;
    curl_easy_setopt(curl_, CURLOPT_PASSWORD, password.c_str());
  }

  const std::string& root_url() const { return root_url_; }
  const std::string& user() const { return user_; }

  // The URL of a remote path: "/" + "%2F" keeps an absolute path absolute (libcurl takes a URL path
  // as relative to the login directory); each component is escaped.
  std::string Url(const std::string& path) {
    std::string url = root_url_;
    size_t start = 0;
    if (!path.empty() && path.front() == '/') {
      url += "%2F";
      start = 1;
    }
    while (start <= path.size()) {
      size_t end = path.find('/', start);
      if (end == std::string::npos) end = path.size();
      if (end > start) {  // a length of 0 would make libcurl escape up to the terminating NUL
        char* escaped = curl_easy_escape(curl_, path.data() + start, static_cast<int>(end - start));
        if (escaped == nullptr) throw FatalError("FTP").Because("memoria esaurita");
        url += escaped;
        curl_free(escaped);
      }
      if (end < path.size()) url += '/';
      start = end + 1;
    }
    return url;
  }

  void SetQuote(std::initializer_list<std::string> commands) {
    SetList(CURLOPT_QUOTE, quote_, commands);
  }

  // One transfer on `url`; afterwards the per-step options are back to a bare request.
  CURLcode Run(const std::string& url) {
    last_reply_.clear();
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    CURLcode result = Perform();
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(curl_, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
    SetQuote({});
    return result;
  }

  void Fail(const std::string& step, CURLcode result) {
    if (result == CURLE_OPERATION_TIMEDOUT) {
      // A server that stopped answering is asked nothing more: the run would wait a full timeout
      // for each further step. What it said last belongs to an earlier step.
      stalled_ = true;
      last_error_ = step + ": il server non risponde (" + CurlResultText(result) + ")";
      return;
    }
    if (result == CURLE_ABORTED_BY_CALLBACK) {
      stalled_ = true;  // the run is ending: nothing more is asked either
      last_error_ = step + ": interrotto";
      return;
    }
    last_error_ = step + ": " + CurlResultText(result);
    if (!last_reply_.empty()) last_error_ += " (risposta del server: " + last_reply_ + ")";
  }
  void Fail(const std::string& text) { last_error_ = text; }

  // The last failure, with any trace of the password masked.
  std::string LastError() const {
    std::string text = last_error_;
    ReplaceAll(text, password_, "********");
    return text;
  }

  // True once a step timed out or a signal ended it: every later step then fails at once, keeping
  // that step's failure.
  bool stalled() const { return stalled_; }

  // Asks the server to delete `path`, once, also after a signal; whether it could is not reported,
  // since what failed before is the failure to report.
  void Delete(const std::string& path) {
    const std::string failure = last_error_;
    cleaning_up_ = true;
    SetQuote({"DELE " + path});
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    Run(root_url_);
    cleaning_up_ = false;
    last_error_ = failure;
  }

  // The size of the remote file as the server reports it (SIZE); -1 when it does not.
  curl_off_t RemoteSize(const std::string& path, CURLcode& result) {
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    result = Run(Url(path));
    curl_off_t size = -1;
    if (result == CURLE_OK) curl_easy_getinfo(curl_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    return size;
  }

  std::string target_dir;

 private:
  // curl_easy_perform, with the wait between socket events capped: libcurl 7.88 may miss the
  // socket of a passive data connection opened right after its reply arrived, and
  // curl_easy_perform then sleeps a full second before connecting it.
  CURLcode Perform() {
    CURLMcode status = curl_multi_add_handle(multi_, curl_);
    int running = 1;
    while (status == CURLM_OK && running != 0) {
      status = curl_multi_perform(multi_, &running);
      if (status == CURLM_OK && running != 0) {
        status = curl_multi_poll(multi_, nullptr, 0, kMaxWaitMs, nullptr);
      }
    }
    CURLcode result = CURLE_OK;
    if (status != CURLM_OK) result = CURLE_FAILED_INIT;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
      if (message->msg == CURLMSG_DONE && result == CURLE_OK) result = message->data.result;
    }
    curl_multi_remove_handle(multi_, curl_);
    return result;
  }

  void SetList(CURLoption option, curl_slist*& list, std::initializer_list<std::string> commands) {
    curl_easy_setopt(curl_, option, nullptr);
    curl_slist_free_all(list);
    list = nullptr;
    for (const std::string& command : commands) {
      curl_slist* longer = curl_slist_append(list, command.c_str());
      if (longer == nullptr) throw FatalError("FTP").Because("memoria esaurita");
      list = longer;
    }
    if (list != nullptr) curl_easy_setopt(curl_, option, list);
  }

  const CurlFtpSettings settings_;
  static constexpr int kMaxWaitMs = 10;
  bool stalled_ = false;
  bool cleaning_up_ = false;  // read by AbortWhenInterrupted
  CURL* curl_ = nullptr;
  CURLM* multi_ = nullptr;  // holds the connection between steps
  curl_slist* quote_ = nullptr;
  std::string last_reply_;
  std::string last_error_;
  std::string root_url_;
  std::string user_;
  std::string password_;
};

CurlFtpControl::CurlFtpControl(FileSystem& fs, const CurlFtpSettings& settings)
    : fs_(fs), session_(std::make_unique<Session>(settings)) {}

CurlFtpControl::~CurlFtpControl() = default;

void CurlFtpControl::SetHostname(const std::string& host) { session_->SetHost(host); }

void CurlFtpControl::SetUsername(const std::string& user) { session_->SetUser(user); }

void CurlFtpControl::SetPassword(const std::string& password) { session_->SetPassword(password); }

void CurlFtpControl::SetPassive(int32_t passive) {
  // No FTPPORT means passive; "-" lets libcurl pick the address of the control connection.
  curl_easy_setopt(session_->curl(), CURLOPT_FTPPORT, passive == 1 ? nullptr : "-");
}

int32_t CurlFtpControl::Connect() {
  Session& s = *session_;
  if (s.stalled()) return 0;
  if (s.root_url().empty()) {
    s.Fail("connessione: nessun server indicato");
    return 0;
  }
  curl_easy_setopt(s.curl(), CURLOPT_NOBODY, 1L);
  CURLcode result = s.Run(s.root_url());
  if (result == CURLE_OK) return 1;
  s.Fail("connessione a " + s.root_url() + " come " + s.user(), result);
  return 0;
}

int32_t CurlFtpControl::ChangeRemoteDir(const std::string& dir) {
  Session& s = *session_;
  s.target_dir = dir;
  if (s.stalled()) return 0;
  curl_easy_setopt(s.curl(), CURLOPT_NOBODY, 1L);
  CURLcode result = s.Run(s.Url(InDir(dir, "")));
  if (result == CURLE_OK) return 1;
  s.Fail("cambio di directory in " + dir, result);
  return 0;
}

int32_t CurlFtpControl::CreateRemoteDir(const std::string& dir) {
  Session& s = *session_;
  s.target_dir = dir;
  if (s.stalled()) return 0;
  s.SetQuote({"MKD " + dir});
  curl_easy_setopt(s.curl(), CURLOPT_NOBODY, 1L);
  CURLcode result = s.Run(s.root_url());
  if (result == CURLE_OK) return 1;
  s.Fail("creazione della directory " + dir, result);
  return 0;
}

int32_t CurlFtpControl::PutFile(const std::string& local_path, const std::string& remote_name) {
  Session& s = *session_;
  if (s.stalled()) return 0;
  const std::string step = "invio di " + local_path;
  const std::filesystem::path local = fs_.LocalPath(local_path);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(local, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    s.Fail(step + ": non è un file");
    return 0;
  }
  File file(OpenForReading(local), &std::fclose);
  if (file == nullptr) {
    s.Fail(step + ": file non leggibile: " + SystemErrorText(errno));
    return 0;
  }
  // Only a run that holds the shop writes the export, so the file does not change once open.
  const uintmax_t file_size = std::filesystem::file_size(local, error);
  if (error) {
    s.Fail(step + ": file non leggibile: " + SystemErrorText(error));
    return 0;
  }
  const std::string part = InDir(s.target_dir, remote_name + ".part");
  const std::string final_name = InDir(s.target_dir, remote_name);
  const auto size = static_cast<curl_off_t>(file_size);
  curl_easy_setopt(s.curl(), CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(s.curl(), CURLOPT_READDATA, file.get());
  curl_easy_setopt(s.curl(), CURLOPT_INFILESIZE_LARGE, size);
  // Whatever fails, what the server holds of the file is deleted, unless it stopped answering.
  auto failed = [&](const std::string& what, CURLcode result) {
    s.Fail(what, result);
    if (result != CURLE_OPERATION_TIMEDOUT) s.Delete(part);
    return 0;
  };
  CURLcode result = s.Run(s.Url(part));
  if (result != CURLE_OK) return failed(step + " in " + part, result);
  // A server may answer 226 for a file it did not store whole (a full disk, a quota): only a file
  // of the size sent is put in place.
  const curl_off_t stored = s.RemoteSize(part, result);
  if (result != CURLE_OK) return failed("verifica della dimensione di " + part, result);
  if (stored != size) {
    s.Fail(step + " in " + part + ": il server ha ricevuto " +
           (stored < 0 ? std::string("una dimensione che non dichiara")
                       : std::to_string(stored) + " byte") +
           " su " + std::to_string(size));
    s.Delete(part);
    return 0;
  }
  s.SetQuote({"RNFR " + part, "RNTO " + final_name});
  curl_easy_setopt(s.curl(), CURLOPT_NOBODY, 1L);
  result = s.Run(s.root_url());
  if (result != CURLE_OK) return failed("rinomina di " + part + " in " + final_name, result);
  return 1;
}

bool CurlFtpControl::Stalled() const { return session_->stalled(); }

std::string CurlFtpControl::LastError() const { return session_->LastError(); }

}  // namespace catpub::platform
