#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include <KorvaneVersion.h>
#include "cli/Sha256.h"
#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "files/CodeSetFile.h"
#include "model/HexCodec.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace korvane {
namespace {

using test::ChildProcess;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ReadAll(const fs::path& path) {
  return test::ReadBytes(path.string());
}

std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Simulators and the command-line tool share a private port folder and a
// private temporary folder; messages are in English.
class CliEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(tmp_); }
  void TearDown() override { sims_.clear(); }

  // Starts a simulator and returns its port name.
  std::string StartSim(std::vector<std::string> switches = {}) {
    switches.insert(switches.begin(), KORVANE_SIM_PATH);
    sims_.push_back(std::make_unique<ChildProcess>(switches, env_));
    const auto line = sims_.back()->ReadLine(5s);
    EXPECT_TRUE(line.has_value()) << sims_.back()->Err();
    return line ? line->substr(0, line->find(' ')) : std::string("none");
  }

  struct Run {
    int exit = -1;
    std::string out;
    std::string err;
  };
  // Starts korvane-cli (each run keeps its images in its own temporary folder).
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> arguments,
                                      const std::vector<std::string>& prefix = {}) {
    arguments.insert(arguments.begin(), KORVANE_CLI_PATH);
    arguments.insert(arguments.begin(), prefix.begin(), prefix.end());
    return std::make_unique<ChildProcess>(arguments, env_);
  }
  static Run Finish(ChildProcess& cli, std::chrono::seconds limit = 40s) {
    const auto status = cli.Wait(limit);
    return {status.value_or(-1), cli.Out(), cli.Err()};
  }
  Run Cli(std::vector<std::string> arguments) { return Finish(*Start(std::move(arguments))); }

  std::string WriteCodeSet(const CodeTable& table, const std::string& name = "codes.IOS") {
    const std::string path = (dir_ / name).string();
    EXPECT_TRUE(SaveCodeSet(table, path));
    return path;
  }

  static CodeTable SampleTable() {
    CodeTable table;
    table.SetText(1, 1, "0102FF");
    table.SetText(2, 5, "A0B1C2D3");
    table.SetText(3, 8, std::string(126, 'E'));
    table.SetText(4, 4, "7F");
    return table;
  }

  // A simulator whose device holds `table` in `imageFile`.
  std::string StartSimHolding(const CodeTable& table, const fs::path& imageFile) {
    std::ofstream(imageFile, std::ios::binary) << ComposeImage(table, 1);
    return StartSim({"--image", imageFile.string()});
  }

  // Checks `text` (`lines`: each line, as in the results log) against the
  // published schema docs/json/`schema` with Debian's validator, which must
  // exit with `expected` (0 valid, 1 not); its complaints.
  std::string ExpectSchema(const std::string& schema, const std::string& text, bool lines = false,
                           int expected = 0) {
    const fs::path file = dir_ / ("document-" + std::to_string(++documents_) + ".json");
    std::ofstream(file, std::ios::binary) << text;
    ChildProcess validator({"/usr/bin/python3", KORVANE_VALIDATE_JSON,
                            std::string(KORVANE_DOCS_DIR) + "/json/" + schema, file.string(),
                            lines ? "--lines" : ""});
    EXPECT_EQ(validator.Wait(30s), expected) << schema << "\n" << validator.Err() << text;
    return validator.Err();
  }

  test::TempDir temp_;
  int documents_ = 0;
  const fs::path& dir_ = temp_.Path();
  const fs::path tmp_ = dir_ / "tmp";
  // The user's defaults (cli.ini) are looked for in a folder of the test's own.
  std::vector<std::string> env_{"XDG_RUNTIME_DIR=" + dir_.string(),
                                "TMPDIR=" + tmp_.string(),
                                "LC_ALL=",
                                "LC_MESSAGES=",
                                "LANG=C.UTF-8",
                                "XDG_CONFIG_HOME=" + (dir_ / "config").string()};
  std::vector<std::unique_ptr<ChildProcess>> sims_;
};

