#include "ui/CommandLine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "KorvaneVersion.h"
#include "files/CodeSetFile.h"
#include "tests/support/TempDir.h"
#include "tests/ui/FormWidgets.h"
#include "ui/MainForm.h"
#include "ui/QtUiLoop.h"
#include "ui/RunEditor.h"

namespace korvane {
namespace {

TEST(EditorCommandLine, OnlyHelpAndVersionAreAnsweredBeforeTheWindow) {
  struct Case {
    std::vector<std::string> Args;
    std::optional<std::string> StartsWith;  // nullopt: the window opens
  };
  const std::string version = std::string("korvane-editor ") + KORVANE_VERSION + "\n";
  const std::vector<Case> cases = {
      {{}, std::nullopt},
      {{"-platform", "offscreen"}, std::nullopt},
      {{"codes.IOS"}, std::nullopt},
      {{"--helper"}, std::nullopt},
      {{"--help"}, "Usage: korvane-editor"},
      {{"-h"}, "Usage: korvane-editor"},
      {{"-platform", "offscreen", "--version"}, version},
      {{"-V"}, version},
      {{"--version", "--help"}, version},  // the first request wins
  };
  for (const Case& c : cases) {
    const std::optional<std::string> text = EditorInfoText(c.Args);
    ASSERT_EQ(text.has_value(), c.StartsWith.has_value()) << ::testing::PrintToString(c.Args);
    if (text) {
      EXPECT_TRUE(text->starts_with(*c.StartsWith)) << *text;
    }
  }
}

TEST(EditorCommandLine, HelpListsOptionsExitStatusAndFiles) {
  const std::string help = EditorInfoText({"--help"}).value_or("");
  for (const char* part : {"--version", "[FILE]", "Exit status:", "Files:", "Configuration.bin",
                           "XDG_STATE_HOME", ".local/state/korvane"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
}

TEST(EditorCommandLine, TheCodeSetFileIsTheFirstArgumentThatIsNoOption) {
  struct Case {
    QStringList Args;  // after the program
    QString File;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{"codes.IOS"}, "codes.IOS"},
      {{"--lang", "en"}, ""},
      {{"--lang", "en", "C:\\共享\\a b.IOS"}, "C:\\共享\\a b.IOS"},
      {{"--lang=en", "a.IOS", "b.IOS"}, "a.IOS"},
      {{"--unknown", "a.ios"}, "a.ios"},
      {{"--", "-odd.IOS"}, "-odd.IOS"},
      {{"--"}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodeSetFileArgument(QStringList{"korvane-editor"} + c.Args), c.File)
        << c.Args.join(' ').toStdString();
  }
}

// The editor started by RunEditor as from the command line, on an idle port;
// once the start-up is over, the window's state is kept and it closes.
struct StartedEditor {
  CodeTable Codes;
  std::vector<QString> Shown;
  std::vector<QString> Asked;
  bool WasVisible = false;
  int Result = -1;
};

StartedEditor StartEditor(const QStringList& args) {
  StartedEditor seen;
  TEditorStart start;
  start.Arguments = QStringList{"korvane-editor"} + args;
  start.Services = [&seen](TQtUiLoop&) {
    TFormMainServices services;
    services.Comm = std::make_unique<test::TIdlePort>();
    services.ListPorts = [] { return std::vector<PortListEntry>{}; };
    services.Boxes.Show = [&seen](const QString& text, const QString& caption) {
      seen.Shown.push_back(caption + ": " + text);
    };
    services.Boxes.Confirm = [&seen](const QString& text, const QString&) {
      seen.Asked.push_back(text);
      return true;
    };
    return services;
  };
  start.BeforeShow = [&seen](TFormMain& window) {
    window.Codes().SetText(3, 3, "BEFORE");  // a load replaces it
    QTimer::singleShot(0, &window, [&seen, &window] {
      seen.Codes = window.Codes();
      seen.WasVisible = window.isVisible();
      window.close();
      QApplication::quit();
    });
  };
  seen.Result = RunEditor(start);
  return seen;
}

TEST(EditorStartUp, ACodeSetFileOnTheCommandLineIsLoadedWithoutAsking) {
  testing::TempDir dir;
  CodeTable file;
  file.SetText(2, 5, "A0B1");
  const std::string path = dir.File("start.IOS");
  ASSERT_TRUE(SaveCodeSet(file, path));

  const StartedEditor seen = StartEditor({"--lang", "zh", QString::fromStdString(path)});
  EXPECT_EQ(seen.Result, 0);
  EXPECT_TRUE(seen.WasVisible);
  EXPECT_EQ(seen.Codes, file);
  EXPECT_TRUE(seen.Asked.empty()) << "no confirmation at start-up";
  EXPECT_TRUE(seen.Shown.empty());
}

TEST(EditorStartUp, AMissingFileIsReportedAndTheWindowStartsAnyway) {
  testing::TempDir dir;
  const QString missing = QString::fromStdString(dir.File("missing.IOS"));
  const StartedEditor seen = StartEditor({missing});
  EXPECT_TRUE(seen.WasVisible);
  ASSERT_EQ(seen.Shown.size(), 1u);
  EXPECT_TRUE(seen.Shown[0].startsWith(QStringLiteral("警告: 无法读取配置文件：")))
      << seen.Shown[0].toStdString();
  EXPECT_TRUE(seen.Shown[0].contains(missing)) << seen.Shown[0].toStdString();
  EXPECT_EQ(seen.Codes.Text(3, 3), "BEFORE") << "nothing was loaded";
}

TEST(EditorStartUp, WithoutArgumentsTheWindowStartsAsAlways) {
  const StartedEditor seen = StartEditor({});
  EXPECT_TRUE(seen.WasVisible);
  EXPECT_TRUE(seen.Shown.empty());
  EXPECT_TRUE(seen.Asked.empty());
  EXPECT_EQ(seen.Codes.Text(3, 3), "BEFORE");
}

}  // namespace
}  // namespace korvane
