#include "ui/MainForm.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

#include "device/ConfigImage.h"
#include "device/ImageFolder.h"
#include "model/BaudRates.h"
#include "ui/CodeForm.h"
#include "ui/DeviceTexts.h"
#include "ui/ErrorReport.h"
#include "ui/FormStyle.h"
#include "ui/Led.h"

namespace korvane {

std::string ConfigFilePath;
TFormMain* FormMain = nullptr;

namespace {

constexpr int kFileDialogWidth = 720;

// The port state is held in this button's caption, in the chosen language.
QString OpenCaption() {
  return TFormMain::tr("打开串口");
}
QString CloseCaption() {
  return TFormMain::tr("关闭串口");
}

// The status bar's blank panel; it reports its rectangle, in status bar
// coordinates, each time it is painted.
class TStatusPanel : public QWidget {
 public:
  TStatusPanel(QWidget* parent, std::function<void(const QRect&)> onDraw)
      : QWidget(parent), onDraw_(std::move(onDraw)) {
    setFixedWidth(50);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    const QPoint origin = parentWidget() ? mapTo(parentWidget(), QPoint(0, 0)) : pos();
    RunReported([&] { onDraw_(QRect(origin, size())); });
  }

 private:
  std::function<void(const QRect&)> onDraw_;
};

// Message boxes and the progress bar of device operations, on the main window.
// The bar is the status bar's child; it goes with the status bar when the
// window does, which the guarded pointer notices.
class TQtOperator : public IOperator {
 public:
  TQtOperator(TFormMain& form, QStatusBar& host) : form_(form), host_(host) {}

  void ShowMessage(const TDeviceText& text, TextId caption) override {
    form_.MessageBoxes().Show(DeviceText(text), UiText(caption));
  }
  bool Confirm(const TDeviceText& text, TextId caption) override {
    return form_.MessageBoxes().Confirm(DeviceText(text), UiText(caption));
  }
  void CreateProgress(int minimum, int maximum, int step) override {
    DestroyProgress();
    const TPanelRect& rect = form_.PanelRect();
    bar_ = new QProgressBar(&host_);
    bar_->setObjectName(QStringLiteral("ProgressBar"));
    bar_->setGeometry(rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top);
    bar_->setTextVisible(false);
    bar_->setRange(minimum, maximum);
    bar_->setValue(minimum);
    bar_->show();
    step_ = step;
  }
  void StepProgress() override {
    if (bar_) {
      bar_->setValue(std::min(bar_->value() + step_, bar_->maximum()));
    }
  }
  void DestroyProgress() override { delete bar_.data(); }

 private:
  TFormMain& form_;
  QStatusBar& host_;
  QPointer<QProgressBar> bar_;
  int step_ = 1;
};

// The port list; reports when its popup has closed, so that a scan that came
// in meanwhile can be shown then.
class TPortComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;

  std::function<void()> OnPopupHidden;

  void hidePopup() override {
    QComboBox::hidePopup();
    if (OnPopupHidden) {
      OnPopupHidden();
    }
  }
};

bool ShowsPorts(const QComboBox& list, const std::vector<PortListEntry>& ports) {
  if (list.count() != static_cast<int>(ports.size())) {
    return false;
  }
  for (int i = 0; i < list.count(); ++i) {
    if (list.itemText(i) != QString::fromStdString(ports[static_cast<std::size_t>(i)].Name)) {
      return false;
    }
  }
  return true;
}

// The entry to select after the list was rebuilt. The name shown must stay
// the port that is open, since "写入" and the open/close button act on it:
// the first entry of that name while it is listed, the old position only once
// it is gone (nothing when that lies beyond the end).
int RestoredPortIndex(const QComboBox& list, int rememberedIndex, const QString& rememberedName) {
  if (rememberedIndex >= 0) {
    const int byName = list.findText(rememberedName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (byName >= 0) {
      return byName;
    }
  }
  return rememberedIndex < list.count() ? rememberedIndex : -1;
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& bounds) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(bounds);
  button->setAutoDefault(false);
  return button;
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption, const QRect& bounds) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(bounds);
  return label;
}