TEST_F(CliEndToEnd, WriteVerifiesThenReadGivesTheFileOnStdout) {
  const std::string port = StartSim();
  const CodeTable table = SampleTable();
  const std::string file = WriteCodeSet(table);

  const Run write = Cli({"write", "-p", port, file, "--baud", "19200"});
  ASSERT_EQ(write.exit, 0) << write.out << write.err;
  EXPECT_EQ(write.out, port + ": Programming succeeded! (verified)\n");

  const Run read = Cli({"read", "--port=" + port, "-o", "-"});
  ASSERT_EQ(read.exit, 0) << read.err;
  EXPECT_EQ(read.out, CodeSetText(table));  // nothing but the code set
  EXPECT_TRUE(Contains(read.err, "baud rate 19200")) << read.err;

  const std::string readBack = (dir_ / "back.IOS").string();
  const Run toFile = Cli({"read", "-p", port, "--output", readBack, "-q"});
  ASSERT_EQ(toFile.exit, 0) << toFile.err;
  EXPECT_EQ(toFile.out, port + ": Data read successfully! (baud rate 19200)\n");
  EXPECT_EQ(toFile.err, "");
  CodeTable back;
  ASSERT_TRUE(LoadCodeSet(back, readBack));
  EXPECT_EQ(back, table);
}

// Every command: the exit code, results on stdout, the reason on stderr as
// "korvane-cli: PORT: ...". The cases run at once, each on its own simulator.
TEST_F(CliEndToEnd, OutputConventionAndExitCodesAcrossCommands) {
  const std::string file = WriteCodeSet(SampleTable());
  CodeTable overlong;
  overlong.SetText(2, 2, std::string(130, 'A'));
  const std::string longFile = WriteCodeSet(overlong, "long.IOS");
  std::ofstream(dir_ / "other.ini") << "[Settings]\nColour=blue\n";
  const std::string other = (dir_ / "other.ini").string();
  struct Case {
    std::vector<std::string> args;
    int exit;
    std::string out;  // stdout holds this ("" for nothing at all)
    std::string err;  // stderr holds this
  };
  const std::string silent = StartSim({"--silent"});
  const std::string silentToo = StartSim({"--silent"});
  const std::string echoing = StartSim({"--silent", "--echo"});
  CodeTable huge;
  huge.SetText(1, 1, std::string(3000, 'A'));
  const std::string hugeFile = WriteCodeSet(huge, "huge.IOS");
  const std::string noAck = StartSim({"--ack-block-from", "2:99"});
  const std::string shortReply = StartSim({"--read-reply-bytes", "3071"});
  const std::string dropped = StartSim({"--drop-after", "600"});      // unplugged in block 2
  const std::string droppedInRead = StartSim({"--drop-after", "8"});  // after the read request
  const std::string traced = StartSim();
  const std::string good = StartSim();
  const std::string linked = StartSim();  // a link planted at its image's lock
  fs::create_directory(dir_ / "linked");
  std::ofstream(dir_ / "victim") << "kept";
  fs::create_symlink(dir_ / "victim", dir_ / "linked" / "Configuration.bin.lock");
  const std::vector<Case> cases = {
      {{"--version"}, 0, "korvane-cli " KORVANE_VERSION "\n", ""},
      {{"bogus"}, 2, "", "Run 'korvane-cli --help' for usage."},
      {{"write", "-p", good, file, "--frob"}, 2, "", "Run 'korvane-cli write --help'"},
      {{"write", "-p", "NO_SUCH_PORT", file},
       10,
       "NO_SUCH_PORT: failed (exit 10)\n",
       "korvane-cli: NO_SUCH_PORT: cannot open the port: /dev/NO_SUCH_PORT: no such serial port"},
      {{"write", "-p", silent, file},
       11,
       silent + ": failed (exit 11)\n",
       "korvane-cli: " + silent +
           ": The device did not accept the programming request! Check the connection!; the port "
           "answered nothing"},
      {{"write", "-p", echoing, file},
       11,
       echoing + ": failed (exit 11)\n",
       "the port echoed the request back (C7EBC7F3B1E0B3CC)"},
      {{"image", hugeFile, "-o", (dir_ / "huge.bin").string()},
       14,
       "",
       "IO1 ButtonDownSend1 (3000 characters)"},
      {{"write", "-p", silentToo, file, "--lang", "zh"},
       11,
       silentToo + ": 失败（退出码 11）\n",
       "korvane-cli: " + silentToo + ": 设备没办法接受编程请求！请检查通讯是否正常!"},
      {{"write", "-p", noAck, file, "--no-verify"},
       13,
       noAck + ": failed (exit 13)\n",
       "may be partly written"},
      {{"write", "-p", good, longFile},
       14,
       "failed (exit 14)",
       "IO2 ButtonDownSend2 (130 characters)"},
      {{"write", "-p", dropped, file},
       18,
       dropped + ": failed (exit 18)\n",
       dropped + ": the line was lost (device unplugged?) during block 2/5; nothing more was sent"},
      {{"read", "-p", droppedInRead},
       18,
       droppedInRead + ": failed (exit 18)\n",
       droppedInRead + ": the line was lost (device unplugged?) during reading"},
      {{"read", "-p", shortReply},
       15,
       shortReply + ": failed (exit 15)\n",
       "korvane-cli: " + shortReply + ": Reading the data failed!"},
      {{"write", "-p", good, (dir_ / "missing.IOS").string()}, 3, "", "no such file"},
      {{"write", "-p", good, other}, 3, "", "holds none of the 32 code keys"},
      {{"write", "-p", good, "--port", (dir_ / "korvane-sim" / good).string(), file},
       2,
       "",
       "name the same device"},
      {{"image", file, "-o", file}, 3, "", "is the code set file itself"},
      {{"write", "-p", linked, "--image-dir", (dir_ / "linked").string(), file},
       12,
       linked + ": failed (exit 12)\n",
       "Configuration.bin.lock: it is a symbolic link, which is never followed"},
      {{"write", "-p", traced, file, "-v", "--no-verify"},
       0,
       traced + ": Programming succeeded!\n",
       " " + traced + ": sent 8 bytes C7EBC7F3B1E0B3CC (+"},
  };
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const Case& c : cases) {
    runs.push_back(Start(c.args));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Run run = Finish(*runs[i]);
    const Case& c = cases[i];
    const std::string what = c.args.front() + " " + (c.args.size() > 2 ? c.args[2] : "");
    EXPECT_EQ(run.exit, c.exit) << what << "\n" << run.out << run.err;
    if (c.out.empty()) {
      EXPECT_EQ(run.out, "") << what;
    } else {
      EXPECT_TRUE(Contains(run.out, c.out)) << what << ": " << run.out;
    }
    EXPECT_TRUE(Contains(run.err, c.err)) << what << ": " << run.err;
  }
  EXPECT_EQ(ReadAll(dir_ / "victim"), "kept");
  const Run none = Cli({"--help"});
  EXPECT_EQ(none.exit, 0);
  EXPECT_EQ(
      Finish(*std::make_unique<ChildProcess>(std::vector<std::string>{KORVANE_CLI_PATH}, env_))
          .exit,
      2);
}

