#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "ui/CodeForm.h"
#include "ui/ErrorReport.h"
#include "ui/FormStyle.h"
#include "ui/Led.h"
#include "ui/MainForm.h"

namespace korvane {
namespace {

// What the fake port was asked to do, shared with the test after the window
// has taken the port.
struct TPortScript {
  std::vector<std::string> Calls;
  std::string CommName;
  bool Opens = true;
  bool ThrowOnOpen = false;
  bool Open = false;
  ISerialPort::ReceiveHandler Receive;
};

class TFakePort : public ISerialPort {
 public:
  explicit TFakePort(TPortScript& script) : script_(script) {}
  bool PortOpen() const override { return script_.Open; }
  void SetOutput(const std::string&) override {}
  bool SendData(const char*, std::uint16_t) override { return script_.Open; }
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

  TFormMain& Start(std::vector<PortListEntry> initialPorts) {
    ports = std::move(initialPorts);
    SetErrorReportHook([this](const QString& text) { errors.push_back(text); });
    TFormMainServices services;
    services.Comm = std::make_unique<TFakePort>(port);
    services.ListPorts = [this] { return ports; };
    services.Boxes.Show = [this](const QString& text, const QString& caption) {
      boxes.push_back({text, caption});
    };
    services.Boxes.Confirm = [](const QString&, const QString&) { return true; };
    form = std::make_unique<TFormMain>(std::move(services));
    return *form;
  }

  int Count(const std::string& call) const {
    return static_cast<int>(std::count(port.Calls.begin(), port.Calls.end(), call));
  }

  void ExpectState(bool open) const {
    EXPECT_EQ(form->BitBtn1->text(),
              open ? QStringLiteral("关闭串口") : QStringLiteral("打开串口"));
    EXPECT_EQ(form->LED->Active(), open);
  }

  TPortScript port;
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
  EXPECT_FALSE(window.BitBtn1->isEnabled());
  ExpectState(false);
  EXPECT_EQ(Count("OpenPort"), 0);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window.ComboBox1->count(), 0);
  EXPECT_EQ(FormMain, &window);
  EXPECT_EQ(std::filesystem::path(ConfigFilePath).filename(), "Configuration.bin");
  EXPECT_TRUE(window.Timer1->isActive());
  EXPECT_EQ(window.Timer1->interval(), 1000);
}

TEST_F(MainFormTest, OpensTheFirstPortAtStartUp) {
  TFormMain& window = Start({kCom1, kCom2});
  EXPECT_EQ(window.ComboBox1->currentIndex(), 0);
  EXPECT_EQ(port.Calls, (std::vector<std::string>{"SetCommName //./COM1", "OpenPort"}));
  EXPECT_TRUE(window.BitBtn1->isEnabled());
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
  EXPECT_TRUE(form->BitBtn1->isEnabled());
}

TEST_F(MainFormTest, OpenErrorGoesToTheDefaultReportAndStartUpContinues) {
  port.ThrowOnOpen = true;
  Start({kCom1});
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], QStringLiteral("Error setting up the port's queues"));
  ExpectState(false);
  EXPECT_TRUE(boxes.empty());

  form->BitBtn1->click();  // the same from a click: reported, window goes on
  EXPECT_EQ(errors.size(), 2u);
  ExpectState(false);
}

TEST_F(MainFormTest, OpenCloseButtonTogglesWithTheLed) {
  TFormMain& window = Start({kCom1});
  window.BitBtn1->click();
  ExpectState(false);
  EXPECT_EQ(port.Calls.back(), "ClosePort");
  EXPECT_EQ(port.Calls[port.Calls.size() - 2], "SetCommName //./COM1");
  window.BitBtn1->click();
  ExpectState(true);
  EXPECT_EQ(Count("OpenPort"), 2);
}

TEST_F(MainFormTest, PortAddedLaterIsListedButNotSelected) {
  TFormMain& window = Start({});
  ports = {kSim};
  window.Timer1Timer();
  EXPECT_EQ(window.ComboBox1->count(), 1);
  EXPECT_EQ(window.ComboBox1->currentIndex(), -1);
  EXPECT_FALSE(window.BitBtn1->isEnabled());

  QTest::keyClick(window.ComboBox1, Qt::Key_Down);  // the user picks it
  EXPECT_EQ(window.ComboBox1->currentIndex(), 0);
  EXPECT_EQ(Count("ClosePort"), 1);
  EXPECT_FALSE(window.BitBtn1->isEnabled());  // left to the next tick
  window.Timer1Timer();
  EXPECT_TRUE(window.BitBtn1->isEnabled());
  window.BitBtn1->click();
  EXPECT_EQ(port.CommName, "//./KSIM1");
  ExpectState(true);
}

