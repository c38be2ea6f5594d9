// Upload speed of the FTP control against the curl command line tool: the same file (100 MiB by
// default) to the same test FTP server on 127.0.0.1, several rounds each, median wall time.
//
//   ftp_upload_bench [--size-mib=N] [--rounds=N]     (defaults: 100 MiB, 7 rounds)
//
// The file and the server's root are in a fresh folder under the temporary folder, removed at the
// end.
//
// The control's round is a whole publication (connect, change directory, upload under a temporary
// name, rename); curl's is `curl -T` of the file into the same directory, process start included.
// On a shared machine the fastest round is the steadier figure; the median is shown beside it.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ftp_server_process.h"
#include "named_options.h"
#include "platform/curl_ftp_control.h"
#include "platform/windows_file_system.h"

extern char** environ;

namespace catpub {
namespace {

namespace fs = std::filesystem;

const char kUser[] = "bench";
const char kPassword[] = "Bench0nlyPassw0r";
const char kDir[] = "/var/www/vellum/orbis/12";

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall and client CPU time of each round.
struct Times {
  std::vector<double> wall;
  std::vector<double> cpu;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Fastest(const std::vector<double>& values) {
  return *std::min_element(values.begin(), values.end());
}

void Report(const char* name, int size_mib, const Times& times) {
  std::printf("%-15s %.3f s (%.0f MiB/s), median %.3f s; client CPU median %.3f s\n", name,
              Fastest(times.wall), size_mib / Fastest(times.wall), Median(times.wall),
              Median(times.cpu));
}

bool UploadWithControl(platform::FileSystem& files, int port) {
  platform::CurlFtpSettings settings{port, false, "", {30, 60, 60}};
  platform::CurlFtpControl control(files, settings);
  control.SetHostname("127.0.0.1");
  control.SetUsername(kUser);
  control.SetPassword(kPassword);
  control.SetPassive(1);
  bool ok = control.Connect() == 1 && control.ChangeRemoteDir(kDir) != 0 &&
            control.PutFile("C:\\orbis\\articoli.csv", "articoli.csv") != 0;
  if (!ok) std::fprintf(stderr, "control: %s\n", control.LastError().c_str());
  return ok;
}

bool UploadWithCurl(const fs::path& file, int port, double& cpu) {
  std::string url = "ftp://127.0.0.1:" + std::to_string(port) + "/%2F" + (kDir + 1) + "/curl.csv";
  std::string user = std::string(kUser) + ":" + kPassword;
  std::string local = file.string();
  std::vector<char*> argv = {const_cast<char*>("curl"),
                             const_cast<char*>("-sS"),
                             const_cast<char*>("-u"),
                             user.data(),
                             const_cast<char*>("-T"),
                             local.data(),
                             url.data(),
                             nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  cpu = CpuSeconds(usage);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int Run(int size_mib, int rounds) {
  std::string pattern = (fs::temp_directory_path() / "catpub-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  fs::path temp = pattern;
  fs::create_directories(temp / "served/var/www/vellum/orbis/12");
  fs::create_directories(temp / "drives/c/orbis");
  fs::path local = temp / "drives/c/orbis/articoli.csv";
  {
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::ofstream out(local, std::ios::binary);
    for (int i = 0; i < size_mib; ++i) out << block;
  }
  platform::WindowsFileSystem files(temp / "drives", temp / "drives/c");
  int result = 0;
  {
    testing::FtpServerProcess server(
        {temp / "served", kUser, kPassword, "none", {}, {}, temp / "server.log"});
    Times control_times;
    Times curl_times;
    auto time_control = [&] {
      rusage before{};
      rusage after{};
      getrusage(RUSAGE_SELF, &before);
      auto start = std::chrono::steady_clock::now();
      if (!UploadWithControl(files, server.port())) result = 1;
      control_times.wall.push_back(Seconds(std::chrono::steady_clock::now() - start));
      getrusage(RUSAGE_SELF, &after);
      control_times.cpu.push_back(CpuSeconds(after) - CpuSeconds(before));
    };
    auto time_curl = [&] {
      double cpu = 0;
      auto start = std::chrono::steady_clock::now();
      if (!UploadWithCurl(local, server.port(), cpu)) result = 1;
      curl_times.wall.push_back(Seconds(std::chrono::steady_clock::now() - start));
      curl_times.cpu.push_back(cpu);
    };
    fs::path served = temp / "served/var/www/vellum/orbis/12";
    // Alternate which goes first, so that neither always meets the other's write-back; both write
    // a new file on the server (no old file to truncate or unlink).
    for (int round = 0; round < rounds && result == 0; ++round) {
      fs::remove(served / "articoli.csv");
      fs::remove(served / "curl.csv");
      if (round % 2 == 0) {
        time_control();
        time_curl();
      } else {
        time_curl();
        time_control();
      }
    }
    if (result == 0 && (fs::file_size(served / "articoli.csv") != fs::file_size(local) ||
                        fs::file_size(served / "curl.csv") != fs::file_size(local))) {
      std::fprintf(stderr, "an uploaded file has the wrong size\n");
      result = 1;
    }
    if (result == 0) {
      std::printf("%d MiB, %d rounds: fastest and median wall time\n", size_mib, rounds);
      Report("CurlFtpControl", size_mib, control_times);
      Report("curl -T", size_mib, curl_times);
      std::printf("ratio           %.2f fastest, %.2f median (target <= 1.20)\n",
                  Fastest(control_times.wall) / Fastest(curl_times.wall),
                  Median(control_times.wall) / Median(curl_times.wall));
    }
  }
  fs::remove_all(temp);
  return result;
}

}  // namespace
}  // namespace catpub

int main(int argc, char** argv) {
  const char* usage = "ftp_upload_bench [--size-mib=N] [--rounds=N]";
  const auto named = catpub::bench::NamedOptions(argc, argv, {"size-mib", "rounds"}, usage);
  if (!named) return 2;
  const int size_mib = named->contains("size-mib") ? std::atoi(named->at("size-mib").c_str()) : 100;
  const int rounds = named->contains("rounds") ? std::atoi(named->at("rounds").c_str()) : 7;
  if (size_mib <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: %s\n", usage);
    return 2;
  }
  return catpub::Run(size_mib, rounds);
}
