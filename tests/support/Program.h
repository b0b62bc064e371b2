// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <QtTest/QTest>
#include <csignal>
#include <exception>
#include <functional>
#include <vector>

#include "app/App.h"
#include "ui/Window1.h"

namespace quillotone::testing {

// The program started as main() starts it, with `options` and its messages
// to `sink` (the default one if null), short of the event loop, which the
// test turns itself.
inline void StartUp(App& app, const App::Options& options, MessageSink* sink = nullptr) {
  // As main() has it: a peer gone (a JACK server killed under a client that
  // a thread still closes) is a failed write, not the end of the process.
  std::signal(SIGPIPE, SIG_IGN);
  app.SetOptions(options);
  if (sink != nullptr) app.SetMessageSink(sink);
  std::vector<std::function<void()>> steps = app.StartupSteps();
  steps.pop_back();
  Main(steps, [](std::exception_ptr) { ADD_FAILURE() << "start-up failed"; });
}

// A click on the window's button `name` ("play", "stop"), as the user's.
inline void Click(App& app, const char* name) {
  QTest::mouseClick(app.window1().findChild<QPushButton*>(name), Qt::LeftButton);
}

}  // namespace quillotone::testing
