#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "device/ConfigImage.h"
#include "serial/PortList.h"
#include "tests/e2e/ChildProcess.h"
#include "tests/support/TempDir.h"
#include "tests/ui/FormWidgets.h"
#include "ui/CommPort.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace korvane {
namespace {

using test::Widget;

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The editor's window with the real serial component, talking to a simulator.
class GuiEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1); }
  void TearDown() override {
    window_.reset();
    sim_.reset();
  }

  // A simulator publishing `name` under the test's runtime folder.
  std::unique_ptr<korvane::test::ChildProcess> StartSimulator(
      const std::vector<std::string>& options, std::string* name) {
    std::vector<std::string> switches{KORVANE_SIM_PATH};
    switches.insert(switches.end(), options.begin(), options.end());
    auto sim = std::make_unique<korvane::test::ChildProcess>(
        switches, std::vector<std::string>{"XDG_RUNTIME_DIR=" + dir_.string()});
    const auto line = sim->ReadLine(5s);
    EXPECT_TRUE(line.has_value()) << sim->Err();
    *name = line ? line->substr(0, line->find(' ')) : std::string();
    return sim;
  }

  void CreateWindow() {
    TFormMainServices services;
    services.Comm = std::make_unique<TCommPort>(loop_);
    services.Loop = &loop_;
    services.ListPorts = ListSerialPorts;
    services.Boxes.Show = [this](const QString& text, const QString& caption) {
      shown_.push_back(caption + ": " + text);
    };
    services.Boxes.Confirm = [](const QString&, const QString&) { return true; };
    window_ = std::make_unique<TFormMain>(std::move(services));
    ConfigFilePath = ConfigFilePathIn(dir_.string() + "/");  // not shared with parallel tests
    shown_.clear();  // the machine's own first port may have been busy
  }

  // Picks the port as the operator would, then opens it.
  void OpenPortNamed(const std::string& name) {
    const int index =
        Widget<QComboBox>(*window_, "ComboBox1").findText(QString::fromStdString(name));
    ASSERT_GE(index, 0);
    Widget<QComboBox>(*window_, "ComboBox1").setCurrentIndex(index);
    window_->ComboBox1Change();
    Widget<QPushButton>(*window_, "BitBtn1").click();
    ASSERT_TRUE(window_->Comm1().PortOpen());
  }

  void StartWithSimulator(const std::vector<std::string>& options = {}) {
    std::string name;
    sim_ = StartSimulator(options, &name);
    ASSERT_FALSE(name.empty());
    CreateWindow();
    OpenPortNamed(name);
  }

  korvane::test::TempDir temp_;
  const fs::path& dir_ = temp_.Path();
  TQtUiLoop loop_;
  std::unique_ptr<korvane::test::ChildProcess> sim_;
  std::unique_ptr<TFormMain> window_;
  std::vector<QString> shown_;
};

TEST_F(GuiEndToEnd, ProgramsTheDeviceAndReadsTheTableBack) {
  StartWithSimulator();
  CodeTable written;
  written.SetText(1, 1, "0102ff");
  written.SetText(2, 7, "C7EB");
  written.SetText(4, 8, std::string(126, 'A'));
  window_->Codes() = written;
  window_->SetBaudIndex(3);

  window_->show();
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Widget<QPushButton>(*window_, "Button1").setFocus();
  const auto start = std::chrono::steady_clock::now();
  const double cpuBefore = CpuSeconds();
  Widget<QPushButton>(*window_, "Button1").click();
  const double cpu = CpuSeconds() - cpuBefore;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(shown_, std::vector<QString>{QStringLiteral("成功: 配置成功!")});
  RecordProperty("programming_seconds", std::to_string(took.count()));
  RecordProperty("programming_cpu_seconds", std::to_string(cpu));
  EXPECT_LT(took.count(), 5.5 * 1.02);
  EXPECT_LT(cpu, 0.5);  // the waits sleep in the event loop
  // Space writes again, it does not quit.
  EXPECT_EQ(window_->focusWidget(), &Widget<QPushButton>(*window_, "Button1"));

  window_->Codes().Clear();
  window_->SetBaudIndex(0);
  Widget<QPushButton>(*window_, "Button3").setFocus();
  Widget<QPushButton>(*window_, "Button3").click();
  ASSERT_EQ(shown_.back(), QStringLiteral("完成: 读取数据成功！"));
  EXPECT_EQ(window_->focusWidget(), &Widget<QPushButton>(*window_, "Button3"));
  written.SetText(1, 1, "0102FF");  // the device gives upper-case hex back
  EXPECT_EQ(window_->Codes(), written);
  EXPECT_EQ(window_->BaudIndex(), 3);
}

