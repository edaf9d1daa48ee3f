// korvane-sim: a virtual KORVANE device on a pseudo-terminal.

#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "KorvaneVersion.h"
#include "platform/FileBytes.h"
#include "platform/SystemError.h"
#include "platform/UniqueHandle.h"
#include "sim/ImageFile.h"
#include "sim/PtyDevice.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"
#include "sim/VirtualPortPublication.h"

namespace {

using namespace korvane;

TError Failure(const std::string& what) {
  const std::error_code code = LastSystemErrorCode();
  return TError(code, "cannot " + what + ": " + SystemErrorText(code));
}

// Blocks the stop signals and returns a descriptor that reports them.
TResult<UniqueFd> OpenSignalFd() {
  sigset_t stop;
  ::sigemptyset(&stop);
  ::sigaddset(&stop, SIGINT);
  ::sigaddset(&stop, SIGTERM);
  ::sigaddset(&stop, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &stop, nullptr) != 0) {
    return Failure("block the stop signals");
  }
  UniqueFd fd(::signalfd(-1, &stop, SFD_CLOEXEC));
  if (!fd) {
    return Failure("watch the stop signals");
  }
  return fd;
}

// The image to start with; a missing image file is created with the default.
TResult<std::string> StartImage(const std::string& path) {
  if (path.empty()) {
    return TDeviceModel::DefaultImage();
  }
  TResult<std::optional<std::string>> loaded = LoadImageFile(path);
  if (!loaded) {
    return loaded.Error();
  }
  if (loaded.Value()) {
    return *std::move(loaded).Value();
  }
  std::string image = TDeviceModel::DefaultImage();
  if (const TStatus saved = ReplaceFileBytes(path, image); !saved) {
    return saved.Error();
  }
  std::cerr << "korvane-sim: " << path << " did not exist; created it with the default image\n";
  return image;
}

TStatus Simulate(const SimOptions& options) {
  TResult<UniqueFd> signalFd = OpenSignalFd();
  if (!signalFd) {
    return signalFd.Error();
  }
  TResult<std::string> image = StartImage(options.ImagePath);
  if (!image) {
    return image.Error();
  }
  TResult<TDeviceModel> model = TDeviceModel::Create(options.Device, std::move(image).Value());
  if (!model) {
    return model.Error();
  }
  TResult<std::unique_ptr<TPtyDevice>> pty = TPtyDevice::Open();
  if (!pty) {
    return pty.Error();
  }
  const std::string& slavePath = pty.Value()->SlavePath();
  const auto publication = PublishVirtualPort(slavePath, options.Name);
  if (!publication) {
    return publication.Error();
  }
  std::printf("%s %s\n", publication.Value()->Name().c_str(), slavePath.c_str());
  std::fflush(stdout);
  TSimulator simulator(options, *pty.Value(), std::move(model).Value(), std::cerr);
  return simulator.Run(signalFd.Value().Get());
}

int Run(const std::vector<std::string>& args) {
  const TResult<SimOptions> parsed = ParseSimOptions(args);
  if (!parsed) {
    std::cerr << "korvane-sim: " << parsed.Message() << "\nTry 'korvane-sim --help'.\n";
    return 2;
  }
  const SimOptions& options = parsed.Value();
  if (options.Help) {
    std::cout << SimUsage();
    return 0;
  }
  if (options.Version) {
    std::cout << "korvane-sim " << KORVANE_VERSION << "\n";
    return 0;
  }
  ::signal(SIGPIPE, SIG_IGN);
  const TStatus simulated = Simulate(options);
  if (!simulated) {
    std::cerr << "korvane-sim: " << simulated.Message() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& error) {  // the image file's failures, or no memory
    std::cerr << "korvane-sim: " << error.what() << '\n';
    return 1;
  }
}