TEST_F(MainFormTest, RemovedOpenPortLeavesTheStateAlone) {
  TFormMain& window = Start({kCom1});
  ports = {};
  window.Timer1Timer();
  EXPECT_TRUE(window.ComboBox1->currentText().isEmpty());
  EXPECT_FALSE(window.BitBtn1->isEnabled());
  ExpectState(true);
  EXPECT_EQ(Count("ClosePort"), 0);
}

TEST_F(MainFormTest, SelectionIsRestoredByPosition) {
  TFormMain& window = Start({kCom1, kCom2, kSim});
  QTest::keyClick(window.ComboBox1, Qt::Key_Down);
  ASSERT_EQ(window.ComboBox1->currentIndex(), 1);
  window.BitBtn1->click();
  ExpectState(true);
  ASSERT_EQ(port.CommName, "//./COM2");
  const int closesBefore = Count("ClosePort");

  ports = {kCom2, kSim};
  window.Timer1Timer();  // restoring is no change by the user
  EXPECT_EQ(window.ComboBox1->currentText(), QStringLiteral("KSIM1"));
  EXPECT_EQ(Count("ClosePort"), closesBefore);
  ExpectState(true);

  window.BitBtn1->click();  // closes the open port, whatever name is shown
  ExpectState(false);
  EXPECT_EQ(Count("ClosePort"), closesBefore + 1);
}

TEST_F(MainFormTest, PickingAnotherPortClosesTheOpenOne) {
  TFormMain& window = Start({kCom1, kCom2});
  ExpectState(true);
  QTest::keyClick(window.ComboBox1, Qt::Key_Down);
  ExpectState(false);
  EXPECT_EQ(port.Calls.back(), "ClosePort");
  EXPECT_EQ(Count("OpenPort"), 1);
  EXPECT_FALSE(port.Open);
}

TEST_F(MainFormTest, ClosingTheWindowClosesThePort) {
  TFormMain& window = Start({kCom1});
  window.show();
  window.Button2->click();
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
  EXPECT_EQ(window.PanelRect.Right - window.PanelRect.Left, 50);
  EXPECT_GT(window.PanelRect.Bottom, window.PanelRect.Top);

  IOperator& op = window.Operator();
  op.CreateProgress(0, 4, 1);
  ASSERT_NE(window.ProgressBar, nullptr);
  EXPECT_EQ(window.ProgressBar->parentWidget(), window.StatusBar1);
  const TPanelRect& rect = window.PanelRect;
  EXPECT_EQ(window.ProgressBar->geometry(),
            QRect(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top));
  for (int i = 0; i < 6; ++i) {
    op.StepProgress();
  }
  EXPECT_EQ(window.ProgressBar->value(), 4);
  op.DestroyProgress();
  EXPECT_EQ(window.ProgressBar, nullptr);

  op.ShowMessage("配置成功!", "成功");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, QStringLiteral("配置成功!"));
  EXPECT_EQ(boxes[0].Caption, QStringLiteral("成功"));
}

TEST_F(MainFormTest, OperationsRunBusyAndACloseWaitsForThem) {
  TFormMain& window = Start({kCom1});
  window.show();
  int runs = 0;
  window.OnDeviceProgramming = [&] {
    ++runs;
    EXPECT_TRUE(window.Busy());
    const std::vector<QWidget*> commands = {window.BitBtn1, window.ComboBox1, window.Button1,
                                            window.Button3, window.Button4,   window.Button5,
                                            window.BitBtn2};
    for (QWidget* control : commands) {
      EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    window.Button1Click();  // a second operation does not start
    window.close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.StopRequested());
    EXPECT_TRUE(port.Open);  // the port stays with the operation
  };
  window.Button1->click();
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(window.Busy());
  EXPECT_TRUE(window.BitBtn1->isEnabled());
  EXPECT_TRUE(window.Button1->isEnabled());

  for (int i = 0; i < 100 && window.isVisible(); ++i) {
    QTest::qWait(10);
  }
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(port.Open);
}

TEST_F(MainFormTest, FailingOperationIsReportedAndReleasesTheWindow) {
  TFormMain& window = Start({kCom1});
  window.OnDeviceReadBack = [] { throw std::runtime_error("image file missing"); };
  window.Button3->click();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], QStringLiteral("image file missing"));
  EXPECT_FALSE(window.Busy());
  EXPECT_TRUE(window.Button3->isEnabled());
}

