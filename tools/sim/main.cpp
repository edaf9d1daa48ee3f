// korvane-sim: a virtual KORVANE device on a pseudo-terminal.

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "KorvaneVersion.h"
#include "platform/FileBytes.h"
#include "sim/ImageFile.h"
#include "sim/PtyDevice.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"
#include "sim/VirtualPortPublication.h"

namespace {

using namespace korvane;

// Blocks the stop signals and returns a descriptor that reports them.
int OpenSignalFd() {
  sigset_t stop;
  ::sigemptyset(&stop);
  ::sigaddset(&stop, SIGINT);
  ::sigaddset(&stop, SIGTERM);
  ::sigaddset(&stop, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
    throw std::runtime_error("cannot block the stop signals");
  }
  const int fd = ::signalfd(-1, &stop, SFD_CLOEXEC);
  if (fd < 0) {
    throw std::runtime_error("cannot watch the stop signals");
  }
  return fd;
}

// The image to start with; a missing image file is created with the default.
std::string StartImage(const std::string& path) {
  if (path.empty()) {
    return TDeviceModel::DefaultImage();
  }
  TResult<std::optional<std::string>> loaded = LoadImageFile(path);
  if (!loaded) {
    throw std::runtime_error(loaded.Message());
  }
  if (loaded.Value()) {
    return *std::move(loaded).Value();
  }
  std::string image = TDeviceModel::DefaultImage();
  if (const TStatus saved = ReplaceFileBytes(path, image); !saved) {
    throw std::runtime_error(saved.Message());
  }
  std::cerr << "korvane-sim: " << path << " did not exist; created it with the default image\n";
  return image;
}

int Simulate(const SimOptions& options) {
  const int signalFd = OpenSignalFd();
  std::string image = StartImage(options.ImagePath);
  TPtyDevice pty;
  const auto publication = PublishVirtualPort(pty.SlavePath(), options.Name);
  std::printf("%s %s\n", publication->Name().c_str(), pty.SlavePath().c_str());
  std::fflush(stdout);
  TSimulator simulator(options, pty, std::move(image), std::cerr);
  simulator.Run(signalFd);
  ::close(signalFd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  try {
    options = ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& error) {
    std::cerr << "korvane-sim: " << error.what() << "\nTry 'korvane-sim --help'.\n";
    return 2;
  }
  if (options.Help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << "korvane-sim " << KORVANE_VERSION << "\n";
    return 0;
  }
  ::signal(SIGPIPE, SIG_IGN);
  try {
    return Simulate(options);
  } catch (const std::exception& error) {
    std::cerr << "korvane-sim: " << error.what() << '\n';
    return 1;
  }
}
