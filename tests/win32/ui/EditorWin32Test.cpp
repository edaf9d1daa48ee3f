#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

#include "device/ConfigImage.h"
#include "platform/FileBytes.h"
#include "serial/PortList.h"
#include "tests/support/TempDir.h"
#include "tests/ui/FormWidgets.h"
#include "tests/win32/HarnessPorts.h"
#include "ui/CommPort.h"
#include "ui/Led.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace korvane {
namespace {

using test::Widget;

using test::HarnessVariable;

// Slots whose texts differ, as "button.slot: actual != expected".
std::vector<std::string> Differences(const CodeTable& actual, const CodeTable& expected) {
  std::vector<std::string> differences;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (actual.Text(button, slot) != expected.Text(button, slot)) {
        differences.push_back(std::to_string(button) + "." + std::to_string(slot) + ": " +
                              actual.Text(button, slot) + " != " + expected.Text(button, slot));
      }
    }
  }
  return differences;
}

// The editor's window with the Windows serial component, on a COM port of the
// registry's list behind which the harness runs a device.
class EditorOnWindows : public ::testing::Test {
 protected:
  void TearDown() override { window_.reset(); }

  // Builds the window, picks the port named by `variable` as the operator
  // would, and opens it.
  void OpenHarnessPort(const char* variable) {
    const std::string port = HarnessVariable(variable);
    ASSERT_FALSE(port.empty()) << variable << " is not set: run the suite through the harness";
    TFormMainServices services;
    services.Comm = std::make_unique<TCommPort>(loop_);
    services.Loop = &loop_;
    services.ListPorts = ListSerialPorts;
    services.Boxes.Show = [this](const QString& text, const QString& caption) {
      shown_.push_back(caption + ": " + text);
    };
    services.Boxes.Confirm = [](const QString&, const QString&) { return true; };
    window_ = std::make_unique<TFormMain>(std::move(services));
    ConfigFilePath = ConfigFilePathIn(temp_.Path().string() + "/");
    shown_.clear();  // the first listed port may have no device behind it

    const int index =
        Widget<QComboBox>(*window_, "ComboBox1").findText(QString::fromStdString(port));
    ASSERT_GE(index, 0) << port << " is not in the port list";
    Widget<QComboBox>(*window_, "ComboBox1").setCurrentIndex(index);
    window_->ComboBox1Change();
    EXPECT_FALSE(Widget<TiLedRound>(*window_, "LED").Active());
    Widget<QPushButton>(*window_, "BitBtn1").click();
    ASSERT_TRUE(window_->Comm1().PortOpen()) << port;
    EXPECT_TRUE(Widget<TiLedRound>(*window_, "LED").Active());
    EXPECT_EQ(Widget<QPushButton>(*window_, "BitBtn1").text(), QStringLiteral("关闭串口"));
  }

  korvane::test::TempDir temp_;
  TQtUiLoop loop_;
  std::unique_ptr<TFormMain> window_;
  std::vector<QString> shown_;
};

TEST_F(EditorOnWindows, ProgramsTheDeviceAndReadsTheTableBackIntoAnEmptiedTable) {
  OpenHarnessPort("KORVANE_DEVICE_PORT");
  CodeTable written;
  written.SetText(1, 1, "0102ff");
  written.SetText(2, 7, "C7EB");
  written.SetText(3, 4, "12 34 5");
  written.SetText(4, 8, std::string(126, 'A'));
  window_->Codes() = written;
  window_->SetBaudIndex(2);

  Widget<QPushButton>(*window_, "Button1").click();
  ASSERT_EQ(shown_, std::vector<QString>{QStringLiteral("成功: 配置成功!")});
  EXPECT_EQ(window_->findChild<QProgressBar*>("ProgressBar"), nullptr);
  const std::string devicePath = HarnessVariable("KORVANE_DEVICE_IMAGE_WIN");
  if (!devicePath.empty()) {
    EXPECT_EQ(test::ReadBytes(devicePath), test::ReadBytes(ConfigFilePath))
        << "the device holds the image the window built";
  }

  window_->Codes().Clear();
  window_->SetBaudIndex(0);
  Widget<QPushButton>(*window_, "Button3").click();
  ASSERT_EQ(shown_.back(), QStringLiteral("完成: 读取数据成功！"));
  written.SetText(1, 1, "0102FF");  // the device gives upper-case hex back
  // A code's length is half its character count, blanks included: 4 bytes.
  written.SetText(3, 4, "12340500");
  EXPECT_EQ(Differences(window_->Codes(), written), std::vector<std::string>{});
  EXPECT_EQ(window_->BaudIndex(), 2);
}

TEST_F(EditorOnWindows, ADeviceThatNeverAnswersEndsTheRequestWithItsMessage) {
  OpenHarnessPort("KORVANE_STALL_PORT");
  window_->Codes().SetText(1, 1, "01");
  Widget<QPushButton>(*window_, "Button1").click();
  EXPECT_EQ(shown_, std::vector<QString>{
                        QStringLiteral("警告: 设备没办法接受编程请求！请检查通讯是否正常!")});
  EXPECT_EQ(window_->findChild<QProgressBar*>("ProgressBar"), nullptr);
  EXPECT_TRUE(window_->Comm1().PortOpen());  // the port stays open for another try
}

}  // namespace
}  // namespace korvane
