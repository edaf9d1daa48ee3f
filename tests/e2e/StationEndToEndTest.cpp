// korvane-cli's verify and station commands, and its read-back's early end,
// against simulators that the tests start and stop (a unit plugged in and
// pulled out), in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>

#include "device/ConfigImage.h"
#include "files/CodeSetFile.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

namespace korvane {
namespace {

using test::ChildProcess;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class StationEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(tmp_);
    table_.SetText(1, 1, "0102FF");
    table_.SetText(4, 8, "7F");
    ASSERT_TRUE(SaveCodeSet(table_, file_));
  }

  // Plugs in a unit: a simulator publishing the port `name`, its device
  // holding `image` (kept in a file of the same name).
  void Plug(const std::string& name, std::vector<std::string> switches = {},
            const std::string& image = std::string(kImageSize, '\0')) {
    std::ofstream(dir_ / name, std::ios::binary) << image;
    switches.insert(switches.begin(),
                    {KORVANE_SIM_PATH, "--name", name, "--image", (dir_ / name).string()});
    sims_[name] = std::make_unique<ChildProcess>(switches, env_);
    ASSERT_TRUE(sims_[name]->ReadLine(5s).has_value()) << sims_[name]->Err();
  }
  void Unplug(const std::string& name) { sims_.erase(name); }
  std::string DeviceImage(const std::string& name) {
    return test::ReadBytes((dir_ / name).string());
  }

  std::unique_ptr<ChildProcess> Cli(const std::vector<std::string>& arguments) {
    // Not insert(begin(), ...): GCC 12 warns wrongly (-Wnull-dereference) on it at -O3.
    std::vector<std::string> command{KORVANE_CLI_PATH};
    for (const std::string& argument : arguments) {
      command.push_back(argument);
    }
    return std::make_unique<ChildProcess>(command, env_);
  }

  // Reads the station's events until one satisfies `wanted`; every event read
  // is kept in `events_`.
  json AwaitEvent(ChildProcess& station, const std::function<bool(const json&)>& wanted,
                  std::chrono::seconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto line = station.ReadLine(1s);
      if (!line) {
        continue;
      }
      events_.push_back(json::parse(*line));
      if (wanted(events_.back())) {
        return events_.back();
      }
    }
    ADD_FAILURE() << "no such event; stderr: " << station.Err();
    return json();
  }
  static std::function<bool(const json&)> Is(const std::string& event, int slot, int unit = 0) {
    return [=](const json& e) {
      return e["event"] == event && e["slot"] == slot && (unit == 0 || e["unit"] == unit);
    };
  }
  static void ExpectOk(const json& result) {
    EXPECT_EQ(result["outcome"]["result"], "ok") << result.dump();
  }
  int Count(const std::string& event, int slot) const {
    int count = 0;
    for (const json& e : events_) {
      count += e["event"] == event && e["slot"] == slot ? 1 : 0;
    }
    return count;
  }

  test::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  const fs::path tmp_ = dir_ / "tmp";
  const std::string file_ = (dir_ / "codes.IOS").string();
  std::vector<std::string> env_{"XDG_RUNTIME_DIR=" + dir_.string(), "TMPDIR=" + tmp_.string(),
                                "LC_ALL=", "LC_MESSAGES=", "LANG=C.UTF-8"};
  CodeTable table_;
  std::map<std::string, std::unique_ptr<ChildProcess>> sims_;
  std::vector<json> events_;
};

// verify reads the device back and writes nothing: equal, another baud rate,
// another code.
TEST_F(StationEndToEnd, VerifyComparesWithoutWriting) {
  CodeTable other = table_;
  other.SetText(2, 3, "AA");
  const std::string otherFile = (dir_ / "other.IOS").string();
  ASSERT_TRUE(SaveCodeSet(other, otherFile));
  struct Case {
    std::string port;
    std::vector<std::string> args;
    int exit;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"EQ", {file_}, 0, ""},
      {"BAUD", {file_, "--baud", "19200"}, 16, "verify: baud rate"},
      {"CODE", {otherFile}, 16, "verify: IO2 ButtonDownSend3"},
  };
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const Case& c : cases) {
    Plug(c.port, {}, ComposeImage(table_, 1));
    std::vector<std::string> args = {"verify", "-p", c.port};
    args.insert(args.end(), c.args.begin(), c.args.end());
    runs.push_back(Cli(args));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(runs[i]->Wait(30s), c.exit) << c.port << ": " << runs[i]->Err();
    EXPECT_TRUE(Contains(runs[i]->Err(), c.err)) << c.port << ": " << runs[i]->Err();
    EXPECT_TRUE(DeviceImage(c.port) == ComposeImage(table_, 1)) << c.port;  // nothing written
  }
  EXPECT_TRUE(Contains(runs[0]->Out(), "EQ: verified")) << runs[0]->Out();
}

