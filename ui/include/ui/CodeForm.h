#pragma once

#include <QDialog>

#include <array>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace korvane {

class CodeTable;

inline constexpr int kTypedCodeLimit = 126;

// Editor of the eight codes of one button. It keeps nothing between showings:
// each showing fills the boxes from the code table, "确定" stores them back.
class TFormCode : public QDialog {
  Q_OBJECT

 public:
  explicit TFormCode(QWidget* parent = nullptr);

  int ButtonNumber() const { return buttonNumber_; }
  void SetButtonNumber(int value) { buttonNumber_ = value; }

  // The table edited; by default the main window's.
  void SetCodeTable(CodeTable* table) { table_ = table; }

  void FormShow();
  void Button1Click();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Escape has no effect of its own.
  void reject() override {}

 private:
  QGroupBox* CreateGroup(const char* name, const QString& caption, int top, int firstLabel,
                         std::array<QLineEdit*, 4>& edits, const char* editPrefix);
  CodeTable& Table() const;
  // The code table slot (1-8) of each of the eight boxes, BWS1..4 then BUS1..4.
  QLineEdit* EditOfSlot(int slot) const;

  QPushButton* Button1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  std::array<QLabel*, 8> Labels{};  // Label1 .. Label8
  std::array<QLineEdit*, 4> BWS{};  // press codes 1-4
  std::array<QLineEdit*, 4> BUS{};  // release codes 1-4

  int buttonNumber_ = 0;
  CodeTable* table_ = nullptr;
};

extern TFormCode* FormCode;

}  // namespace korvane
