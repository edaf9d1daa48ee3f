#pragma once

#include <QApplication>
#include <QString>

#include <exception>
#include <functional>

namespace korvane {

// The application's default error report: a modal box with the error's text.
void ShowErrorReport(const QString& text);
// Replaces the report (tests); an empty function restores the message box.
void SetErrorReportHook(std::function<void(const QString& text)> hook);
// The text of the exception being handled (call inside a catch block).
QString CurrentExceptionText();

// Runs `handler`; an exception escaping it is reported and goes no further.
template <typename Handler>
void RunReported(Handler&& handler) {
  try {
    handler();
  } catch (...) {
    ShowErrorReport(CurrentExceptionText());
  }
}

// Catches what escapes an event handler where Qt dispatches the event, shows
// the default error report, and lets the program go on.
class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace korvane
