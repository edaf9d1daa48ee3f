#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "device/DeviceOperations.h"
#include "model/HexCodec.h"
#include "tests/ui/FormWidgets.h"
#include "ui/CodeForm.h"
#include "ui/DeviceTexts.h"
#include "ui/ErrorReport.h"
#include "ui/FormStyle.h"
#include "ui/Language.h"
#include "ui/Led.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"

namespace korvane {
namespace {

using test::Widget;

// What the fake port was asked to do, shared with the test after the window
// has taken the port.
struct TPortScript {
  std::vector<std::string> Calls;
  std::string CommName;
  bool Opens = true;
  bool ThrowOnOpen = false;
  bool Open = false;
  ISerialPort::ReceiveHandler Receive;
  std::function<std::string(const std::string&)> Answer;  // the device's reply to Output
};

class TFakePort : public ISerialPort {
 public:
  explicit TFakePort(TPortScript& script) : script_(script) {}
  bool PortOpen() const override { return script_.Open; }
  void SetOutput(const std::string& bytes) override {
    script_.Calls.push_back("Output " + std::to_string(bytes.size()));
    const std::string reply = script_.Answer ? script_.Answer(bytes) : std::string();
    if (!reply.empty() && script_.Receive) {
      script_.Receive(reply.data(), static_cast<std::uint16_t>(reply.size()));
    }
  }
  bool SendData(const char*, std::uint16_t length) override {
    script_.Calls.push_back("SendData " + std::to_string(length));
    return script_.Open;
  }
  void SetCommName(const std::string& path) override {
    script_.CommName = path;
    script_.Calls.push_back("SetCommName " + path);
  }
  void OpenPort() override {
    script_.Calls.push_back("OpenPort");
    if (script_.ThrowOnOpen) {
      throw std::runtime_error("Error setting up the port's queues");
    }
    script_.Open = script_.Opens;
  }
  void ClosePort() override {
    script_.Calls.push_back("ClosePort");
    script_.Open = false;
  }
  void SetReceiveHandler(ReceiveHandler handler) override { script_.Receive = std::move(handler); }

 private:
  TPortScript& script_;
};

struct TShownBox {
  QString Text;
  QString Caption;
};

class MainFormTest : public testing::Test {
 protected:
  void TearDown() override {
    form.reset();
    SetErrorReportHook({});
  }

  TFormMain& Start(std::vector<PortListEntry> initialPorts, TFormMainOperations operations = {}) {
    ports = std::move(initialPorts);
    SetErrorReportHook([this](const QString& text) { errors.push_back(text); });
    TFormMainServices services;
    services.Comm = std::make_unique<TFakePort>(port);
    services.ListPorts = [this] { return ports; };
    services.Loop = loop;
    services.Boxes.Show = [this](const QString& text, const QString& caption) {
      boxes.push_back({text, caption});
    };
    services.Boxes.Confirm = [](const QString&, const QString&) { return true; };
    services.Operations = std::move(operations);
    form = std::make_unique<TFormMain>(std::move(services));
    return *form;
  }

  // The window's controls, by name.
  QPushButton& Button(const char* name) const { return Widget<QPushButton>(*form, name); }
  QComboBox& List(const char* name) const { return Widget<QComboBox>(*form, name); }

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(port.Calls.begin(), port.Calls.end(), call));
  }