void FitFileColumns(QFileDialog& dialog) {
  dialog.resize(std::max(dialog.width(), kFileDialogWidth), dialog.height());
  if (auto* details = dialog.findChild<QTreeView*>()) {
    QHeaderView* header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
  }
}

}  // namespace

int CaptionRoom(const QString& caption) {
  // The title bar's font is the window manager's, often bold and larger than
  // the application's; its buttons and margins take the rest.
  QFont titleFont = QApplication::font();
  titleFont.setBold(true);
  return QFontMetrics(titleFont).horizontalAdvance(caption) * 5 / 4 + kTitleBarButtonsRoom;
}

std::unique_ptr<QMessageBox> NewMessageBox(const QString& text, const QString& caption,
                                           QMessageBox::StandardButtons buttons) {
  auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, caption, text, buttons,
                                           QApplication::activeWindow());
  // Without an icon the caption is the only sign of success or warning: the
  // box is made wide enough for it to show whole.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    grid->addItem(new QSpacerItem(CaptionRoom(caption), 0, QSizePolicy::Minimum), grid->rowCount(),
                  0, 1, grid->columnCount());
  }
  return box;
}

TMessageBoxes QtMessageBoxes() {
  TMessageBoxes boxes;
  boxes.Show = [](const QString& text, const QString& caption) {
    NewMessageBox(text, caption, QMessageBox::Ok)->exec();
  };
  boxes.Confirm = [](const QString& text, const QString& caption) {
    return NewMessageBox(text, caption, QMessageBox::Ok | QMessageBox::Cancel)->exec() ==
           QMessageBox::Ok;
  };
  return boxes;
}

TFormMain::TFormMain(TFormMainServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      comm_(std::move(services.Comm)),
      loop_(services.Loop),
      listPorts_(std::move(services.ListPorts)),
      boxes_(std::move(services.Boxes)),
      chooseFile_(std::move(services.ChooseFile)),
      operations_(std::move(services.Operations)) {
  const TMessageBoxes qtBoxes = QtMessageBoxes();
  if (!boxes_.Show) {
    boxes_.Show = qtBoxes.Show;
  }
  if (!boxes_.Confirm) {
    boxes_.Confirm = qtBoxes.Confirm;
  }
  if (!chooseFile_) {
    chooseFile_ = [this](TFileDialogKind kind) { return ChooseFileWithDialog(kind); };
  }
  if (!listPorts_) {
    listPorts_ = [] { return std::vector<PortListEntry>{}; };
  }
  UseOwnOperationsWhereNoneGiven();
  FormMain = this;
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(tr("KORVANE发送码编辑器"));
  ApplyFormStyle(*this);
  RecentreWhenFramed(*this);
  setFixedSize(288, 408);
  CreateControls();
  operator_ = std::make_unique<TQtOperator>(*this, *StatusBar1);
  if (loop_ != nullptr) {
    device_ =
        std::make_unique<DeviceContext>(*comm_, *loop_, responseLog_, *operator_, ConfigFilePath);
  }
  ConnectHandlers();
  RunReported([this] { FormCreate(); });
  Timer1->start();
}

TFormMain::~TFormMain() {
  Timer1->stop();
  comm_->SetReceiveHandler({});
  comm_->ClosePort();
  if (FormCode == ownCodeForm_.get()) {
    FormCode = nullptr;
  }
  if (FormMain == this) {
    FormMain = nullptr;
  }
}

IOperator& TFormMain::Operator() {
  return *operator_;
}

void TFormMain::CreateControls() {
  CreatePortControls();
  CreateIoButtons();
  CreateCommandButtons();
  CreateStatusBar();
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  SetTabOrder();
}

void TFormMain::CreatePortControls() {
  Label1 = NewLabel(this, "Label1", tr("串口号："), {13, 19, 48, 13});
  auto* portList = new TPortComboBox(this);
  // Applied once the popup has gone, after the pick that closed it.
  portList->OnPopupHidden = [this] {
    QTimer::singleShot(0, this, [this] { RunReported([this] { ApplyPendingPortList(); }); });
  };
  ComboBox1 = portList;
  ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
  ComboBox1->setGeometry(64, 16, 89, 21);
  ComboBox1->setEditable(false);

  LED = new TiLedRound(this);
  LED->setObjectName(QStringLiteral("LED"));
  LED->setFocusPolicy(Qt::NoFocus);
  LED->SetLoading(true);  // the stored description only moves it
  LED->SetBounds(168, 16, 20, 20);
  LED->SetLoading(false);

  BitBtn1 = NewButton(this, "BitBtn1", OpenCaption(), {200, 12, 57, 25});
  Label2 = NewLabel(this, "Label2", tr("控制通讯波特率："), {13, 52, 105, 13});
  Label2->setFixedSize(105, 13);
  ComboBox2 = new QComboBox(this);
  ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
  ComboBox2->setGeometry(125, 48, 121, 21);
  ComboBox2->setEditable(true);
  ComboBox2->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string_view rate : kBaudRates) {
    ComboBox2->addItem(QString::fromLatin1(rate.data(), static_cast<qsizetype>(rate.size())));
  }
  ComboBox2->setCurrentIndex(1);
}