TEST_F(CliEndToEnd, JsonAndResultsLogForAGoodAndAFailingPort) {
  const std::string good = StartSim();
  const std::string silent = StartSim({"--silent"});
  const std::string file = WriteCodeSet(SampleTable());
  const std::string log = (dir_ / "station.jsonl").string();
  const Run write = Cli({"write", "-p", good, "-p", silent, "--json", "--log", log, file,
                         "--station", "line 3", "--operator", "Wu", "--batch", "B-0917"});
  EXPECT_EQ(write.exit, 11) << write.err;
  ExpectSchema("write-result.schema.json", write.out);
  const auto json = nlohmann::json::parse(write.out);  // the whole of stdout
  EXPECT_EQ(json["format"], 1);
  EXPECT_EQ(json["file"]["image_sha256"], cli::Sha256Hex(ComposeImage(SampleTable(), 1)));
  EXPECT_EQ(json["ports"][0]["verified"], true);
  EXPECT_EQ(json["exit"], 11);
  EXPECT_EQ(json["file"]["sha256"].get<std::string>().size(), 64u);
  ASSERT_EQ(json["ports"].size(), 2u);
  const auto& ok = json["ports"][0];
  const auto& failed = json["ports"][1];
  EXPECT_EQ(ok["port"], good);
  EXPECT_EQ(ok["path"], (dir_ / "korvane-sim" / good).string());
  EXPECT_TRUE(ok["usb"].is_null());
  EXPECT_EQ(ok["phase"], "done");
  EXPECT_EQ(ok["result"], "ok");
  EXPECT_EQ(ok["exit"], 0);
  EXPECT_EQ(ok["differences"].size(), 0u);
  // Programming (5.5 s) and the read-back reply on the wire (3.2 s).
  EXPECT_GT(ok["duration_ms"].get<int>(), 8500);
  EXPECT_EQ(failed["phase"], "connecting");
  EXPECT_EQ(failed["result"], "failed");
  EXPECT_EQ(failed["exit"], 11);
  EXPECT_TRUE(Contains(failed["message"], "did not accept")) << failed["message"];
  EXPECT_GT(failed["duration_ms"].get<int>(), 2900);  // six requests, 500 ms apart

  std::istringstream lines(ReadAll(log));
  std::vector<nlohmann::json> entries;
  for (std::string line; std::getline(lines, line);) {
    entries.push_back(nlohmann::json::parse(line));
  }
  ASSERT_EQ(entries.size(), 2u);
  for (const auto& entry : entries) {
    EXPECT_EQ(entry["file"], "codes.IOS");
    EXPECT_EQ(entry["sha256"], json["file"]["sha256"]);
    EXPECT_EQ(entry["image_sha256"], json["file"]["image_sha256"]);
    EXPECT_EQ(entry["run_id"], json["run_id"]);
    EXPECT_EQ(entry["batch"], "B-0917");
    EXPECT_EQ(entry["time"].get<std::string>().size(), 20u);  // 2026-12-08T09:00:00Z
  }
  EXPECT_EQ(entries[0]["port"], good);
  EXPECT_EQ(entries[0]["verified"], true);
  EXPECT_EQ(entries[1]["result"], "failed");
  EXPECT_EQ(entries[1]["phase"], "connecting");

  const Run read = Cli({"read", "-p", good, "--json", "--log", log});
  ASSERT_EQ(read.exit, 0) << read.err;
  ExpectSchema("read-result.schema.json", read.out);
  ExpectSchema("log-line.schema.json", ReadAll(log), true);
  const auto back = nlohmann::json::parse(read.out);
  EXPECT_NE(back["run_id"], json["run_id"]);
  EXPECT_EQ(back["command"], "read");
  EXPECT_EQ(back["ports"][0]["baud_rate"], "9600");
  EXPECT_EQ(back["ports"][0]["codes"]["Button2"]["ButtonUpSend1"], "A0B1C2D3");
  EXPECT_EQ(back["ports"][0]["codes"]["Button4"]["ButtonUpSend4"], "");

  const auto ports = nlohmann::json::parse(Cli({"ports", "--json"}).out);
  ExpectSchema("ports.schema.json", ports.dump());
  EXPECT_EQ(ports["format"], 1);
  EXPECT_EQ(ports["ports"][0]["name"], good);
  EXPECT_EQ(ports["ports"][0]["virtual"], true);
}