  void ExpectState(bool open) const {
    EXPECT_EQ(Button("BitBtn1").text(),
              open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
    EXPECT_EQ(Widget<TiLedRound>(*form, "LED").Active(), open);
  }

  TPortScript port;
  TQtUiLoop qtLoop;         // outlives the window
  TUiLoop* loop = nullptr;  // for device operations
  std::vector<PortListEntry> ports;
  std::vector<TShownBox> boxes;
  std::vector<QString> errors;
  std::unique_ptr<TFormMain> form;
};

const PortListEntry kCom1{"COM1", "/dev/ttyS0"};
const PortListEntry kCom2{"COM2", "/dev/ttyS1"};
const PortListEntry kSim{"KSIM1", "/tmp/korvane-sim/KSIM1"};

TEST_F(MainFormTest, StartsWithoutPortsDisabledAndSilent) {
  TFormMain& window = Start({});
  EXPECT_FALSE(Button("BitBtn1").isEnabled());
  ExpectState(false);
  EXPECT_EQ(Count("OpenPort"), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(List("ComboBox1").count(), 0);
  EXPECT_EQ(FormMain, &window);
  EXPECT_EQ(std::filesystem::path(ConfigFilePath).filename(), "Configuration.bin");
  EXPECT_TRUE(Widget<QTimer>(window, "Timer1").isActive());
  EXPECT_EQ(Widget<QTimer>(window, "Timer1").interval(), 1000);
}

TEST_F(MainFormTest, OpensTheFirstPortAtStartUp) {
  TFormMain& window = Start({kCom1, kCom2});
  EXPECT_EQ(List("ComboBox1").currentIndex(), 0);
  EXPECT_EQ(port.Calls, (std::vector<std::string>{"SetCommName //./COM1", "OpenPort"}));
  EXPECT_TRUE(Button("BitBtn1").isEnabled());
  ExpectState(true);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    EXPECT_EQ(window.Codes().Text(4, slot), "");
  }
}

TEST_F(MainFormTest, PortThatFailsToOpenIsReportedAndStaysClosed) {
  port.Opens = false;
  Start({kCom1});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, QStringLiteral("串口不存在！或已被占用！"));
  EXPECT_EQ(boxes[0].Caption, QStringLiteral("警告"));
  ExpectState(false);
  EXPECT_TRUE(Button("BitBtn1").isEnabled());
}

TEST_F(MainFormTest, OpenErrorGoesToTheDefaultReportAndStartUpContinues) {
  port.ThrowOnOpen = true;
  Start({kCom1});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], QStringLiteral("Error setting up the port's queues"));
  ExpectState(false);
  EXPECT_TRUE(boxes.empty());

  Button("BitBtn1").click();  // the same from a click: reported, window goes on
  EXPECT_EQ(errors.size(), 2u);
  ExpectState(false);
}

TEST_F(MainFormTest, OpenCloseButtonTogglesWithTheLed) {
  Start({kCom1});
  Button("BitBtn1").click();
  ExpectState(false);
  EXPECT_EQ(port.Calls.back(), "ClosePort");
  EXPECT_EQ(port.Calls[port.Calls.size() - 2], "SetCommName //./COM1");
  Button("BitBtn1").click();
  ExpectState(true);
  EXPECT_EQ(Count("OpenPort"), 2);
}

TEST_F(MainFormTest, PortAddedLaterIsListedButNotSelected) {
  TFormMain& window = Start({});
  ports = {kSim};
  window.Timer1Timer();
  EXPECT_EQ(List("ComboBox1").count(), 1);
  EXPECT_EQ(List("ComboBox1").currentIndex(), -1);
  EXPECT_FALSE(Button("BitBtn1").isEnabled());

  QTest::keyClick(&List("ComboBox1"), Qt::Key_Down);  // the user picks it
  EXPECT_EQ(List("ComboBox1").currentIndex(), 0);
  EXPECT_EQ(Count("ClosePort"), 1);
  EXPECT_FALSE(Button("BitBtn1").isEnabled());  // left to the next tick
  window.Timer1Timer();
  EXPECT_TRUE(Button("BitBtn1").isEnabled());
  Button("BitBtn1").click();
  EXPECT_EQ(port.CommName, "//./KSIM1");
  ExpectState(true);
}

TEST_F(MainFormTest, ScanFindingTheSamePortsLeavesTheListAlone) {
  TFormMain& window = Start({kCom1, kCom2});
  int modelChanges = 0;
  QAbstractItemModel* model = List("ComboBox1").model();
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
    QObject::connect(model, signal, [&] { ++modelChanges; });
  }
  QObject::connect(model, &QAbstractItemModel::modelReset, [&] { ++modelChanges; });
  window.Timer1Timer();
  window.Timer1Timer();
  EXPECT_EQ(modelChanges, 0);
  EXPECT_EQ(List("ComboBox1").currentIndex(), 0);

  ports = {kCom2, kCom1};  // same names, another order: shown as scanned
  window.Timer1Timer();
  EXPECT_GT(modelChanges, 0);
  EXPECT_EQ(List("ComboBox1").itemText(0), QStringLiteral("COM2"));
  EXPECT_EQ(List("ComboBox1").currentText(), QStringLiteral("COM1"));  // the open port
}