void TFormMain::CreateIoButtons() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(0, 80, 283, 209);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  const QFont ioFont = FormFont(19, true);
  BitBtn2 = NewButton(Panel1, "BitBtn2", QStringLiteral("IO1"), {24, 16, 116, 79});
  BitBtn3 = NewButton(Panel1, "BitBtn3", QStringLiteral("IO2"), {144, 16, 116, 79});
  BitBtn4 = NewButton(Panel1, "BitBtn4", QStringLiteral("IO3"), {24, 104, 116, 79});
  BitBtn5 = NewButton(Panel1, "BitBtn5", QStringLiteral("IO4"), {144, 104, 116, 79});
  for (QPushButton* button : {BitBtn2, BitBtn3, BitBtn4, BitBtn5}) {
    button->setFont(ioFont);
  }
}

void TFormMain::CreateCommandButtons() {
  Button4 = NewButton(this, "Button4", tr("打开"), {40, 312, 49, 25});
  Button5 = NewButton(this, "Button5", tr("保存"), {96, 312, 49, 25});
  Button3 = NewButton(this, "Button3", tr("读取"), {152, 312, 49, 25});
  Button1 = NewButton(this, "Button1", tr("写入"), {208, 312, 49, 25});
  Button2 = NewButton(this, "Button2", tr("退出"), {200, 352, 75, 25});
}

void TFormMain::CreateStatusBar() {
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setGeometry(0, 389, 288, 19);
  auto* panel =
      new TStatusPanel(StatusBar1, [this](const QRect& rect) { StatusBar1DrawPanel(rect); });
  panel->setObjectName(QStringLiteral("StatusPanel"));
  StatusBar1->addWidget(panel);
}

void TFormMain::SetTabOrder() {
  const QWidget* order[] = {BitBtn2, BitBtn3, BitBtn4,   BitBtn5, BitBtn1, ComboBox1,
                            Button1, Button2, ComboBox2, Button3, Button4, Button5};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    setTabOrder(const_cast<QWidget*>(order[i - 1]), const_cast<QWidget*>(order[i]));
  }
}

