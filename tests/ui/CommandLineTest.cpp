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

// The editor started through RunEditor with `args`, on an idle port; once the
// start-up is over its table and messages are kept and it closes.
struct StartedEditor {
  CodeTable Codes;
  std::vector<QString> Boxes;  // shown or asked
  bool Visible = false;
};

StartedEditor StartEditor(const QStringList& args) {
  StartedEditor seen;
  TEditorStart start{QStringList{"korvane-editor"} + args, {}, {}};
  start.Services = [&seen](TQtUiLoop&) {
    TFormMainServices services;
    services.Comm = std::make_unique<test::TIdlePort>();
    services.ListPorts = [] { return std::vector<PortListEntry>{}; };
    services.Boxes.Show = [&seen](const QString& text, const QString& caption) {
      seen.Boxes.push_back(caption + ": " + text);
    };
    services.Boxes.Confirm = [&seen](const QString& text, const QString& caption) {
      seen.Boxes.push_back(caption + ": " + text);
      return true;
    };
    return services;
  };
  start.BeforeShow = [&seen](TFormMain& window) {
    window.Codes().SetText(3, 3, "BEFORE");  // a load replaces it
    QTimer::singleShot(0, &window, [&seen, &window] {
      seen.Codes = window.Codes();
      seen.Visible = window.isVisible();
      window.close();
      QApplication::quit();
    });
  };
  EXPECT_EQ(RunEditor(start), 0);
  return seen;
}

TEST(EditorStartUp, TheFileNamedIsLoadedWithoutAskingAndAMissingOneIsReported) {
  test::TempDir dir;
  CodeTable file;
  file.SetText(2, 5, "A0B1");
  const QString path = QString::fromStdString(dir.File("start.IOS"));
  ASSERT_TRUE(SaveCodeSet(file, path.toStdString()));
  const QString missing = QString::fromStdString(dir.File("missing.IOS"));
  CodeTable untouched;
  untouched.SetText(3, 3, "BEFORE");
  struct Case {
    QStringList Args;
    CodeTable Codes;
    QString Box;  // empty: none
  };
  for (const Case& c :
       std::vector<Case>{{{"--lang", "zh", path}, file, ""},
                         {{missing},
                          untouched,
                          "警告: 无法读取配置文件：无法读取 " + missing + "：文件或文件夹不存在"},
                         {{}, untouched, ""}}) {
    const StartedEditor seen = StartEditor(c.Args);
    SCOPED_TRACE(c.Args.join(' ').toStdString());
    EXPECT_TRUE(seen.Visible);
    EXPECT_EQ(seen.Codes, c.Codes);
    EXPECT_EQ(seen.Boxes, c.Box.isEmpty() ? std::vector<QString>{} : std::vector<QString>{c.Box});
  }
}

}  // namespace
}  // namespace korvane