TEST_F(MainFormTest, EachButtonRunsItsOwnHook) {
  TFormMain& window = Start({});
  std::string order;
  window.OnDeviceProgramming = [&] { order += "W"; };
  window.OnDeviceReadBack = [&] { order += "R"; };
  window.OnLoadCodeSet = [&] { order += "O"; };
  window.OnSaveCodeSet = [&] { order += "S"; };
  window.Button1->click();
  window.Button3->click();
  window.Button4->click();
  window.Button5->click();
  EXPECT_EQ(order, "WROS");
}

TEST_F(MainFormTest, IoButtonOpensTheEditorOnItsButtonsCodes) {
  TFormMain& window = Start({});
  window.Codes().SetText(2, 3, "0A0B");
  QString caption;
  QString shown;
  QTimer::singleShot(0, [&] {
    ASSERT_NE(FormCode, nullptr);
    caption = FormCode->windowTitle();
    shown = FormCode->BWS[2]->text();
    FormCode->BUS[0]->setText(QStringLiteral("FF"));
    FormCode->Button1->click();
  });
  window.BitBtn3->click();
  EXPECT_EQ(caption, QStringLiteral("IO2发送码编辑"));
  EXPECT_EQ(shown, QStringLiteral("0A0B"));
  EXPECT_EQ(window.Codes().Text(2, 5), "FF");
  EXPECT_EQ(window.Codes().Text(1, 5), "");
}

TEST_F(MainFormTest, BaudIndexFollowsTheListAndReadBack) {
  TFormMain& window = Start({});
  window.SetBaudIndex(2);
  EXPECT_EQ(window.ComboBox2->currentText(), QStringLiteral("19200"));
  EXPECT_EQ(window.BaudIndex(), 2);
  window.SetBaudIndex(7);
  EXPECT_EQ(window.BaudIndex(), -1);
  EXPECT_TRUE(window.ComboBox2->currentText().isEmpty());

  window.ComboBox2->setEditText(QStringLiteral("57600"));
  EXPECT_EQ(window.BaudIndex(), 3);
  window.ComboBox2->setEditText(QStringLiteral("1200"));
  EXPECT_EQ(window.BaudIndex(), -1);
  EXPECT_EQ(window.ComboBox2->count(), 5);
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
      {window.Label1, {13, 19, 48, 13}, QStringLiteral("串口号：")},
      {window.BitBtn1, {200, 12, 57, 25}, QStringLiteral("打开串口")},
      {window.Label2, {13, 52, 105, 13}, QStringLiteral("控制通讯波特率：")},
      {window.BitBtn5, {144, 104, 116, 79}, QStringLiteral("IO4")},
      {window.Button4, {40, 312, 49, 25}, QStringLiteral("打开")},
      {window.Button5, {96, 312, 49, 25}, QStringLiteral("保存")},
      {window.Button3, {152, 312, 49, 25}, QStringLiteral("读取")},
      {window.Button1, {208, 312, 49, 25}, QStringLiteral("写入")},
      {window.Button2, {200, 352, 75, 25}, QStringLiteral("退出")},
  };
  for (const Expected& e : controls) {
    EXPECT_EQ(e.Control->geometry(), e.Bounds) << e.Control->objectName().toStdString();
    const auto* button = qobject_cast<QPushButton*>(e.Control);
    const auto* label = qobject_cast<QLabel*>(e.Control);
    EXPECT_EQ(button ? button->text() : label->text(), e.Caption);
  }
  EXPECT_EQ(window.LED->geometry(), QRect(168, 16, 20, 20));
  EXPECT_EQ(window.Panel1->geometry(), QRect(0, 80, 283, 209));
  EXPECT_EQ(window.StatusBar1->geometry(), QRect(0, 389, 288, 19));
  EXPECT_EQ(window.ComboBox2->currentText(), QStringLiteral("9600"));
  EXPECT_EQ(window.BaudIndex(), 1);
  EXPECT_EQ(window.ComboBox2->count(), 5);
  EXPECT_TRUE(window.ComboBox2->isEditable());
  EXPECT_FALSE(window.ComboBox1->isEditable());
  EXPECT_TRUE(window.BitBtn2->font().bold());
  EXPECT_EQ(window.BitBtn2->font().pixelSize(), 19);
  EXPECT_EQ(window.font().pixelSize(), 11);

  const std::vector<QWidget*> expected = {window.BitBtn2, window.BitBtn3, window.BitBtn4,
                                          window.BitBtn5, window.BitBtn1, window.ComboBox1,
                                          window.Button1, window.Button2, window.ComboBox2,
                                          window.Button3, window.Button4, window.Button5};
  QWidget* widget = expected[0];
  for (std::size_t i = 1; i < expected.size(); ++i) {
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || widget->parentWidget() == nullptr ||
             qobject_cast<QLineEdit*>(widget) != nullptr);
    EXPECT_EQ(widget, expected[i]) << "tab stop " << i;
  }
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