// A device that answers 900 ms late, after every wait, ends up holding exactly
// the image built: a late acknowledgement is never taken for a resend's.
TEST_F(GuiEndToEnd, ADeviceThatAnswersLateHoldsTheImageBuilt) {
  const fs::path deviceImage = dir_ / "late-device.bin";
  StartWithSimulator({"--reply-delay", "900", "--image", deviceImage.string()});
  CodeTable written;
  written.SetText(1, 2, "A1B2C3");
  written.SetText(3, 5, std::string(126, 'D'));
  window_->Codes() = written;
  window_->SetBaudIndex(2);
  Widget<QPushButton>(*window_, "Button1").click();
  EXPECT_EQ(shown_, std::vector<QString>{QStringLiteral("成功: 配置成功!")});
  EXPECT_EQ(korvane::test::ReadBytes(deviceImage.string()), ComposeImage(written, 2));
}

std::string FileBytes(const fs::path& path) {
  return test::ReadBytes(path.string());
}

// Ports appear before and after the open one and one goes again: the name
// shown stays the open port's, and after closing and opening again the write
// reaches that simulator and no other.
TEST_F(GuiEndToEnd, TheWriteGoesToThePortWhoseNameIsShown) {
  const auto image = [this](const char* name) { return dir_ / (std::string(name) + ".bin"); };
  std::string name;
  sim_ = StartSimulator({"--name", "KSIM2", "--image", image("KSIM2")}, &name);
  CreateWindow();
  OpenPortNamed("KSIM2");
  auto before = StartSimulator({"--name", "KSIM1", "--image", image("KSIM1")}, &name);
  auto after = StartSimulator({"--name", "KSIM3", "--image", image("KSIM3")}, &name);
  const std::string untouched = FileBytes(image("KSIM1"));
  ASSERT_EQ(untouched.size(), kImageSize);
  const auto& list = Widget<QComboBox>(*window_, "ComboBox1");
  for (int tick = 0; tick < 2; ++tick, after.reset()) {  // KSIM3 there, then gone
    window_->Timer1Timer();
    EXPECT_EQ(list.findText(QStringLiteral("KSIM3")) >= 0, tick == 0);
    EXPECT_EQ(list.currentText().toStdString(), "KSIM2");
  }

  Widget<QPushButton>(*window_, "BitBtn1").click();
  Widget<QPushButton>(*window_, "BitBtn1").click();
  window_->Codes().SetText(3, 2, "A5A5");
  Widget<QPushButton>(*window_, "Button1").click();
  ASSERT_EQ(shown_, std::vector<QString>{QStringLiteral("成功: 配置成功!")});
  EXPECT_EQ(FileBytes(image("KSIM2")), FileBytes(ConfigFilePath));
  EXPECT_EQ(FileBytes(image("KSIM1")), untouched);
  EXPECT_EQ(FileBytes(image("KSIM3")), untouched);
}

TEST_F(GuiEndToEnd, ASilentDeviceEndsTheHandshakeWithItsMessage) {
  StartWithSimulator({"--silent"});
  window_->Codes().SetText(1, 1, "01");
  Widget<QPushButton>(*window_, "Button1").click();
  EXPECT_EQ(shown_, std::vector<QString>{
                        QStringLiteral("警告: 设备没办法接受编程请求！请检查通讯是否正常!")});
  EXPECT_EQ(window_->findChild<QProgressBar*>("ProgressBar"), nullptr);
}

// Closing the window 1.2 s into a write: the device is programmed whole, the
// result is shown, and then the window closes and the port with it.
TEST_F(GuiEndToEnd, ClosingTheWindowDuringProgrammingWaitsForTheResult) {
  const fs::path image = dir_ / "device.bin";
  StartWithSimulator({"--image", image.string()});
  window_->Codes().SetText(2, 3, "C7EBC7F3");
  window_->show();
  QTimer::singleShot(1200, window_.get(), [this] { window_->close(); });
  Widget<QPushButton>(*window_, "Button1").click();  // returns once the operation has ended
  ASSERT_EQ(shown_, std::vector<QString>{QStringLiteral("成功: 配置成功!")});
  EXPECT_EQ(FileBytes(image), FileBytes(ConfigFilePath));  // the whole image
  EXPECT_TRUE(window_->isVisible());
  loop_.WaitPumping(100);  // the close asked for meanwhile happens now
  EXPECT_FALSE(window_->isVisible());
  EXPECT_FALSE(window_->Comm1().PortOpen());
}

}  // namespace
}  // namespace korvane