// The read-back ends once the reply is whole and the line quiet; a padded reply
// is still refused for its length; a short one is waited out.
TEST_F(StationEndToEnd, ReadBackEndsOnceTheReplyIsComplete) {
  struct Case {
    std::string port;
    std::string replyBytes;
    int exit;
    bool endsEarly;
  };
  const std::vector<Case> cases = {
      {"FULL", "3072", 0, true},
      {"PADDED", "3073", 15, true},
      {"SHORT", "3071", 15, false},
  };
  std::vector<std::unique_ptr<ChildProcess>> runs;
  for (const Case& c : cases) {
    Plug(c.port, {"--read-reply-bytes", c.replyBytes});
    runs.push_back(Cli({"read", "-v", "-p", c.port, "-o", (dir_ / (c.port + ".IOS")).string()}));
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    EXPECT_EQ(runs[i]->Wait(30s), c.exit) << c.port << ": " << runs[i]->Err();
    EXPECT_EQ(
        Contains(runs[i]->Err(), "reply complete: " + c.replyBytes + " bytes, then 100 ms quiet"),
        c.endsEarly)
        << c.port << ": " << runs[i]->Err();
  }
}

// A stream of units on one slot, each programmed once; a unit left plugged in
// is never programmed again; a failed unit stays failed until it is pulled
// out; Ctrl-C gives the summary.
TEST_F(StationEndToEnd, StationProgramsEachArrivingUnitOnce) {
  const std::string log = (dir_ / "station.jsonl").string();
  auto station = Cli({"station", "-p", "A", "-p", "B", "--log", log, file_});
  const std::string programmed = ComposeImage(table_, 1);

  Plug("A");
  ExpectOk(AwaitEvent(*station, Is("result", 1, 1)));
  EXPECT_TRUE(DeviceImage("A") == programmed) << "unit not programmed";
  Plug("B", {"--silent"});
  const json failed = AwaitEvent(*station, Is("result", 2, 1));
  EXPECT_EQ(failed["outcome"]["exit"], 11);
  // Both stay plugged in while B's failed unit is replaced by a good one.
  Unplug("B");
  AwaitEvent(*station, Is("device_removed", 2));
  Plug("B");
  ExpectOk(AwaitEvent(*station, Is("result", 2, 2)));
  EXPECT_EQ(Count("device_found", 1), 1);
  EXPECT_EQ(Count("device_found", 2), 2);
  for (int unit = 2; unit <= 3; ++unit) {
    Unplug("A");
    AwaitEvent(*station, Is("device_removed", 1));
    Plug("A");
    ExpectOk(AwaitEvent(*station, Is("result", 1, unit)));
    EXPECT_TRUE(DeviceImage("A") == programmed) << "unit not programmed";
  }
  EXPECT_EQ(Count("device_found", 1), 3);

  station->Signal(SIGINT);
  const json summary = AwaitEvent(*station, [](const json& e) { return e["event"] == "summary"; });
  EXPECT_EQ(station->Wait(10s), 130);
  EXPECT_EQ(summary["ok"], 4);
  EXPECT_EQ(summary["failed"], 1);
  EXPECT_EQ(summary["slots"][0]["ok"], 3);
  EXPECT_EQ(summary["slots"][1]["failed"], 1);
  EXPECT_GT(summary["units_per_hour"].get<double>(), 0.0);
  std::ifstream lines(log);
  int logged = 0;
  for (std::string line; std::getline(lines, line); ++logged) {
    EXPECT_GE(json::parse(line)["unit"].get<int>(), 1);
  }
  EXPECT_EQ(logged, 5);
}

// --once: one unit per slot, then the summary; some failed gives 19. Every
// event line is valid under the published schema.
TEST_F(StationEndToEnd, OnceEndsAfterOneUnitPerSlot) {
  Plug("GOOD");
  Plug("BAD", {"--silent"});
  auto station = Cli({"station", "-p", "GOOD", "-p", "BAD", "--once", file_});
  EXPECT_EQ(station->Wait(40s), 19) << station->Err();
  EXPECT_TRUE(Contains(station->Out(), R"("event":"summary","ok":1,"failed":1,"interrupted":0)"))
      << station->Out();

  const std::string events = (dir_ / "events.jsonl").string();
  std::ofstream(events) << station->Out();
  const char* validate =
      "import json, sys, jsonschema\n"
      "v = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))\n"
      "lines = open(sys.argv[2]).read().splitlines()\n"
      "bad = [e.message for line in lines for e in v.iter_errors(json.loads(line))]\n"
      "print(len(lines), bad, file=sys.stderr)\n"
      "sys.exit(1 if bad or len(lines) < 10 else 0)\n";
  ChildProcess check({"/usr/bin/python3", "-c", validate,
                      KORVANE_DOCS_DIR "/json/station-events.schema.json", events});
  EXPECT_EQ(check.Wait(30s), 0) << check.Err();
}

}  // namespace
}  // namespace korvane
