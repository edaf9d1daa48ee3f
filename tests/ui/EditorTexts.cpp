#include "tests/ui/EditorTexts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "device/ConfigImage.h"
#include "device/DeviceOperations.h"
#include "model/HexCodec.h"
#include "tests/support/TempDir.h"
#include "ui/CodeForm.h"
#include "ui/MainForm.h"

namespace korvane::test {
namespace {

// A loop whose waits end at once: the device's fixed waits take no time.
class TInstantLoop : public TUiLoop {
 public:
  TargetId AddTarget(INoticeTarget&) override { return 1; }
  void RemoveTarget(TargetId) override {}
  bool Post(TargetId, TNotice&&) override { return false; }
  void WaitPumping(std::uint32_t) override {}
};

// What the fake device answers.
struct TDeviceScript {
  bool Opens = true;
  bool AcceptsRequest = false;
  bool AcknowledgesBlocks = false;
  bool SendsReply = false;
};

// A port whose device answers at once, as the script says.
class TScriptedPort : public ISerialPort {
 public:
  explicit TScriptedPort(const TDeviceScript& script) : script_(script) {}
  bool PortOpen() const override { return open_; }
  void SetOutput(const std::string& bytes) override {
    if (bytes == HexToBytes(kProgramRequestHex) && script_.AcceptsRequest) {
      Answer(HexToBytes(kProgramAcceptedHex));
    } else if (bytes == HexToBytes(kReadRequestHex) && script_.SendsReply) {
      Answer(std::string(kReadReplyBytes, '\0'));
    }
  }
  bool SendData(const char*, std::uint16_t) override {
    if (script_.AcknowledgesBlocks) {
      Answer(HexToBytes(kBlockReceivedHex));
    }
    return open_;
  }
  void SetCommName(const std::string&) override {}
  void OpenPort() override { open_ = script_.Opens; }
  void ClosePort() override { open_ = false; }
  void SetReceiveHandler(ReceiveHandler handler) override { receive_ = std::move(handler); }

 private:
  void Answer(const std::string& bytes) {
    if (receive_) {
      receive_(bytes.data(), static_cast<std::uint16_t>(bytes.size()));
    }
  }
  TDeviceScript script_;
  bool open_ = false;
  ReceiveHandler receive_;
};

class TCollector {
 public:
  explicit TCollector(const std::string& dir) : dir_(QString::fromStdString(dir)) {}

  void Add(const std::string& where, QString text) {
    text.replace(dir_, QStringLiteral("{dir}"));
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    const std::string line = where + "\t" + text.toStdString();
    if (std::find(lines_.begin(), lines_.end(), line) == lines_.end()) {
      lines_.push_back(line);
    }
  }

  // The window's own texts and those of its children, by object name. The
  // port list's items are the system's port names, not the editor's texts.
  void AddWidgets(const std::string& prefix, const QWidget& window) {
    Add(prefix + ".title", window.windowTitle());
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
      const std::string where = prefix + "." + widget->objectName().toStdString();
      if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        Add(where, button->text());
      } else if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        Add(where, label->text());
      } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
        Add(where, group->title());
      } else if (const auto* list = qobject_cast<const QComboBox*>(widget);
                 list != nullptr && widget->objectName() != QLatin1String("ComboBox1")) {
        for (int i = 0; i < list->count(); ++i) {
          Add(where, list->itemText(i));
        }
      }
    }
  }

  std::vector<std::string> Lines() const { return lines_; }

 private:
  QString dir_;
  std::vector<std::string> lines_;
};

// One window on a fake device; its message boxes go to the collector under
// `name`, each confirmation answered with `confirm`.
class TScenario {
 public:
  TScenario(TCollector& texts, std::string name, const TDeviceScript& device, bool confirm,
            const std::string& imagePath) {
    TFormMainServices services;
    services.Comm = std::make_unique<TScriptedPort>(device);
    services.Loop = &loop_;
    // A port that cannot be opened is not listed: nothing is opened at start.
    const std::vector<PortListEntry> ports = {{"COM1", "/dev/null"}};
    services.ListPorts = [device, ports] {
      return device.Opens ? ports : std::vector<PortListEntry>{};
    };
    services.Boxes.Show = [&texts, name](const QString& text, const QString& caption) {
      texts.Add("box." + name + ".caption", caption);
      texts.Add("box." + name + ".text", text);
    };
    services.Boxes.Confirm = [&texts, name, confirm](const QString& text, const QString& caption) {
      texts.Add("ask." + name + ".caption", caption);
      texts.Add("ask." + name + ".text", text);
      return confirm;
    };
    services.ChooseFile = [this](TFileDialogKind) { return chosen_; };
    form_ = std::make_unique<TFormMain>(std::move(services));
    ConfigFilePath = imagePath;
  }