// A run refused before any port was used still leaves its line, with what
// the profile (the user's cli.ini here) supplied where the command line gave
// nothing; the command line wins where it gives a value.
TEST_F(CliEndToEnd, RefusedRunsLeaveTheirLogLine) {
  fs::create_directories(dir_ / "config" / "korvane");
  const std::string log = (dir_ / "station.jsonl").string();
  std::ofstream(dir_ / "config" / "korvane" / "cli.ini")
      << "[korvane-cli]\nports = serial=NONE-SUCH\nlog = " << log
      << "\nstation = bench 2\nbaud = 57600\n";
  const std::string file = WriteCodeSet(SampleTable());
  EXPECT_EQ(Cli({"write", (dir_ / "missing.IOS").string()}).exit, 3);
  EXPECT_EQ(Cli({"read", "-p", "vid:pid=ffff:0001", "--station", "x"}).exit, 10);
  EXPECT_EQ(Cli({"write", file}).exit, 10);
  ExpectSchema("log-line.schema.json", ReadAll(log), true);
  std::istringstream lines(ReadAll(log));
  std::vector<std::string> seen;
  nlohmann::json last;
  for (std::string line; std::getline(lines, line);) {
    last = nlohmann::json::parse(line);
    seen.push_back(last["phase"].get<std::string>() + " " + last["port"].get<std::string>() + " " +
                   last["station"].get<std::string>() + " " +
                   last["image_sha256"].get<std::string>());
  }
  const std::string image = cli::Sha256Hex(ComposeImage(SampleTable(), 3));  // 57600
  EXPECT_EQ(seen, (std::vector<std::string>{"loading serial=NONE-SUCH bench 2 ",
                                            "selecting vid:pid=ffff:0001 x ",
                                            "selecting serial=NONE-SUCH bench 2 " + image}));
  // The schemas are no formality: a log line is no write result.
  EXPECT_TRUE(Contains(ExpectSchema("write-result.schema.json", last.dump(), false, 1),
                       "'ports' is a required property"));
}