TEST_F(MainFormTest, PortFoundWhileThePopupIsOpenAppearsWhenItCloses) {
  TFormMain& window = Start({kCom1});
  window.show();
  List("ComboBox1").showPopup();
  ASSERT_TRUE(List("ComboBox1").view()->isVisible());
  ports = {kCom1, kSim};
  window.Timer1Timer();
  EXPECT_EQ(List("ComboBox1").count(), 1);  // the popup is left as the operator sees it
  ports = {kCom1, kCom2, kSim};
  window.Timer1Timer();  // the latest scan is the one shown afterwards
  EXPECT_EQ(List("ComboBox1").count(), 1);

  List("ComboBox1").hidePopup();
  QTRY_COMPARE_WITH_TIMEOUT(List("ComboBox1").count(), 3, 2000);
  EXPECT_EQ(List("ComboBox1").itemText(2), QStringLiteral("KSIM1"));
  EXPECT_EQ(List("ComboBox1").currentIndex(), 0);
  ExpectState(true);
  EXPECT_EQ(Count("ClosePort"), 0);
}

TEST_F(MainFormTest, RemovedOpenPortLeavesTheStateAlone) {
  TFormMain& window = Start({kCom1});
  ports = {};
  window.Timer1Timer();
  EXPECT_TRUE(List("ComboBox1").currentText().isEmpty());
  EXPECT_FALSE(Button("BitBtn1").isEnabled());
  ExpectState(true);
  EXPECT_EQ(Count("ClosePort"), 0);
}