  TFormMain& Form() { return *form_; }
  void Choose(const std::string& path) { chosen_ = QString::fromStdString(path); }

 private:
  TInstantLoop loop_;
  QString chosen_;
  std::unique_ptr<TFormMain> form_;
};

void AddWindowTexts(TCollector& texts, const std::string& image) {
  TScenario scenario(texts, "window", TDeviceScript{}, true, image);
  TFormMain& form = scenario.Form();
  texts.AddWidgets("FormMain", form);  // the port opened at start-up
  form.BitBtn1Click();
  texts.AddWidgets("FormMain", form);  // and closed
  const std::function<void()> clicks[] = {
      [&] { form.BitBtn2Click(); }, [&] { form.BitBtn3Click(); }, [&] { form.BitBtn4Click(); },
      [&] { form.BitBtn5Click(); }};
  for (const auto& click : clicks) {
    QTimer::singleShot(0, [&] {
      texts.AddWidgets("FormCode", *FormCode);
      FormCode->close();
    });
    click();
  }
}

void AddDeviceTexts(TCollector& texts, const std::string& dir, const std::string& image) {
  struct Case {
    const char* Name;
    TDeviceScript Device;
    bool Confirm;
    std::string Image;
    void (TFormMain::*Command)();
  };
  const std::string missingFolder = dir + "/missing/Configuration.bin";
  const Case cases[] = {
      {"port_open_failed", {false}, true, image, &TFormMain::BitBtn1Click},
      {"write_port_closed", {false}, true, image, &TFormMain::Button1Click},
      {"read_port_closed", {false}, true, image, &TFormMain::Button3Click},
      {"write_handshake_failed", {}, true, image, &TFormMain::Button1Click},
      {"write_file_fault", {true, true}, true, missingFolder, &TFormMain::Button1Click},
      {"write_block_failed", {true, true}, true, image, &TFormMain::Button1Click},
      {"write_success", {true, true, true}, true, image, &TFormMain::Button1Click},
      {"read_cancelled", {}, false, image, &TFormMain::Button3Click},
      {"read_failed", {}, true, image, &TFormMain::Button3Click},
      {"read_success", {true, false, false, true}, true, image, &TFormMain::Button3Click},
  };
  for (const Case& c : cases) {
    TScenario scenario(texts, c.Name, c.Device, c.Confirm, c.Image);
    (scenario.Form().*c.Command)();
  }
  TScenario overlong(texts, "write_overlong", {}, true, image);
  overlong.Form().Codes().SetText(1, 2, std::string(130, 'A'));
  overlong.Form().Codes().SetText(4, 7, std::string(128, 'B'));
  overlong.Form().Button1Click();

  TScenario busy(texts, "write_image_busy", {}, true, image);
  const auto lock = TImageFileLock::TryAcquire(image);
  busy.Form().Button1Click();
}

void AddFileTexts(TCollector& texts, const std::string& dir, const std::string& image) {
  std::filesystem::create_directory(dir + "/folder.IOS");
  struct Case {
    const char* Name;
    bool Confirm;
    std::string Path;
    bool Save;
    bool LineBreak;
  };
  const Case cases[] = {
      {"open_declined", false, "", false, false},
      {"save_declined", false, "", true, false},
      {"open_folder", true, dir + "/folder.IOS", false, false},
      {"save_no_folder", true, dir + "/missing/codes.IOS", true, false},
      {"save_onto_folder", true, dir + "/folder.IOS", true, false},
      {"save_line_break", true, dir + "/codes.IOS", true, true},
  };
  for (const Case& c : cases) {
    TScenario scenario(texts, c.Name, TDeviceScript{}, c.Confirm, image);
    scenario.Choose(c.Path);
    if (c.LineBreak) {
      scenario.Form().Codes().SetText(2, 3, "01\n02");
    }
    c.Save ? scenario.Form().Button5Click() : scenario.Form().Button4Click();
  }
  TScenario named(texts, "open_named_missing", TDeviceScript{}, true, image);
  named.Form().OpenCodeSetFile(QString::fromStdString(dir + "/named.IOS"));
}

}  // namespace

std::vector<std::string> EditorTexts() {
  const TempDir dir;
  const std::string folder = dir.Path().string();
  const std::string image = ConfigFilePathIn(folder + "/");
  const std::string savedPath = ConfigFilePath;
  TCollector texts(folder);
  AddWindowTexts(texts, image);
  AddDeviceTexts(texts, folder, image);
  AddFileTexts(texts, folder, image);
  ConfigFilePath = savedPath;
  return texts.Lines();
}

}  // namespace korvane::test