TEST_F(CliEndToEnd, VerifyComparesTheDeviceWithTheCodeSetFile) {
  const std::string corrupting = StartSim({"--corrupt-image"});
  const std::string file = WriteCodeSet(SampleTable());
  auto corruptRun = Start({"write", "-p", corrupting, file});
  const Run corrupt = Finish(*corruptRun, 60s);
  EXPECT_EQ(corrupt.exit, 16) << corrupt.out << corrupt.err;
  EXPECT_TRUE(Contains(corrupt.err, "verify: IO")) << corrupt.err;
}

// A full file system for the image, and an old image another user left that
// cannot be replaced: nothing after the handshake reaches the device.
TEST_F(CliEndToEnd, AnImageThatCannotBeWrittenIsNeverSent) {
  const CodeTable earlier = SampleTable();
  CodeTable next;
  next.SetText(1, 1, "AABBCC");
  const std::string file = WriteCodeSet(next, "next.IOS");

  const fs::path stale = dir_ / "stale";
  fs::create_directory(stale);
  fs::permissions(stale, fs::perms::all | fs::perms::sticky_bit);  // like /tmp
  std::ofstream(stale / "Configuration.bin", std::ios::binary) << std::string(2560, 'X');
  fs::permissions(stale / "Configuration.bin", fs::perms(0644));
  fs::permissions(dir_, fs::perms(0755));
  fs::permissions(file, fs::perms(0644));
  const fs::path staleDevice = dir_ / "stale-device.bin";
  const std::string stalePort = StartSimHolding(earlier, staleDevice);
  // The port and the files as user nobody sees them.
  ::chmod(fs::canonical(dir_ / "korvane-sim" / stalePort).c_str(), 0666);
  fs::permissions(dir_ / "korvane-sim", fs::perms(0755));
  fs::permissions(tmp_, fs::perms::all | fs::perms::sticky_bit);
  const Run denied =
      Finish(*Start({"write", "-p", (dir_ / "korvane-sim" / stalePort).string(), "--image-dir",
                     stale.string(), file},
                    {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}));
  EXPECT_EQ(denied.exit, 12) << denied.out << denied.err;
  EXPECT_TRUE(Contains(denied.err, "Configuration.bin")) << denied.err;
  EXPECT_TRUE(Contains(denied.err, "--image-dir")) << denied.err;
  EXPECT_FALSE(Contains(denied.err, "may be partly written")) << denied.err;
  EXPECT_EQ(ReadAll(staleDevice), ComposeImage(earlier, 1));

  const fs::path full = dir_ / "full";
  fs::create_directory(full);
  if (::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                 << "): the full-disk case needs root in a namespace that allows mounts";
  }
  {
    std::ofstream filler(full / "filler", std::ios::binary);
    filler << std::string(128 * 1024, 'F');  // fails part-way: the disk is full
  }
  const fs::path fullDevice = dir_ / "full-device.bin";
  const std::string fullPort = StartSimHolding(earlier, fullDevice);
  const Run noSpace = Cli({"write", "-p", fullPort, "--image-dir", full.string(), file});
  const Run image = Cli({"image", file, "-o", (full / "out.bin").string()});
  ::umount2(full.c_str(), MNT_DETACH);
  EXPECT_EQ(noSpace.exit, 12) << noSpace.out << noSpace.err;
  EXPECT_TRUE(Contains(noSpace.err, "No space left on device")) << noSpace.err;
  EXPECT_EQ(ReadAll(fullDevice), ComposeImage(earlier, 1));
  EXPECT_EQ(image.exit, 3) << image.out << image.err;
  EXPECT_TRUE(Contains(image.err, "No space left on device")) << image.err;
}

// Output that could not be written is a failure: 17 when the device part was
// done (its result still on stderr), 3 when no device was involved.
TEST_F(CliEndToEnd, OutputThatCannotBeWrittenIsAFailure) {
  const std::string file = WriteCodeSet(SampleTable());
  const std::vector<std::string> toFull = {"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full"};
  struct Case {
    std::vector<std::string> args;
    bool stdoutFull;
    int exit;
    std::string err;
  };
  const std::vector<Case> cases = {
      {{"read", "-p", StartSim()}, true, 17, ": Data read successfully! (baud rate 9600)"},
      {{"read", "-p", StartSim(), "--json"},
       true,
       17,
       ": Data read successfully! (baud rate 9600)"},
      {{"read", "-p", StartSim(), "--log", "/dev/full"}, false, 17, "results log /dev/full"},
      {{"write", "-p", StartSim(), "--no-verify", file}, true, 17, ": Programming succeeded!"},
      {{"ports"}, true, 3, "cannot write the port list to standard output"},
      {{"image", file, "-o", "-"}, true, 3, "No space left on device"},
      {{"--version"}, true, 3, "cannot write to standard output"},
  };
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const Case& c : cases) {
    runs.push_back(Start(c.args, c.stdoutFull ? toFull : std::vector<std::string>{}));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Run run = Finish(*runs[i]);
    EXPECT_EQ(run.exit, cases[i].exit) << i << ": " << run.err;
    EXPECT_TRUE(Contains(run.err, cases[i].err)) << i << ": " << run.err;
  }
  // Unhindered, the image goes to stdout byte for byte.
  CodeTable loaded;
  ASSERT_TRUE(LoadCodeSet(loaded, file));
  const Run image = Cli({"image", file, "-o", "-"});
  EXPECT_EQ(image.exit, 0) << image.err;
  EXPECT_EQ(image.out, ComposeImage(loaded, 1));
}