// The name shown is the port that the open/close button and "写入" act on: a
// refresh keeps it while it is listed, and never opens or closes the port,
// also when it runs inside an operation's waits.
TEST_F(MainFormTest, SelectionFollowsTheOpenPortsNameWhileItIsListed) {
  const PortListEntry kSim0{"KSIM0", "/tmp/korvane-sim/KSIM0"};
  struct Case {
    const char* What;
    std::vector<PortListEntry> After;
    QString Shown;  // then opened by pressing the open/close button twice
    bool DuringOperation;
  };
  const Case cases[] = {
      {"port added before", {kSim0, kCom1, kCom2, kSim}, "COM2", false},
      {"port removed before", {kCom2, kSim}, "COM2", false},
      {"added and removed around it", {kSim0, kCom2}, "COM2", false},
      {"duplicate names: the first", {kSim, kCom2, kCom1, kCom2}, "COM2", false},
      {"open port gone: by position", {kCom1, kSim}, "KSIM1", false},
      {"port added before, inside a transfer", {kSim0, kCom1, kCom2, kSim}, "COM2", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TFormMainOperations operations;
    operations.DeviceProgramming = [&] {
      ports = c.After;
      form->Timer1Timer();
    };
    TFormMain& window = Start({kCom1, kCom2, kSim}, std::move(operations));
    QTest::keyClick(&List("ComboBox1"), Qt::Key_Down);
    Button("BitBtn1").click();
    ASSERT_EQ(port.CommName, "//./COM2");
    port.Calls.clear();

    if (c.DuringOperation) {
      Button("Button1").click();
    } else {
      ports = c.After;
      window.Timer1Timer();
    }
    EXPECT_EQ(List("ComboBox1").currentText(), c.Shown);
    EXPECT_TRUE(port.Calls.empty());
    ExpectState(true);

    Button("BitBtn1").click();
    Button("BitBtn1").click();
    EXPECT_EQ(port.CommName, "//./" + c.Shown.toStdString());
    EXPECT_EQ(port.Calls.back(), "OpenPort");
    ExpectState(true);
    form.reset();
    port = {};
  }
}

TEST_F(MainFormTest, PickingAnotherPortClosesTheOpenOne) {
  Start({kCom1, kCom2});
  ExpectState(true);
  QTest::keyClick(&List("ComboBox1"), Qt::Key_Down);
  ExpectState(false);
  EXPECT_EQ(port.Calls.back(), "ClosePort");
  EXPECT_EQ(Count("OpenPort"), 1);
  EXPECT_FALSE(port.Open);
}

TEST_F(MainFormTest, ClosingTheWindowClosesThePort) {
  TFormMain& window = Start({kCom1});
  window.show();
  Button("Button2").click();
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(port.Open);
  EXPECT_EQ(port.Calls.back(), "ClosePort");
}

TEST_F(MainFormTest, ReceivedBytesGoToTheResponseLog) {
  TFormMain& window = Start({kCom1});
  ASSERT_TRUE(port.Receive);
  port.Receive("A\0B", 3);
  port.Receive("\xFF", 1);
  EXPECT_EQ(window.ResponseLog().Text(), "410042FF");
}

TEST_F(MainFormTest, ProgressBarSitsOverThePaintedPanel) {
  TFormMain& window = Start({});
  window.show();
  window.grab();
  EXPECT_EQ(window.PanelRect().Right - window.PanelRect().Left, 50);
  EXPECT_GT(window.PanelRect().Bottom, window.PanelRect().Top);

  IOperator& op = window.Operator();
  op.CreateProgress(0, 4, 1);
  ASSERT_NE(window.findChild<QProgressBar*>("ProgressBar"), nullptr);
  EXPECT_EQ(Widget<QProgressBar>(window, "ProgressBar").parentWidget(),
            &Widget<QStatusBar>(window, "StatusBar1"));
  const TPanelRect& rect = window.PanelRect();
  EXPECT_EQ(Widget<QProgressBar>(window, "ProgressBar").geometry(),
            QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top));
  for (int i = 0; i < 6; ++i) {
    op.StepProgress();
  }
  EXPECT_EQ(Widget<QProgressBar>(window, "ProgressBar").value(), 4);
  op.DestroyProgress();
  EXPECT_EQ(window.findChild<QProgressBar*>("ProgressBar"), nullptr);

  op.ShowMessage({TextId::kProgramSuccess, {}}, TextId::kCaptionSuccess);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, QStringLiteral("配置成功!"));
  EXPECT_EQ(boxes[0].Caption, QStringLiteral("成功"));
}

// The bar is the status bar's child; once it is gone, whoever removed it, the
// operator leaves it alone. A new bar replaces the one shown.
TEST_F(MainFormTest, ProgressBarRemovedElsewhereIsNotTouchedAgain) {
  TFormMain& window = Start({});
  IOperator& op = window.Operator();
  op.CreateProgress(0, 4, 1);
  op.CreateProgress(0, 8, 2);
  EXPECT_EQ(window.findChildren<QProgressBar*>().size(), 1);
  EXPECT_EQ(Widget<QProgressBar>(window, "ProgressBar").maximum(), 8);

  delete window.findChild<QProgressBar*>("ProgressBar");
  op.StepProgress();
  op.DestroyProgress();
  EXPECT_EQ(window.findChild<QProgressBar*>(), nullptr);

  op.CreateProgress(0, 4, 1);
  op.StepProgress();
  EXPECT_EQ(Widget<QProgressBar>(window, "ProgressBar").value(), 1);
}