void TFormMain::ConnectHandlers() {
  const auto bind = [this](QPushButton* button, void (TFormMain::*handler)()) {
    connect(button, &QPushButton::clicked, this,
            [this, handler] { RunReported([&] { (this->*handler)(); }); });
  };
  bind(BitBtn1, &TFormMain::BitBtn1Click);
  bind(BitBtn2, &TFormMain::BitBtn2Click);
  bind(BitBtn3, &TFormMain::BitBtn3Click);
  bind(BitBtn4, &TFormMain::BitBtn4Click);
  bind(BitBtn5, &TFormMain::BitBtn5Click);
  bind(Button1, &TFormMain::Button1Click);
  bind(Button2, &TFormMain::Button2Click);
  bind(Button3, &TFormMain::Button3Click);
  bind(Button4, &TFormMain::Button4Click);
  bind(Button5, &TFormMain::Button5Click);
  connect(ComboBox1, &QComboBox::activated, this, [this](int index) {
    const bool changed = index != shownPortIndex_;
    shownPortIndex_ = index;
    if (changed) {
      RunReported([this] { ComboBox1Change(); });
    }
  });
  connect(Timer1, &QTimer::timeout, this, [this] { RunReported([this] { Timer1Timer(); }); });
  comm_->SetReceiveHandler(
      [this](const char* buffer, std::uint16_t length) { Comm1ReceiveData(buffer, length); });
}

void TFormMain::FormCreate() {
  ConfigFilePath = ConfigFilePathIn(ImageDirectory());
  FillPortList();
  if (ComboBox1->count() > 0) {
    ComboBox1->setCurrentIndex(0);
  }
  shownPortIndex_ = ComboBox1->currentIndex();
  portSelectable_ = !ComboBox1->currentText().isEmpty();
  ApplyEnabledState();
  if (portSelectable_) {
    RunReported([this] { BitBtn1Click(); });
  }
  codes_.Clear();
}

void TFormMain::FillPortList() {
  const std::vector<PortListEntry> ports = listPorts_();
  ComboBox1->clear();
  for (const PortListEntry& port : ports) {
    ComboBox1->addItem(QString::fromStdString(port.Name));
  }
}

void TFormMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RunReported([this] { FormShow(); });
}

void TFormMain::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!iconShown_) {
    // Drawing the icon's SVG at the sizes the title bar and task bar want
    // takes longer than the window's first frame: it follows that frame.
    iconShown_ = true;
    QTimer::singleShot(0, this, [this] {
      const QIcon icon = ProductIcon();
      QApplication::setWindowIcon(icon);
      setWindowIcon(icon);
    });
  }
}

void TFormMain::FormShow() {
  CentreOnScreen(*this);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    // Stopping a write midway would leave the device partly written without
    // a word: the operation runs to its end and shows its result, then the
    // window closes.
    closeDeferred_ = true;
    event->ignore();
    return;
  }
  RunReported([this] { FormClose(); });
  event->accept();
}

void TFormMain::FormClose() {
  comm_->ClosePort();
}

void TFormMain::BitBtn1Click() {
  comm_->SetCommName("//./" + ComboBox1->currentText().toStdString());
  if (BitBtn1->text() == OpenCaption()) {
    comm_->OpenPort();
    if (comm_->PortOpen()) {
      BitBtn1->setText(CloseCaption());
      LED->SetActive(true);
    } else {
      boxes_.Show(UiText(TextId::kPortUnavailable), UiText(TextId::kCaptionWarning));
    }
  } else if (BitBtn1->text() == CloseCaption()) {
    comm_->ClosePort();
    BitBtn1->setText(OpenCaption());
    LED->SetActive(false);
  }
}

void TFormMain::ComboBox1Change() {
  comm_->ClosePort();
  LED->SetActive(false);
  BitBtn1->setText(OpenCaption());
}

void TFormMain::Timer1Timer() {
  ShowPortList(listPorts_());
}

void TFormMain::ShowPortList(const std::vector<PortListEntry>& ports) {
  const bool same = ShowsPorts(*ComboBox1, ports);
  if (!same && ComboBox1->view()->isVisible()) {
    // Rebuilding under the open popup would lose the operator's highlight.
    pendingPorts_ = ports;
    return;
  }
  pendingPorts_.reset();
  if (!same) {
    // An unchanged list is left alone: no rebuild, no redraw.
    const int rememberedIndex = ComboBox1->currentIndex();
    const QString rememberedName = ComboBox1->currentText();
    ComboBox1->clear();
    for (const PortListEntry& port : ports) {
      ComboBox1->addItem(QString::fromStdString(port.Name));
    }
    ComboBox1->setCurrentIndex(RestoredPortIndex(*ComboBox1, rememberedIndex, rememberedName));
  }
  shownPortIndex_ = ComboBox1->currentIndex();
  portSelectable_ = !ComboBox1->currentText().isEmpty();
  ApplyEnabledState();
}

