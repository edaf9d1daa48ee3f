#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "model/CodeTable.h"
#include "tests/ui/FormWidgets.h"
#include "ui/CodeForm.h"
#include "ui/GbkText.h"

namespace korvane {
namespace {

using test::Widget;

void TypeText(QWidget& widget, const QString& text) {
  for (const QChar ch : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(&widget, &press);
  }
}

// "B3S5": button 3, slot 5. Appended piece by piece: a literal put in front of
// a temporary string trips GCC 12's -Wrestrict in optimised builds.
std::string SlotLabel(int button, std::size_t slot) {
  std::string label = "B";
  label += std::to_string(button);
  label += 'S';
  label += std::to_string(slot);
  return label;
}

std::vector<std::string> AllTexts(const CodeTable& table) {
  std::vector<std::string> texts;
  for (int button = 1; button <= kButtonCount; ++button) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      texts.push_back(table.Text(button, slot));
    }
  }
  return texts;
}

class CodeFormTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int button = 1; button <= kButtonCount; ++button) {
      for (int slot = 1; slot <= kSlotCount; ++slot) {
        table.SetText(button, slot, SlotLabel(button, static_cast<std::size_t>(slot)));
      }
    }
    form.SetCodeTable(&table);
  }

  void ShowFor(int button) {
    form.SetButtonNumber(button);
    form.show();
  }

  // The press (BWS1-4) and release (BUS1-4) code boxes, numbered from 1.
  QLineEdit& Down(int n) const { return Edit("BWS", n); }
  QLineEdit& Up(int n) const { return Edit("BUS", n); }
  QPushButton& Ok() const { return Widget<QPushButton>(form, "Button1"); }

  CodeTable table;
  TFormCode form;

 private:
  QLineEdit& Edit(const char* prefix, int n) const {
    return Widget<QLineEdit>(form, (prefix + std::to_string(n)).c_str());
  }
};

TEST_F(CodeFormTest, ShowsAndStoresTheEightCodesOfItsButton) {
  ShowFor(3);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(Down(n).text().toStdString(), SlotLabel(3, static_cast<std::size_t>(n)));
    EXPECT_EQ(Up(n).text().toStdString(), SlotLabel(3, static_cast<std::size_t>(n) + 4));
  }
  const CodeTable before = table;
  Down(2).setText(QStringLiteral(" 0a zz "));
  Up(4).clear();
  Ok().click();

  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(table.Button(3).DownSend(2), " 0a zz ");
  EXPECT_EQ(table.Button(3).UpSend(4), "");
  EXPECT_EQ(table.Button(3).UpSend(1), "B3S5");
  for (int button : {1, 2, 4}) {
    EXPECT_EQ(table.Button(button).Slots, before.Button(button).Slots) << "button " << button;
  }
}

TEST_F(CodeFormTest, ClosingByTheTitleBarStoresNothing) {
  ShowFor(2);
  const CodeTable before = table;
  Down(1).setText(QStringLiteral("FFFF"));
  form.close();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_EQ(AllTexts(table), AllTexts(before));

  ShowFor(2);  // shown again as it was
  EXPECT_EQ(Down(1).text(), QStringLiteral("B2S1"));
}

TEST_F(CodeFormTest, EnterAndEscapeDoNothing) {
  ShowFor(1);
  const CodeTable before = table;
  Down(1).setText(QStringLiteral("12"));
  QTest::keyClick(&Down(1), Qt::Key_Return);
  QTest::keyClick(&Down(1), Qt::Key_Escape);
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(AllTexts(table), AllTexts(before));
  form.close();
}

TEST_F(CodeFormTest, TypingAndPastingStopAt126ButLoadedTextStaysWhole) {
  const std::string longCode(200, 'A');
  table.SetText(1, 1, longCode);
  table.SetText(1, 2, "");
  ShowFor(1);
  QLineEdit& loaded = Down(1);
  QLineEdit& empty = Down(2);
  EXPECT_EQ(loaded.text().size(), 200);

  loaded.setFocus();
  loaded.end(false);
  TypeText(loaded, QStringLiteral("B"));
  EXPECT_EQ(loaded.text().size(), 200);
  QTest::keyClick(&loaded, Qt::Key_Backspace);
  EXPECT_EQ(loaded.text().size(), 199);

  TypeText(empty, QString(130, QLatin1Char('C')));
  EXPECT_EQ(empty.text().size(), 126);
  Down(3).clear();
  Down(3).insert(QString(127, QLatin1Char('D')));  // what a paste does
  EXPECT_TRUE(Down(3).text().isEmpty());
  Down(3).insert(QString(126, QLatin1Char('D')));
  EXPECT_EQ(Down(3).text().size(), 126);

  Ok().click();
  EXPECT_EQ(table.Text(1, 1), std::string(199, 'A'));
  EXPECT_EQ(table.Text(1, 2), std::string(126, 'C'));
}

TEST_F(CodeFormTest, TextsCrossAsGbkBytes) {
  table.SetText(4, 1, "\xC7\xEB\xC7\xF3");  // 请求
  table.SetText(4, 2, "\xFF\x41");          // not GBK: must not crash
  ShowFor(4);
  EXPECT_EQ(Down(1).text(), QStringLiteral("请求"));
  EXPECT_TRUE(Down(2).text().endsWith(QLatin1Char('A')));
  Up(1).clear();
  TypeText(Up(1), QStringLiteral("编程"));
  Ok().click();
  EXPECT_EQ(table.Text(4, 5), "\xB1\xE0\xB3\xCC");
  EXPECT_EQ(table.Text(4, 1), "\xC7\xEB\xC7\xF3");
  EXPECT_EQ(QStringToGbk(QStringLiteral("a€b")),
            "a\x80"
            "b");  // euro is GBK 0x80
  EXPECT_EQ(QStringToGbk(QStringLiteral("a😀b")), "a?b");
  EXPECT_EQ(GbkToQString(std::string("\x41\x00\x42", 3)).size(), 3);
}

TEST_F(CodeFormTest, LayoutCaptionsAndTabOrder) {
  EXPECT_EQ(form.size(), QSize(345, 324));
  EXPECT_EQ(Widget<QGroupBox>(form, "GroupBox1").title(),
            QStringLiteral("接触发送码(只能填入16进制符串)"));
  EXPECT_EQ(Widget<QGroupBox>(form, "GroupBox2").title(),
            QStringLiteral("松开发送码(只能填入16进制符串)"));
  EXPECT_EQ(Widget<QGroupBox>(form, "GroupBox2").geometry(), QRect(0, 144, 345, 129));
  EXPECT_EQ(Widget<QLabel>(form, "Label7").text(), QStringLiteral("代码3:"));
  EXPECT_EQ(Widget<QLabel>(form, "Label7").geometry(), QRect(8, 76, 41, 13));
  EXPECT_EQ(Up(4).geometry(), QRect(64, 96, 265, 21));
  EXPECT_EQ(Ok().text(), QStringLiteral("确定"));
  EXPECT_EQ(Ok().geometry(), QRect(248, 288, 75, 25));
  // A tool window with a close button only: it cannot be minimised or maximised.
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

  const std::vector<QWidget*> expected = {&Ok(),  &Down(1), &Down(2), &Down(3), &Down(4),
                                          &Up(1), &Up(2),   &Up(3),   &Up(4)};
  QWidget* widget = &Ok();
  for (std::size_t i = 1; i < expected.size(); ++i) {
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus));
    EXPECT_EQ(widget, expected[i]) << "tab stop " << i;
  }
}

}  // namespace
}  // namespace korvane