// Leaving while a write or read runs ("退出" or the title bar) waits: the
// operation goes on to its end and shows its result, then the window closes.
TEST_F(MainFormTest, LeavingDuringAnOperationWaitsForItsResult) {
  const std::pair<const char*, const char*> cases[] = {// the starter, then "退出" or the title bar
                                                       {"Button1", "Button2"},
                                                       {"Button1", nullptr},
                                                       {"Button3", "Button2"},
                                                       {"Button3", nullptr}};
  for (const auto& [starter, leave] : cases) {
    SCOPED_TRACE(std::string(starter) + (leave ? " then 退出" : " then close"));
    loop = &qtLoop;
    const auto operation = [&, leave = leave] {
      TFormMain& window = *form;
      const std::vector<QWidget*> commands = {
          &Button("BitBtn1"), &List("ComboBox1"), &List("ComboBox2"), &Button("Button1"),
          &Button("Button3"), &Button("Button4"), &Button("Button5"), &Button("BitBtn2")};
      for (QWidget* control : commands) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
      }
      window.Button1Click();  // a second operation does not start
      leave ? Button(leave).click() : static_cast<void>(window.close());
      qtLoop.WaitPumping(50);  // the operation's own waits go on
      EXPECT_TRUE(window.isVisible() && window.CloseDeferred() && port.Open);
      EXPECT_EQ(window.cursor().shape(), Qt::BusyCursor);
      window.Operator().ShowMessage({TextId::kBlockFailed, {}}, TextId::kCaptionWarning);
      EXPECT_TRUE(window.isVisible());  // the result is shown before the window goes
    };
    TFormMainOperations operations;
    operations.DeviceProgramming = operation;
    operations.DeviceReadBack = operation;
    TFormMain& window = Start({kCom1}, std::move(operations));
    window.show();
    Button(starter).click();
    EXPECT_FALSE(window.Busy());
    ASSERT_EQ(boxes.size(), 1u);
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 2000);
    EXPECT_FALSE(port.Open);
    form.reset();
    port = {};
    boxes.clear();
  }
}

// Space on the focused button must start the same command again, not "退出".
TEST_F(MainFormTest, FocusReturnsToTheButtonThatStartedTheOperation) {
  QWidget* focusDuring = nullptr;
  int saves = 0;
  TFormMainOperations operations;
  operations.DeviceProgramming = [&] { focusDuring = QApplication::focusWidget(); };
  operations.DeviceReadBack = [] { throw std::runtime_error("reply lost"); };
  operations.SaveCodeSet = [&] { ++saves; };
  TFormMain& window = Start({kCom1}, std::move(operations));
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  for (QPushButton* starter : {&Button("Button1"), &Button("Button3"), &Button("Button5")}) {
    starter->setFocus();
    QTest::keyClick(starter, Qt::Key_Space);
    EXPECT_EQ(QApplication::focusWidget(), starter) << starter->objectName().toStdString();
  }
  EXPECT_EQ(focusDuring, &Button("Button2"));  // where disabling had moved it
  EXPECT_EQ(errors.size(), 1u);                // a failed operation gives the focus back too
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_EQ(saves, 2);  // "保存" again, not "退出"
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MainFormTest, FailingOperationIsReportedAndReleasesTheWindow) {
  TFormMainOperations operations;
  operations.DeviceReadBack = [] { throw std::runtime_error("image file missing"); };
  TFormMain& window = Start({kCom1}, std::move(operations));
  Button("Button3").click();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], QStringLiteral("image file missing"));
  EXPECT_FALSE(window.Busy());
  EXPECT_TRUE(Button("Button3").isEnabled());
}

TEST_F(MainFormTest, ImageFileThatCannotBeWrittenStopsProgrammingWithTheFileFault) {
  loop = &qtLoop;
  TFormMain& window = Start({kCom1});
  port.Answer = [](const std::string&) { return HexToBytes(kProgramAcceptedHex); };
  ConfigFilePath = (QDir::tempPath() + "/korvane-no-such-folder/Configuration.bin").toStdString();
  Button("Button1").click();
  ASSERT_EQ(boxes.size(), 1u);
  // The text, then the system's cause with the file's path on a line of its own.
  const QStringList lines = boxes[0].Text.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2) << boxes[0].Text.toStdString();
  EXPECT_EQ(lines[0], QStringLiteral("配置文件操作失败!"));
  EXPECT_TRUE(lines[1].contains(QString::fromStdString(ConfigFilePath)));
#ifndef _WIN32  // the system's own wording of the cause
  EXPECT_TRUE(lines[1].contains(QStringLiteral("No such file or directory")));
#endif
  EXPECT_FALSE(boxes[0].Text.contains(QStringLiteral("读取")));
  EXPECT_EQ(boxes[0].Caption, QStringLiteral("警告"));
  EXPECT_EQ(window.findChild<QProgressBar*>("ProgressBar"), nullptr);
  EXPECT_EQ(Count("Output 8"), 1);
  EXPECT_EQ(Count("SendData 512"), 0);
}

