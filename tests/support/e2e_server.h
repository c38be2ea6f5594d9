// The test FTP server for catalog-publisher-e2e, the program's test build that has 127.0.0.1 at
// CATPUB_E2E_FTP_PORT and the demo account compiled in (the CATPUB_E2E_FTP_* definitions of the
// end-to-end test targets).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "ftp_server_process.h"

namespace catpub::testing {

// Starts the server over `root` with `fault`, logging to `log_file`, into `server`. On failure,
// says why the port could not be had.
inline ::testing::AssertionResult StartE2eServer(const std::filesystem::path& root,
                                                 const std::filesystem::path& log_file,
                                                 const std::string& fault,
                                                 std::unique_ptr<FtpServerProcess>& server) {
  FtpServerOptions options;
  options.root = root;
  options.user = CATPUB_E2E_FTP_USER;
  options.password = CATPUB_E2E_FTP_PASSWORD;
  options.fault = fault;
  options.log_file = log_file;
  options.port = CATPUB_E2E_FTP_PORT;
  try {
    server = std::make_unique<FtpServerProcess>(options);
    return ::testing::AssertionSuccess();
  } catch (const std::runtime_error& error) {
    return ::testing::AssertionFailure()
           << "the test FTP server cannot listen on 127.0.0.1:" << CATPUB_E2E_FTP_PORT
           << ", the port catalog-publisher-e2e was built for (CMake cache variable "
              "CATPUB_E2E_FTP_PORT): "
           << error.what();
  }
}

}  // namespace catpub::testing
