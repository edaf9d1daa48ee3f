#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

#include <stdexcept>
#include <string>
#include <typeinfo>

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

}  // namespace korvane::test