TEST_F(MainFormTest, EachButtonRunsItsOwnHook) {
  std::string order;
  TFormMainOperations operations;
  operations.DeviceProgramming = [&] { order += "W"; };
  operations.DeviceReadBack = [&] { order += "R"; };
  operations.LoadCodeSet = [&] { order += "O"; };
  operations.SaveCodeSet = [&] { order += "S"; };
  Start({}, std::move(operations));
  Button("Button1").click();
  Button("Button3").click();
  Button("Button4").click();
  Button("Button5").click();
  EXPECT_EQ(order, "WROS");
}

TEST_F(MainFormTest, CommandsNotReplacedAreTheWindowsOwn) {
  loop = &qtLoop;
  int readBacks = 0;
  TFormMainOperations operations;
  operations.DeviceReadBack = [&] { ++readBacks; };
  Start({}, std::move(operations));
  Button("Button3").click();
  Button("Button1").click();  // no port is open: the programming says so
  EXPECT_EQ(readBacks, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, QStringLiteral("没有打开通讯串口，请检查是否占用！"));
  EXPECT_TRUE(errors.empty());
}

TEST_F(MainFormTest, DeviceCommandsWithoutALoopAreReportedAndSendNothing) {
  TFormMain& window = Start({kCom1});
  Button("Button1").click();
  Button("Button3").click();
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Count("Output 8"), 0);
  EXPECT_FALSE(window.Busy());
}

TEST_F(MainFormTest, IoButtonOpensTheEditorOnItsButtonsCodes) {
  TFormMain& window = Start({});
  window.Codes().SetText(2, 3, "0A0B");
  QString caption;
  QString shown;
  QTimer::singleShot(0, [&] {
    ASSERT_NE(FormCode, nullptr);
    caption = FormCode->windowTitle();
    shown = Widget<QLineEdit>(*FormCode, "BWS3").text();
    Widget<QLineEdit>(*FormCode, "BUS1").setText(QStringLiteral("FF"));
    Widget<QPushButton>(*FormCode, "Button1").click();
  });
  Button("BitBtn3").click();
  EXPECT_EQ(caption, QStringLiteral("IO2发送码编辑"));
  EXPECT_EQ(shown, QStringLiteral("0A0B"));
  EXPECT_EQ(window.Codes().Text(2, 5), "FF");
  EXPECT_EQ(window.Codes().Text(1, 5), "");
}

TEST_F(MainFormTest, BaudIndexFollowsTheListAndReadBack) {
  TFormMain& window = Start({});
  window.SetBaudIndex(2);
  EXPECT_EQ(List("ComboBox2").currentText(), QStringLiteral("19200"));
  EXPECT_EQ(window.BaudIndex(), 2);
  window.SetBaudIndex(7);
  EXPECT_EQ(window.BaudIndex(), -1);
  EXPECT_TRUE(List("ComboBox2").currentText().isEmpty());

  List("ComboBox2").setEditText(QStringLiteral("57600"));
  EXPECT_EQ(window.BaudIndex(), 3);
  List("ComboBox2").setEditText(QStringLiteral("1200"));
  EXPECT_EQ(window.BaudIndex(), -1);
  EXPECT_EQ(List("ComboBox2").count(), 5);
}