TEST_F(CliEndToEnd, InterruptEndsAfterTheBlockInFlightAndReleasesThePort) {
  const std::string port = StartSim();
  const std::string file = WriteCodeSet(SampleTable());
  auto cli = Start({"write", "-p", port, file, "--image-dir", dir_.string()});
  ASSERT_TRUE(cli->WaitForErr("block 2/5", 15s)) << cli->Err();
  cli->Signal(SIGINT);
  const Run interrupted = Finish(*cli);
  EXPECT_EQ(interrupted.exit, 130) << interrupted.err;
  EXPECT_TRUE(Contains(interrupted.err, "interrupted by SIGINT during block 2/5"))
      << interrupted.err;
  EXPECT_TRUE(Contains(interrupted.err, port + ": the device may be partly written"));
  EXPECT_FALSE(Contains(interrupted.err, "block 3/5")) << interrupted.err;
  // The image lock and the port are free again.
  EXPECT_NE(TImageFileLock::TryAcquire((dir_ / "Configuration.bin").string()).Value(), nullptr);
  EXPECT_EQ(Cli({"write", "-p", port, file, "--no-verify"}).exit, 0);
}

TEST_F(CliEndToEnd, FourProcessesOnFourDevicesAtOnceLeaveNothingBehind) {
  const fs::path programFolder = fs::path(KORVANE_CLI_PATH).parent_path();
  const auto before = Listing(programFolder);
  const std::string file = WriteCodeSet(SampleTable());
  std::vector<std::string> ports;
  for (int i = 0; i < 4; ++i) {
    ports.push_back(StartSim());
  }
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const std::string& port : ports) {
    auto arguments = std::vector<std::string>{KORVANE_CLI_PATH, "write", "-p", port, file};
    runs.push_back(std::make_unique<ChildProcess>(arguments, env_));
  }
  for (auto& run : runs) {
    const Run result = Finish(*run, 60s);
    EXPECT_EQ(result.exit, 0) << result.out << result.err;
  }
  EXPECT_EQ(Listing(programFolder), before);
  EXPECT_TRUE(Listing(tmp_).empty());  // each private image folder is gone
}

