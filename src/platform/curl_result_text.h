#pragma once

#include <curl/curl.h>

#include <string>

namespace catpub::platform {

// What a failed libcurl step means, in the shop's words, by its result code. libcurl's own texts
// are English and may name the machine's local paths; a server's reply is quoted apart, as it
// stands.
std::string CurlResultText(CURLcode result);

}  // namespace catpub::platform