TEST_F(MainFormTest, LayoutAndTabOrder) {
  TFormMain& window = Start({});
  EXPECT_EQ(window.windowTitle(), QStringLiteral("KORVANE发送码编辑器"));
  EXPECT_EQ(window.size(), QSize(288, 408));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());
  struct Expected {
    QWidget* Control;
    QRect Bounds;
    QString Caption;
  };
  const Expected controls[] = {
      {&Widget<QLabel>(window, "Label1"), {13, 19, 48, 13}, QStringLiteral("串口号：")},
      {&Button("BitBtn1"), {200, 12, 57, 25}, QStringLiteral("打开串口")},
      {&Widget<QLabel>(window, "Label2"), {13, 52, 105, 13}, QStringLiteral("控制通讯波特率：")},
      {&Button("BitBtn5"), {144, 104, 116, 79}, QStringLiteral("IO4")},
      {&Button("Button4"), {40, 312, 49, 25}, QStringLiteral("打开")},
      {&Button("Button5"), {96, 312, 49, 25}, QStringLiteral("保存")},
      {&Button("Button3"), {152, 312, 49, 25}, QStringLiteral("读取")},
      {&Button("Button1"), {208, 312, 49, 25}, QStringLiteral("写入")},
      {&Button("Button2"), {200, 352, 75, 25}, QStringLiteral("退出")},
  };
  for (const Expected& e : controls) {
    EXPECT_EQ(e.Control->geometry(), e.Bounds) << e.Control->objectName().toStdString();
    const auto* button = qobject_cast<QPushButton*>(e.Control);
    const auto* label = qobject_cast<QLabel*>(e.Control);
    EXPECT_EQ(button ? button->text() : label->text(), e.Caption);
  }
  EXPECT_EQ(Widget<TiLedRound>(window, "LED").geometry(), QRect(168, 16, 20, 20));
  EXPECT_EQ(Widget<QFrame>(window, "Panel1").geometry(), QRect(0, 80, 283, 209));
  EXPECT_EQ(Widget<QStatusBar>(window, "StatusBar1").geometry(), QRect(0, 389, 288, 19));
  EXPECT_EQ(List("ComboBox2").currentText(), QStringLiteral("9600"));
  EXPECT_EQ(window.BaudIndex(), 1);
  EXPECT_EQ(List("ComboBox2").count(), 5);
  EXPECT_TRUE(List("ComboBox2").isEditable());
  EXPECT_FALSE(List("ComboBox1").isEditable());
  EXPECT_TRUE(Button("BitBtn2").font().bold());
  EXPECT_EQ(Button("BitBtn2").font().pixelSize(), 19);
  EXPECT_EQ(window.font().pixelSize(), 11);

  const std::vector<QWidget*> expected = {
      &Button("BitBtn2"), &Button("BitBtn3"), &Button("BitBtn4"), &Button("BitBtn5"),
      &Button("BitBtn1"), &List("ComboBox1"), &Button("Button1"), &Button("Button2"),
      &List("ComboBox2"), &Button("Button3"), &Button("Button4"), &Button("Button5")};
  QWidget* widget = expected[0];
  for (std::size_t i = 1; i < expected.size(); ++i) {
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || widget->parentWidget() == nullptr ||
             qobject_cast<QLineEdit*>(widget) != nullptr);
    EXPECT_EQ(widget, expected[i]) << "tab stop " << i;
  }
}

TEST_F(MainFormTest, ProductIconFollowsTheFirstFrame) {
  QApplication::setWindowIcon(QIcon());
  TFormMain& window = Start({});
  EXPECT_TRUE(window.windowIcon().isNull());
  window.show();
  QTRY_VERIFY_WITH_TIMEOUT(!window.windowIcon().pixmap(32, 32).isNull(), 5000);
  EXPECT_FALSE(QApplication::windowIcon().pixmap(32, 32).isNull());  // the dialog's too
}

TEST_F(MainFormTest, CentredOnTheScreenWhenShown) {
  EXPECT_EQ(CentredTopLeft({100, 100}, {105, 50}), QPoint(-2, 25));
  EXPECT_EQ(CentredTopLeft({1920, 1080}, {288, 408}), QPoint(816, 336));
  TFormMain& window = Start({});
  window.show();
  const QRect screen = window.screen()->geometry();
  const QPoint expected =
      screen.topLeft() + CentredTopLeft(screen.size(), window.frameGeometry().size());
  EXPECT_EQ(window.frameGeometry().topLeft(), expected);
}

TEST_F(MainFormTest, Screenshots) {
  TFormMain& window = Start({kCom1, kCom2});
  window.show();
  const QString folder = QDir::currentPath();
  ASSERT_TRUE(window.grab().save(folder + QStringLiteral("/main-window.png")));
  TFormCode editor;
  editor.SetCodeTable(&window.Codes());
  window.Codes().SetText(1, 1, "C7EBC7F3B1E0B3CC");
  editor.SetButtonNumber(1);
  editor.setWindowTitle(QStringLiteral("IO1发送码编辑"));
  editor.show();
  ASSERT_TRUE(editor.grab().save(folder + QStringLiteral("/code-editor.png")));
}