// Codes that are not pairs of hex digits, and files without code keys, are
// refused by write and image with nothing sent; --lenient gives the editor's
// bytes and --allow-empty an image of no codes. A UTF-16 file's keys count.
TEST_F(CliEndToEnd, CodesThatAreNotHexAndFilesWithoutKeysAreRefused) {
  std::string utf16 = "\xFF\xFE";  // all 32 keys, every value empty
  for (char c : CodeSetText(CodeTable())) {
    utf16 += std::string{c, '\0'};
  }
  struct Case {
    std::string name;
    std::string bytes;    // the code set file
    std::string refusal;  // stderr of the refused write and image; "" when accepted
    std::string escape;   // the switch that accepts the file
  };
  const std::string key = "[Button1]\r\nButtonDownSend1=";
  const std::vector<Case> cases = {
      {"letters", key + "ZZ\r\n", R"(IO1 ButtonDownSend1 = "ZZ": characters that are not)",
       "--lenient"},
      {"blank", key + "4B 31\r\n", R"(IO1 ButtonDownSend1 = "4B 31": characters)", "--lenient"},
      {"chinese", key + "\xD6\xD0\r\n", R"(IO1 ButtonDownSend1 = "中": characters)", "--lenient"},
      {"nul", key + "4B" + std::string(1, '\0') + "31\r\n", R"(= "4B\u000031": char)", "--lenient"},
      {"odd", key + "ABC\r\n", R"(IO1 ButtonDownSend1 = "ABC": an odd number of hex digits (3))",
       "--lenient"},
      {"empty", "", "holds none of the 32 code keys", "--allow-empty"},
      {"junk", "\x01\x02 not a code set\n", "holds none of the 32 code keys", "--allow-empty"},
      {"utf16", utf16, "", ""},
  };
  const std::string port = StartSim({"-v"});
  for (const Case& c : cases) {
    const std::string file = (dir_ / (c.name + ".IOS")).string();
    std::ofstream(file, std::ios::binary) << c.bytes;
    const std::string image = (dir_ / (c.name + ".bin")).string();
    const Run write = Cli({"write", "-p", c.refusal.empty() ? "NO_SUCH_PORT" : port, file});
    const Run refused = Cli({"image", file, "-o", image});
    if (c.refusal.empty()) {  // refused for the port only, after the file was accepted
      EXPECT_EQ(write.exit, 10) << c.name << ": " << write.err;
      EXPECT_EQ(refused.exit, 0) << c.name << ": " << refused.err;
      EXPECT_EQ(ReadAll(image), ComposeImage(CodeTable(), 1)) << c.name;
      continue;
    }
    EXPECT_EQ(write.exit, 3) << c.name << ": " << write.err;
    EXPECT_TRUE(Contains(write.err, c.refusal)) << c.name << ": " << write.err;
    EXPECT_EQ(refused.exit, 3) << c.name << ": " << refused.err;
    EXPECT_TRUE(Contains(refused.err, c.refusal)) << c.name << ": " << refused.err;
    EXPECT_FALSE(fs::exists(image)) << c.name;
    const Run accepted = Cli({"image", file, "-o", image, c.escape});
    EXPECT_EQ(accepted.exit, 0) << c.name << ": " << accepted.err;
    CodeTable loaded;
    ASSERT_TRUE(LoadCodeSet(loaded, file));
    EXPECT_EQ(ReadAll(image), ComposeImage(loaded, 1)) << c.name;  // the editor's bytes
  }
  // Nothing reached the device but the one lenient write.
  const std::string file = (dir_ / "odd.IOS").string();
  const Run lenient = Cli({"write", "-p", port, file, "--lenient", "--no-verify"});
  EXPECT_EQ(lenient.exit, 0) << lenient.err;
  EXPECT_TRUE(Contains(lenient.err, R"(warning: )" + file + R"(: IO1 ButtonDownSend1 = "ABC")"))
      << lenient.err;
  ASSERT_TRUE(sims_.back()->WaitForErr("new image held", 5s)) << sims_.back()->Err();
  const std::string& log = sims_.back()->Err();
  EXPECT_EQ(log.find("programming request"), log.rfind("programming request")) << log;
}

// With --lang zh every line the tool prints is Chinese past the names it
// starts with, whatever the outcome: refused files, a port that is not
// there, a successful write and its progress.
TEST_F(CliEndToEnd, ChineseGivesEveryResultAndDiagnosticLineInChinese) {
  CodeTable notHex;
  notHex.SetText(1, 1, "ABC");
  struct Case {
    std::vector<std::string> args;
    int exit;
  };
  const std::string good = StartSim();
  const std::string file = WriteCodeSet(SampleTable());
  const std::vector<Case> cases = {
      {{"write", "-p", good, (dir_ / "missing.IOS").string()}, 3},
      {{"write", "-p", "NO_SUCH_PORT", file}, 10},
      {{"write", "-p", good, WriteCodeSet(notHex, "odd.IOS")}, 3},
      {{"image", file, "-o", (dir_ / "zh.bin").string()}, 0},
      {{"write", "-p", good, file}, 0},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"--lang", "zh"});
    const Run run = Cli(args);
    EXPECT_EQ(run.exit, c.exit) << run.out << run.err;
    std::istringstream lines(run.out + run.err);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      const bool chinese =
          std::any_of(line.begin(), line.end(), [](char byte) { return (byte & 0x80) != 0; });
      EXPECT_TRUE(chinese) << args.front() << " " << args[2] << ": " << line;
    }
    EXPECT_GT(count, 0) << args.front() << " " << args[2];
  }
}

