#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "files/CodeSetFile.h"
#include "tests/ui/FormWidgets.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace korvane {
namespace {

using test::TIdlePort;
using test::Widget;

class MainFormFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    dir =
        fs::temp_directory_path() / ("korvane-ui-files-" + std::to_string(::getpid()) + "-" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    TFormMainServices services;
    services.Comm = std::make_unique<TIdlePort>();
    services.ListPorts = [] { return std::vector<PortListEntry>{}; };
    services.Boxes.Show = [this](const QString& text, const QString& caption) {
      shown.push_back(caption + ": " + text);
    };
    services.Boxes.Confirm = [this](const QString& text, const QString& caption) {
      asked.push_back(caption + ": " + text);
      return confirm;
    };
    services.ChooseFile = [this](TFileDialogKind kind) {
      dialogs.push_back(kind);
      return chosen;
    };
    form = std::make_unique<TFormMain>(std::move(services));
  }
  void TearDown() override {
    form.reset();
    fs::remove_all(dir);
  }

  QString PathIn(const std::string& name) const {
    return QString::fromStdString((dir / name).string());
  }

  fs::path dir;
  bool confirm = true;
  QString chosen;
  std::vector<QString> shown;
  std::vector<QString> asked;
  std::vector<TFileDialogKind> dialogs;
  std::unique_ptr<TFormMain> form;
};

TEST_F(MainFormFilesTest, SaveAsksThenWritesTheTableWithTheDefaultExtension) {
  form->Codes().SetText(2, 6, "A1B2");
  chosen = PathIn("codes");
  Widget<QPushButton>(*form, "Button5").click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0],
            QStringLiteral("保存确认: 您确定要保存配置文件吗？当前的配置文件如果没有保存将丢失！"));
  EXPECT_EQ(dialogs, std::vector<TFileDialogKind>{TFileDialogKind::Save});
  CodeTable saved;
  ASSERT_TRUE(LoadCodeSet(saved, (dir / "codes.IOS").string()));
  EXPECT_EQ(saved, form->Codes());
  EXPECT_TRUE(shown.empty());
}

TEST_F(MainFormFilesTest, CancelInTheQuestionOrTheDialogDoesNothing) {
  confirm = false;
  Widget<QPushButton>(*form, "Button5").click();
  Widget<QPushButton>(*form, "Button4").click();
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_TRUE(dialogs.empty());

  confirm = true;
  form->Codes().SetText(1, 1, "KEEP");
  chosen.clear();  // the dialog was cancelled
  Widget<QPushButton>(*form, "Button4").click();
  Widget<QPushButton>(*form, "Button5").click();
  EXPECT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(form->Codes().Text(1, 1), "KEEP");
  EXPECT_TRUE(fs::is_empty(dir));
  EXPECT_TRUE(shown.empty());
}

TEST_F(MainFormFilesTest, OpenReplacesAllCodesAndLeavesTheBaudRate) {
  CodeTable file;
  file.SetText(4, 8, "0F0E");
  ASSERT_TRUE(SaveCodeSet(file, (dir / "in.IOS").string()));
  form->Codes().SetText(1, 1, "GONE");
  form->SetBaudIndex(3);
  chosen = PathIn("in.IOS");
  Widget<QPushButton>(*form, "Button4").click();
  EXPECT_EQ(asked.back(),
            QStringLiteral("打开确认: 您确定要打开配置文件吗？当前的配置文件如果没有保存将丢失！"));
  EXPECT_EQ(form->Codes(), file);
  EXPECT_EQ(form->BaudIndex(), 3);

  chosen = PathIn("missing.IOS");  // a name that does not exist empties the table
  Widget<QPushButton>(*form, "Button4").click();
  EXPECT_EQ(form->Codes(), CodeTable{});
  EXPECT_TRUE(shown.empty());
}

TEST_F(MainFormFilesTest, AFailedSaveIsReportedAndLeavesNothingBehind) {
  form->Codes().SetText(1, 1, "01");
  chosen = PathIn("no-such-folder/codes.IOS");
  Widget<QPushButton>(*form, "Button5").click();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], QStringLiteral("警告: 配置文件保存失败：无法在 ") + chosen +
                          QStringLiteral(" 所在的文件夹中创建文件：文件或文件夹不存在"));
  EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}

}  // namespace
}  // namespace korvane