void TFormMain::ApplyPendingPortList() {
  if (pendingPorts_) {
    const std::vector<PortListEntry> ports = std::move(*pendingPorts_);
    ShowPortList(ports);
  }
}

void TFormMain::StatusBar1DrawPanel(const QRect& rect) {
  panelRect_ = {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void TFormMain::OpenCodeEditor(int button) {
  TFormCode* dialog = FormCode;
  if (dialog == nullptr) {
    ownCodeForm_ = std::make_unique<TFormCode>();
    dialog = ownCodeForm_.get();
    FormCode = dialog;
  }
  dialog->setWindowTitle(tr("IO%1发送码编辑").arg(button));
  dialog->SetButtonNumber(button);
  dialog->exec();
}

void TFormMain::Button2Click() {
  close();
}

void TFormMain::Comm1ReceiveData(const char* buffer, std::uint16_t length) {
  responseLog_.Append(buffer, length);
}

int TFormMain::BaudIndex() const {
  // Text typed into the list counts when it names one of its entries.
  const int index = ComboBox2->currentIndex();
  if (index >= 0 && ComboBox2->itemText(index) == ComboBox2->currentText()) {
    return index;
  }
  return ComboBox2->findText(ComboBox2->currentText());
}

void TFormMain::SetBaudIndex(int index) {
  ComboBox2->setCurrentIndex(index >= 0 && index < ComboBox2->count() ? index : -1);
}

void TFormMain::RunOperation(QPushButton* starter, const std::function<void()>& operation) {
  if (Busy()) {
    return;
  }
  focusAfterBusy_ = starter;
  TBusyGuard guard(*this);
  operation();
}

TFormMain::TBusyGuard::TBusyGuard(TFormMain& form) : form_(form) {
  if (form_.busyDepth_++ == 0) {
    form_.setCursor(Qt::BusyCursor);
  }
  form_.ApplyEnabledState();
}

TFormMain::TBusyGuard::~TBusyGuard() {
  form_.LeaveBusy();
}

void TFormMain::LeaveBusy() {
  if (--busyDepth_ > 0) {
    return;
  }
  unsetCursor();
  ApplyEnabledState();
  if (focusAfterBusy_ != nullptr) {
    focusAfterBusy_->setFocus(Qt::OtherFocusReason);
    focusAfterBusy_ = nullptr;
  }
  if (closeDeferred_) {
    closeDeferred_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
}

void TFormMain::ApplyEnabledState() {
  const bool idle = !Busy();
  BitBtn1->setEnabled(idle && portSelectable_);
  // The baud index goes into the image and comes back from the device: it
  // must not change while an operation runs.
  for (QWidget* control :
       std::initializer_list<QWidget*>{ComboBox1, ComboBox2, Button1, Button3, Button4, Button5,
                                       BitBtn2, BitBtn3, BitBtn4, BitBtn5}) {
    control->setEnabled(idle);
  }
}

QString TFormMain::ChooseFile(TFileDialogKind kind) {
  return chooseFile_(kind);
}

QString TFormMain::ChooseFileWithDialog(TFileDialogKind kind) {
  const bool save = kind == TFileDialogKind::Save;
  QString& lastName = save ? lastSaveName_ : lastOpenName_;
  QFileDialog dialog(QApplication::activeWindow());
  dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);  // no existence check, as for saving
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(QStringLiteral("IOS"));
  dialog.setNameFilter(QStringLiteral("*.IOS"));
  if (!lastName.isEmpty()) {
    dialog.selectFile(lastName);
  }
  // The platform's own dialog where there is one; Qt's otherwise, in the
  // chosen language and wide enough for its size, type and date columns.
  FitFileColumns(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return {};
  }
  lastName = dialog.selectedFiles().constFirst();
  return lastName;
}

}  // namespace korvane
