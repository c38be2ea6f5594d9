// A Windows program's world under Wine: a Wine prefix of its own whose drives are the folders of a
// test's drives folder (`c` is C:, `d` is D:, ...), so that the Windows build sees the same shop as
// the Linux build does through CATALOG_PUBLISHER_DRIVES. The prefix is made from a template
// (`wineboot` once, see tests/wine/make-template.sh) in a second: its registry is copied and the
// Windows folder, which Wine needs on C:, is a link into the template's. The destructor ends the
// prefix's Wine server, so nothing is left running.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace catpub::testing {

class WineWorld {
 public:
  WineWorld(const std::filesystem::path& prefix, const std::filesystem::path& drives,
            const std::filesystem::path& wine_template)
      : prefix_(prefix) {
    namespace fs = std::filesystem;
    if (fs::exists(prefix_ / "dosdevices")) return;  // made for an earlier run of the same shop
    fs::create_directories(prefix_ / "dosdevices");
    for (const char* file : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}) {
      fs::copy_file(wine_template / file, prefix_ / file);
    }
    // A drive letter must be there when the Wine session starts to be in Windows' drive list.
    for (const fs::directory_entry& entry : fs::directory_iterator(drives)) {
      const std::string name = entry.path().filename().string();
      if (entry.is_directory() && name.size() == 1 && std::islower(name[0])) {
        fs::create_directory_symlink(fs::absolute(entry.path()),
                                     prefix_ / "dosdevices" / (name + ":"));
      }
    }
    fs::create_directories(drives / "c");
    if (!fs::exists(prefix_ / "dosdevices/c:")) {
      fs::create_directory_symlink(fs::absolute(drives / "c"), prefix_ / "dosdevices/c:");
    }
    std::error_code absent;
    if (!fs::exists(drives / "c/windows", absent)) {
      fs::create_directory_symlink(wine_template / "drive_c/windows", drives / "c/windows");
    }
    fs::create_directory_symlink("/", prefix_ / "dosdevices/z:");
  }
  ~WineWorld() { Run({"wineserver", "-k"}); }

  // The world of the shop whose drives folder is `drives`, shared by the runs of that shop that
  // are under way, as one Windows machine is: they see each other's open files and locks. The
  // prefix lives in the drives folder (a name that is no drive letter), and its server ends with
  // the last run that holds it. `display` is the run's X display (empty: none). Wine keeps the
  // desktop that the first program of a server found until that server ends: a run with a
  // display in a world started without one would still run headless, so runs that share a world
  // must share a display.
  static std::shared_ptr<WineWorld> Of(const std::filesystem::path& drives,
                                       const std::filesystem::path& wine_template,
                                       const std::string& display) {
    static std::map<std::filesystem::path, std::weak_ptr<WineWorld>> worlds;
    std::shared_ptr<WineWorld> world = worlds[drives].lock();
    if (!world) {
      world = std::make_shared<WineWorld>(drives / "wine-prefix", drives, wine_template);
      world->display_ = display;
      worlds[drives] = world;
    } else if (world->display_ != display) {
      throw std::logic_error("a run on display '" + display + "' in the Wine world of " +
                             drives.string() + ", started on display '" + world->display_ +
                             "': Wine would keep that one's desktop");
    }
    return world;
  }
  WineWorld(const WineWorld&) = delete;
  WineWorld& operator=(const WineWorld&) = delete;

  const std::filesystem::path& prefix() const { return prefix_; }

 private:
  // Runs a Wine tool for this prefix and waits for it.
  void Run(std::initializer_list<const char*> args) const {
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("WINEPREFIX", prefix_.c_str(), 1);
      std::vector<char*> argv;
      for (const char* arg : args) argv.push_back(const_cast<char*>(arg));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    if (pid > 0) waitpid(pid, nullptr, 0);
  }

  std::filesystem::path prefix_;
  std::string display_;  // of the runs under way
};

}  // namespace catpub::testing
