#include "ui/CodeForm.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include <stdexcept>

#include "model/CodeTable.h"
#include "ui/FormStyle.h"
#include "ui/GbkText.h"
#include "ui/MainForm.h"

namespace korvane {

TFormCode* FormCode = nullptr;

namespace {

// Limits what the operator types or pastes to 126 characters without cutting
// text the dialog puts in: a candidate passes when it is no longer than the
// limit or than the text before the edit (so deleting from a long text works).
class TTypingLimitValidator : public QValidator {
 public:
  explicit TTypingLimitValidator(QLineEdit& edit) : QValidator(&edit) {
    QObject::connect(&edit, &QLineEdit::textChanged, this,
                     [this](const QString& text) { previousLength_ = text.size(); });
  }

  // Text put in by the dialog itself is never cut; it is accepted before the
  // edit reports the change.
  void AllowLength(qsizetype length) { previousLength_ = length; }

  State validate(QString& input, int&) const override {
    const qsizetype allowed = std::max<qsizetype>(kTypedCodeLimit, previousLength_);
    return input.size() <= allowed ? Acceptable : Invalid;
  }

 private:
  qsizetype previousLength_ = 0;
};

void SetTextUncut(QLineEdit& edit, const QString& text) {
  if (auto* limit =
          dynamic_cast<TTypingLimitValidator*>(const_cast<QValidator*>(edit.validator()))) {
    limit->AllowLength(text.size());
  }
  edit.setText(text);
}

const char* const kLabelTexts[] = {QT_TRANSLATE_NOOP("korvane::TFormCode", "代码1:"),
                                   QT_TRANSLATE_NOOP("korvane::TFormCode", "代码2:"),
                                   QT_TRANSLATE_NOOP("korvane::TFormCode", "代码3:"),
                                   QT_TRANSLATE_NOOP("korvane::TFormCode", "代码4:")};
const int kRowTops[] = {24, 48, 72, 96};
const int kLabelTops[] = {29, 52, 76, 100};

}  // namespace

TFormCode::TFormCode(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  // A tool window with a close button only: minimising the modal dialog
  // would leave the main window looking alive but deaf.
  setObjectName(QStringLiteral("FormCode"));
  ApplyFormStyle(*this);
  RecentreWhenFramed(*this);
  setFixedSize(345, 324);

  Button1 = new QPushButton(tr("确定"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(248, 288, 75, 25);
  // Neither default nor cancel button: Enter does nothing of its own.
  Button1->setAutoDefault(false);
  Button1->setDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  GroupBox1 = CreateGroup("GroupBox1", tr("接触发送码(只能填入16进制符串)"), 8, 0, BWS, "BWS");
  GroupBox2 = CreateGroup("GroupBox2", tr("松开发送码(只能填入16进制符串)"), 144, 4, BUS, "BUS");

  setTabOrder(Button1, BWS[0]);
  QWidget* previous = BWS[0];
  for (QLineEdit* edit : {BWS[1], BWS[2], BWS[3], BUS[0], BUS[1], BUS[2], BUS[3]}) {
    setTabOrder(previous, edit);
    previous = edit;
  }
}

QGroupBox* TFormCode::CreateGroup(const char* name, const QString& caption, int top, int firstLabel,
                                  std::array<QLineEdit*, 4>& edits, const char* editPrefix) {
  auto* group = new QGroupBox(caption, this);
  group->setObjectName(QString::fromLatin1(name));
  group->setGeometry(0, top, 345, 129);
  for (int row = 0; row < 4; ++row) {
    auto* label = new QLabel(tr(kLabelTexts[row]), group);
    label->setObjectName(QStringLiteral("Label%1").arg(firstLabel + row + 1));
    label->setGeometry(8, kLabelTops[row], 41, 13);
    label->setFixedSize(41, 13);
    Labels.at(static_cast<std::size_t>(firstLabel) + static_cast<std::size_t>(row)) = label;

    auto* edit = new QLineEdit(group);
    edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(editPrefix)).arg(row + 1));
    edit->setGeometry(64, kRowTops[row], 265, 21);
    edit->setValidator(new TTypingLimitValidator(*edit));
    edits.at(static_cast<std::size_t>(row)) = edit;
  }
  return group;
}

CodeTable& TFormCode::Table() const {
  if (table_ != nullptr) {
    return *table_;
  }
  if (FormMain == nullptr) {
    throw std::logic_error("The code editor has no code table");
  }
  return FormMain->Codes();
}

QLineEdit* TFormCode::EditOfSlot(int slot) const {
  const auto index = static_cast<std::size_t>(CodeNumberInGroup(slot) - 1);
  return IsDownSlot(slot) ? BWS.at(index) : BUS.at(index);
}

void TFormCode::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

void TFormCode::FormShow() {
  CentreOnScreen(*this);
  const ButtonCodes& codes = Table().Button(buttonNumber_);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    SetTextUncut(*EditOfSlot(slot),
                 GbkToQString(codes.Slots.at(static_cast<std::size_t>(slot - 1))));
  }
  BWS[0]->setFocus();
}

void TFormCode::Button1Click() {
  ButtonCodes& codes = Table().Button(buttonNumber_);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    codes.Slots.at(static_cast<std::size_t>(slot - 1)) = QStringToGbk(EditOfSlot(slot)->text());
  }
  done(Accepted);
}

void TFormCode::closeEvent(QCloseEvent* event) {
  // The title bar's close button ends the showing without storing anything.
  event->accept();
  QDialog::done(Rejected);
}

}  // namespace korvane