// A device that answers 900 ms late, after every wait, ends up holding exactly
// the image built: a late acknowledgement is never taken for a resend's.
TEST_F(CliEndToEnd, ADeviceThatAnswersLateHoldsTheImageBuilt) {
  const fs::path deviceImage = dir_ / "late-device.bin";
  const std::string port = StartSim({"--reply-delay", "900", "--image", deviceImage.string()});
  const CodeTable table = SampleTable();
  const Run write =
      Cli({"write", "-p", port, "--no-verify", "--baud", "57600", WriteCodeSet(table)});
  EXPECT_EQ(write.exit, 0) << write.err;
  EXPECT_EQ(write.out, port + ": Programming succeeded!\n");
  EXPECT_EQ(ReadAll(deviceImage), ComposeImage(table, 3));
}

// A read-back is checked before it is kept: an area that claims over 63 bytes
// is refused unless asked for; a baud byte outside the list is no baud rate.
TEST_F(CliEndToEnd, ReadChecksTheReplyBeforeKeepingIt) {
  struct Case {
    std::string option;
    char lengthByte;  // of IO2 ButtonDownSend3
    char baudByte;
    int exit;
    std::string err;
  };
  for (const Case& c :
       {Case{"", '\x50', 1, 15,
             "IO2 ButtonDownSend3 (length 80). A device given "
             "codes over 126 characters by older tools"},
        Case{"--accept-overlong", '\x50', 1, 0, "Data read successfully! (baud rate 9600)"},
        Case{"", '\x04', 7, 0, "Data read successfully! (no baud rate)"},
        Case{"", '\x04', '\xFF', 0, "Data read successfully! (no baud rate)"}}) {
    std::string image = ComposeImage(SampleTable(), 1);
    image[AreaOffset(2, 3)] = c.lengthByte;
    image[kBaudOffset] = c.baudByte;
    std::ofstream(dir_ / "device.bin", std::ios::binary) << image;
    const fs::path saved = dir_ / "saved.IOS";
    fs::remove(saved);
    std::vector<std::string> arguments{"read", "-o", saved.string(), "-p",
                                       StartSim({"--image", (dir_ / "device.bin").string()})};
    if (!c.option.empty()) {
      arguments.push_back(c.option);
    }
    const Run read = Cli(arguments);
    EXPECT_EQ(read.exit, c.exit) << read.err;
    EXPECT_TRUE(Contains(read.err + read.out, c.err)) << read.err << read.out;
    CodeTable expected;  // what the editor reads from the same reply
    ParseReadReply(BytesToHex(std::string(kBlockSize, '\xA5') + image), expected);
    CodeTable back;
    EXPECT_EQ(fs::exists(saved), c.exit == 0);  // a refused reply leaves no file
    EXPECT_TRUE(!fs::exists(saved) || (LoadCodeSet(back, saved.string()) && back == expected));
  }
}

TEST_F(CliEndToEnd, ImageIsByteIdenticalToTheEditorsBuild) {
  const std::string file = WriteCodeSet(SampleTable());
  const std::string cliImage = (dir_ / "cli.bin").string();
  ASSERT_EQ(Cli({"image", file, "-o", cliImage, "--baud-index", "3"}).exit, 0);
  CodeTable loaded;
  ASSERT_TRUE(LoadCodeSet(loaded, file));
  EXPECT_EQ(ReadAll(cliImage), ComposeImage(loaded, 3));
}

// A hand-edited file with its codes in quotation marks programs the same bytes
// as the file without them.
TEST_F(CliEndToEnd, QuotedCodesGiveTheImageOfTheUnquotedFile) {
  const std::string plain = WriteCodeSet(SampleTable(), "plain.IOS");
  const std::string quoted = (dir_ / "quoted.IOS").string();
  std::ofstream(quoted, std::ios::binary)
      << "[Button1]\r\nButtonDownSend1=\"0102FF\"\r\nButtonDownSend2=''\r\n"
         "[Button2]\r\nButtonUpSend1 = 'A0B1C2D3' \r\n"
         "[Button3]\r\nButtonUpSend4=\""
      << std::string(126, 'E') << "\"\r\n[Button4]\r\nButtonDownSend4=\"7F\"\r\n";
  const std::string plainImage = (dir_ / "plain.bin").string();
  const std::string quotedImage = (dir_ / "quoted.bin").string();
  ASSERT_EQ(Cli({"image", plain, "-o", plainImage}).exit, 0);
  ASSERT_EQ(Cli({"image", quoted, "-o", quotedImage}).exit, 0);
  EXPECT_EQ(ReadAll(quotedImage), ReadAll(plainImage));
}

}  // namespace
}  // namespace korvane
