// The publication server an executable was built for. Each executable that talks to the server
// compiles this file with the settings header generated for it (catpub_compile_in_server in
// src/CMakeLists.txt), so the libraries hold no server of their own.
#include "platform/curl_ftp_control.h"
#include "platform/shop_lock.h"
#include "publish/upload.h"
#include "publish_settings.h"

namespace catpub::platform {

CurlFtpSettings CompiledInFtpSettings() {
  CurlFtpSettings compiled_in;
  compiled_in.port = settings::kPublishFtpPort;
  compiled_in.tls = settings::kPublishFtpTls;
  compiled_in.ca_file = settings::kPublishFtpCaFile;
  compiled_in.timeouts.connect_seconds = settings::kPublishFtpConnectTimeout;
  compiled_in.timeouts.reply_seconds = settings::kPublishFtpReplyTimeout;
  compiled_in.timeouts.stall_seconds = settings::kPublishFtpStallTimeout;
  return compiled_in;
}

std::chrono::seconds CompiledInShopLockWait() {
  return std::chrono::seconds(settings::kRunLockTimeout);
}

}  // namespace catpub::platform

namespace catpub::publish {

FtpAccount CompiledInFtpAccount() {
  return {settings::kPublishFtpHost, settings::kPublishFtpUser, settings::kPublishFtpPassword};
}

}  // namespace catpub::publish
