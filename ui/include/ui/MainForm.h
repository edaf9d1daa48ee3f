#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceOperations.h"
#include "device/ResponseLog.h"
#include "model/CodeTable.h"
#include "serial/UiLoop.h"
#include "ui/UiSeams.h"

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;

namespace korvane {

class TiLedRound;
class TFormCode;

// Directory of the executable + "Configuration.bin", set at start-up; the
// per-user state folder instead where the program's folder takes no files.
extern std::string ConfigFilePath;

struct TPanelRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

// The commands behind "写入", "读取", "打开" and "保存". Each runs with the
// window busy; an empty one is the window's own.
struct TFormMainOperations {
  std::function<void()> DeviceProgramming;
  std::function<void()> DeviceReadBack;
  std::function<void()> LoadCodeSet;
  std::function<void()> SaveCodeSet;
};

// What the main window is built on. Empty message boxes or file chooser mean
// Qt's own.
struct TFormMainServices {
  std::unique_ptr<ISerialPort> Comm;
  // The loop that device operations wait in; required by "写入" and "读取".
  TUiLoop* Loop = nullptr;
  PortLister ListPorts;
  TMessageBoxes Boxes;
  FileChooser ChooseFile;
  TFormMainOperations Operations;
};

// The tool's only top-level window: port selection and state, the four IO
// buttons, the file and device commands, and the status bar panel that hosts
// a transfer's progress bar.
class TFormMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFormMain(TFormMainServices services, QWidget* parent = nullptr);
  ~TFormMain() override;
  TFormMain(const TFormMain&) = delete;
  TFormMain& operator=(const TFormMain&) = delete;

  // Handlers, named after their control and event.
  void FormCreate();
  void FormShow();
  void FormClose();
  void BitBtn1Click();
  void BitBtn2Click() { OpenCodeEditor(1); }
  void BitBtn3Click() { OpenCodeEditor(2); }
  void BitBtn4Click() { OpenCodeEditor(3); }
  void BitBtn5Click() { OpenCodeEditor(4); }
  void ComboBox1Change();
  void Timer1Timer();
  void StatusBar1DrawPanel(const QRect& rect);
  void Button1Click() { RunOperation(Button1, operations_.DeviceProgramming); }
  void Button2Click();
  void Button3Click() { RunOperation(Button3, operations_.DeviceReadBack); }
  void Button4Click() { RunOperation(Button4, operations_.LoadCodeSet); }
  void Button5Click() { RunOperation(Button5, operations_.SaveCodeSet); }
  void Comm1ReceiveData(const char* buffer, std::uint16_t length);
  // Loads the named code set file as "打开" does once a file is chosen, but
  // without asking first: for a file named on the command line. A missing
  // file is reported, since the operator named one that is not there.
  void OpenCodeSetFile(const QString& name);

  ISerialPort& Comm1() { return *comm_; }
  CodeTable& Codes() { return codes_; }
  TResponseLog& ResponseLog() { return responseLog_; }
  // Message boxes and the progress bar over the status bar panel.
  IOperator& Operator();
  // Where the status bar panel was last painted, in status bar coordinates.
  const TPanelRect& PanelRect() const { return panelRect_; }
  const TMessageBoxes& MessageBoxes() const { return boxes_; }
  // The open or save dialog; empty when cancelled.
  QString ChooseFile(TFileDialogKind kind);
  int BaudIndex() const;
  void SetBaudIndex(int index);

  // While an operation runs, the commands that would start another one or
  // change the port or the baud index are disabled and the window shows the
  // busy cursor. A close asked for meanwhile ("退出", the title bar) waits:
  // the operation ends as it would have, shows its result, and then the
  // window closes.
  bool Busy() const { return busyDepth_ > 0; }
  bool CloseDeferred() const { return closeDeferred_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Keeps the window busy for as long as it lives.
  class TBusyGuard {
   public:
    explicit TBusyGuard(TFormMain& form);
    ~TBusyGuard();
    TBusyGuard(const TBusyGuard&) = delete;
    TBusyGuard& operator=(const TBusyGuard&) = delete;

   private:
    TFormMain& form_;
  };

  void CreateControls();
  void CreatePortControls();
  void CreateIoButtons();
  void CreateCommandButtons();
  void CreateStatusBar();
  void SetTabOrder();
  void ConnectHandlers();
  void FillPortList();
  void OpenCodeEditor(int button);
  // Runs `operation` busy; afterwards the keyboard focus is back on `starter`,
  // which was disabled meanwhile (the focus had moved on, to "退出").
  void RunOperation(QPushButton* starter, const std::function<void()>& operation);
  void ApplyEnabledState();
  void LeaveBusy();
  // The port list as scanned; deferred while the list's popup is open.
  void ShowPortList(const std::vector<PortListEntry>& ports);
  void ApplyPendingPortList();
  QString ChooseFileWithDialog(TFileDialogKind kind);
  void UseOwnOperationsWhereNoneGiven();
  void ProgramTheDevice();
  void ReadTheDeviceBack();
  void LoadCodeSetFromFile();
  void LoadCodeSetFrom(const std::string& path);
  void ShowLoadFailure(const TError& error);
  void SaveCodeSetToFile();
  // The device operations' context; the window's image file path as it is now.
  DeviceContext& Device();
  // Asks the question, then for a file name; empty when either is declined.
  std::string AskForCodeSetFile(const QString& question, const QString& caption,
                                TFileDialogKind kind);

  QFrame* Panel1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  QPushButton* BitBtn4 = nullptr;
  QPushButton* BitBtn5 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  TiLedRound* LED = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* ComboBox2 = nullptr;
  QPushButton* Button3 = nullptr;
  QTimer* Timer1 = nullptr;
  QPushButton* Button4 = nullptr;
  QPushButton* Button5 = nullptr;
  TPanelRect panelRect_;

  std::unique_ptr<ISerialPort> comm_;
  TUiLoop* loop_ = nullptr;
  PortLister listPorts_;
  TMessageBoxes boxes_;
  FileChooser chooseFile_;
  TFormMainOperations operations_;
  std::unique_ptr<IOperator> operator_;
  std::unique_ptr<TFormCode> ownCodeForm_;
  CodeTable codes_;
  TResponseLog responseLog_;
  // One for the window's lifetime, so that it refuses a second device
  // operation while one runs; none without a loop to wait in.
  std::unique_ptr<DeviceContext> device_;
  int shownPortIndex_ = -1;      // last selection known to the window
  bool portSelectable_ = false;  // text of ComboBox1 not empty at the last check
  int busyDepth_ = 0;
  bool closeDeferred_ = false;
  bool iconShown_ = false;
  // A scan that found another list while the popup was open.
  std::optional<std::vector<PortListEntry>> pendingPorts_;
  QPushButton* focusAfterBusy_ = nullptr;
  QString lastOpenName_;
  QString lastSaveName_;
};

extern TFormMain* FormMain;

}  // namespace korvane
