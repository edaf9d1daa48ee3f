#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTranslator>

#include <stdexcept>
#include <string>
#include <typeinfo>

#include "ui/Language.h"
#include "ui/UiSeams.h"

namespace korvane::test {

// The window's child object called `name`, as the type the test expects. A
// missing or differently typed child fails the test where it is asked for.
template <class W>
W& Widget(const QObject& window, const char* name) {
  QObject* found = window.findChild<QObject*>(QString::fromLatin1(name));
  if (auto* widget = dynamic_cast<W*>(found)) {
    return *widget;
  }
  const std::string problem = std::string(found ? "wrong type of " : "no child named ") + name +
                              " (" + typeid(W).name() + ")";
  ADD_FAILURE() << problem;  // also when the exception is caught and reported by the window
  throw std::logic_error(problem);
}

// Back to the editor's Chinese without translators, as at start.
inline void RemoveTranslations() {
  for (QTranslator* translator : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(translator);
    delete translator;
  }
  SetEditorLanguage(Language::Chinese);
}

// A port that stays closed, for windows whose tests never use it.
class TIdlePort : public ISerialPort {
 public:
  bool PortOpen() const override { return false; }
  void SetOutput(const std::string&) override {}
  bool SendData(const char*, std::uint16_t) override { return false; }
  void SetCommName(const std::string&) override {}
  void OpenPort() override {}
  void ClosePort() override {}
  void SetReceiveHandler(ReceiveHandler) override {}
};

}  // namespace korvane::test