class LanguageTest : public MainFormTest {
 protected:
  void TearDown() override {
    test::RemoveTranslations();
    MainFormTest::TearDown();
  }
};

TEST(Language, ChosenByOptionThenEnvironment) {
  struct Case {
    QStringList Arguments;
    QString Environment;
    Language Expected;
  };
  const Case cases[] = {
      {{"korvane-editor"}, "", Language::Chinese},
      {{"korvane-editor", "--lang", "en"}, "", Language::English},
      {{"korvane-editor", "--lang=en"}, "", Language::English},
      {{"korvane-editor"}, "en", Language::English},
      {{"korvane-editor"}, " EN ", Language::English},
      {{"korvane-editor", "--lang", "zh"}, "en", Language::Chinese},  // the option wins
      {{"korvane-editor", "--lang"}, "", Language::Chinese},          // no value
      {{"korvane-editor", "--lang", "fr"}, "", Language::Chinese},
      {{"en"}, "", Language::Chinese},  // the program's own name is no option
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLanguage(c.Arguments, c.Environment), c.Expected)
        << c.Arguments.join(' ').toStdString() << " / " << c.Environment.toStdString();
  }
}

TEST_F(LanguageTest, ChineseUsesQtsOwnChineseStandardTexts) {
  ASSERT_TRUE(InstallTranslations(Language::Chinese));
  const std::unique_ptr<QMessageBox> box =
      NewMessageBox(QStringLiteral("是否读取数据？"), QStringLiteral("警告"),
                    QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
  EXPECT_EQ(box->button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

TEST(MessageBoxes, AreWideEnoughForTheirCaption) {
  const QString long_caption = QStringLiteral("一个比按钮和文字都长得多的标题栏文字");
  for (const QString& caption :
       {QStringLiteral("成功"), QStringLiteral("完成"), QStringLiteral("警告"), long_caption}) {
    for (const auto buttons :
         {QMessageBox::StandardButtons(QMessageBox::Ok), QMessageBox::Ok | QMessageBox::Cancel}) {
      const std::unique_ptr<QMessageBox> box =
          NewMessageBox(QStringLiteral("配置成功!"), caption, buttons);
      box->show();
      EXPECT_GE(box->width(), CaptionRoom(caption)) << caption.toStdString();
      EXPECT_GE(
          CaptionRoom(caption),
          QFontMetrics(QApplication::font()).horizontalAdvance(caption) + kTitleBarButtonsRoom);
      EXPECT_EQ(box->windowTitle(), caption);
      EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
      EXPECT_EQ(box->standardButtons(), buttons);
    }
  }
}

TEST(ProductIcon, DrawsAtSmallAndLargeSizes) {
  const QIcon icon = ProductIcon();
  for (const int size : {16, 32, 256}) {
    const QImage image = icon.pixmap(size, size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size));
    // Opaque in the middle (the device body), transparent at the rounded corner.
    EXPECT_EQ(qAlpha(image.pixel(size / 2, size * 3 / 8)), 255) << size;
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
  }
}

TEST(ApplicationErrorReport, ExceptionInAnEventHandlerIsShownAndTheProgramGoesOn) {
  class TThrowingWidget : public QWidget {
   protected:
    bool event(QEvent* event) override {
      if (event->type() == QEvent::User) {
        throw std::runtime_error("handler failed");
      }
      return QWidget::event(event);
    }
  };
  std::vector<QString> reports;
  SetErrorReportHook([&](const QString& text) { reports.push_back(text); });
  TThrowingWidget widget;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QApplication::sendEvent(&widget, &event));
  QApplication::postEvent(&widget, new QEvent(QEvent::User));
  QApplication::processEvents();
  SetErrorReportHook({});
  EXPECT_EQ(reports, (std::vector<QString>{QStringLiteral("handler failed"),
                                           QStringLiteral("handler failed")}));
}

}  // namespace
}  // namespace korvane
