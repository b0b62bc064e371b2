// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QPushButton>
#include <QtTest/QTest>
#include <random>
#include <set>

#include "framework/threads/Thread.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/FakeWindow.h"
#include "support/PopupRows.h"
#include "support/QtPrinters.h"
#include "support/VirtualClock.h"
#include "ui/ChasingArrows.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::NoteEvent;
using testing::RunUntil;

// A recording note player that the window owns and finds by name.
class PlayerObject final : public QObject, public NotePlayer {
 public:
  PlayerObject(const QString& name, testing::RecordingNotePlayer recorder, QObject* parent)
      : QObject(parent), recorder_(std::move(recorder)) {
    setObjectName(name);
  }
  void PlayNote(int note, int velocity) override { recorder_.PlayNote(note, velocity); }
  [[nodiscard]] int Instrument() const override { return recorder_.Instrument(); }
  void SetInstrument(int instrument) override { recorder_.SetInstrument(instrument); }

 private:
  testing::RecordingNotePlayer recorder_;
};

// Remembers each message and whether start was enabled when it appeared.
class RecordingSink final : public MessageSink {
 public:
  void Show(const QString& text) override {
    shown.push_back(text);
    playEnabledWhenShown = window->findChild<QPushButton*>("play")->isEnabled();
  }
  QWidget* window = nullptr;
  std::vector<QString> shown;
  bool playEnabledWhenShown = false;
};

// The window with recording note players on a virtual clock.
class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QApplication>(); }

  WindowTest() {
    window = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler,
        .menuBar = *new MenuBar1(),
        .messages = sink,
        .makeNotePlayer = [this](int, const QString& name, QObject* parent) -> QObject* {
          return new PlayerObject(name, {name.toStdString(), scheduler, notes}, parent);
        },
        .makeRandom = [this] { return std::make_unique<Random>(seed); },
        .yield = [this] { OnYield(); },
        .afterStopSweep = {},
        .reportError = [this](std::exception_ptr) { ++errors; },
    });
    sink.window = window.get();
    window->show();
  }

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
  void ExpectControls(bool playing) const {
    EXPECT_EQ(Find<QPushButton>("play")->isEnabled(), !playing);
    EXPECT_EQ(Find<QPushButton>("stop")->isEnabled(), playing);
    EXPECT_EQ(Find<QComboBox>("PopupMenu1")->isEnabled(), !playing);
    EXPECT_EQ(Find<ChasingArrows>("ChasingArrows1")->isVisible(), playing);
    EXPECT_EQ(Find<ChasingArrows>("ChasingArrows1")->IsAnimating(), playing);
  }
  std::vector<std::string_view> RunningThreads() const {
    std::vector<std::string_view> running;
    for (const Mode& mode : kModes) {
      const QString name = QString::fromUtf8(mode.threadName.data(), mode.threadName.size());
      if (window->findChild<Thread*>(name)->IsRunning()) running.push_back(mode.threadName);
    }
    return running;
  }
  virtual void OnYield() { yields.push_back(notes.size()); }

  std::uint64_t seed = 17;
  testing::VirtualClock clock;
  Scheduler scheduler{clock};
  RecordingSink sink;
  std::vector<NoteEvent> notes;
  std::vector<std::size_t> yields;
  int errors = 0;
  std::unique_ptr<Window1> window;
};

TEST_F(WindowTest, OpensIdleWithItsMembersWhereTheyBelong) {
  EXPECT_EQ(window->windowTitle(), "Quillotone");
  EXPECT_EQ(window->centralWidget()->size(), QSize(300, 250));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
  EXPECT_FALSE(window->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                        Qt::WindowMaximizeButtonHint));
  const std::pair<const char*, QRect> places[] = {{"play", {115, 90, 70, 20}},
                                                  {"stop", {115, 190, 70, 20}},
                                                  {"ChasingArrows1", {133, 133, 34, 34}},
                                                  {"PopupMenu1", {65, 30, 170, 24}}};
  for (const auto& [name, geometry] : places) {
    ASSERT_NE(Find<QWidget>(name), nullptr) << name;
    EXPECT_EQ(Find<QWidget>(name)->geometry(), geometry) << name;
    EXPECT_EQ(Find<QWidget>(name)->font().pointSize(), 12) << name;
  }
  EXPECT_EQ(Find<QPushButton>("play")->text(), "start");
  EXPECT_EQ(Find<QPushButton>("stop")->text(), "stop");
  ExpectControls(false);
  auto* popup = Find<QComboBox>("PopupMenu1");
  QStringList rows;
  for (int i = 0; i < popup->count(); ++i) rows << popup->itemText(i);
  EXPECT_EQ(rows, QStringList({"dorian mode", "phrygian mode", "lydian mode", "mixolydian mode",
                               "aeolian mode", "ionian mode", "blues scale", "pentatonic scale"}));
  EXPECT_EQ(popup->currentIndex(), 0);
  for (const char* name : {"NotePlayer1", "NotePlayer2"})
    EXPECT_EQ(dynamic_cast<PlayerObject*>(Find<QObject>(name))->Instrument(), 1) << name;
  EXPECT_TRUE(RunningThreads().empty());
}

// Each row's ink inside the field the popup draws it in (its frame and arrow
// left out), at the QT_SCALE_FACTOR this runs with: CTest runs it at 1, 1.5, 2.
TEST_F(WindowTest, EveryPopupRowReadsInFull) {
  auto* popup = Find<QComboBox>("PopupMenu1");
  ASSERT_EQ(QFontInfo(popup->font()).family(), "DejaVu Sans") << "install fonts-dejavu-core";
  EXPECT_EQ(testing::RowsCutShort(*popup), QStringList());
}

// With no notification service, the box: beside the window, then gone by
// itself once the sound is back.
TEST_F(WindowTest, ANoticeBoxCoversNoControlAndGoesOnceTheSoundIsBack) {
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/dev/null/no-bus");
  MessageBoxSink boxes(window.get());
  boxes.Notice("lost");
  ASSERT_NE(boxes.notice(), nullptr);
  EXPECT_FALSE(boxes.notice()->frameGeometry().intersects(window->frameGeometry()));
  QTest::qWait(MessageBoxSink::kNoticeOverMs);
  EXPECT_TRUE(boxes.notice()->isVisible()) << "the loss is told until the sound is back";
  boxes.NoticeOver("back");
  EXPECT_TRUE(QTest::qWaitFor([&] { return boxes.notice() == nullptr; },
                              3 * MessageBoxSink::kNoticeOverMs));
}

TEST_F(WindowTest, EachRowPlaysItsOwnThreadAndStopSilencesEverythingThenThanks) {
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.popupText);
    Find<QComboBox>("PopupMenu1")->setCurrentIndex(mode.index);
    notes.clear();
    Click("play");
    ExpectControls(true);
    EXPECT_EQ(RunningThreads(), std::vector<std::string_view>{mode.threadName});
    EXPECT_TRUE(notes.empty()) << "the melody starts on a later turn, not inside the click";
    RunUntil(scheduler, clock, clock.Microseconds() + 60e6);
    std::set<int> mains;
    for (const NoteEvent& e : notes)
      if (e.player == "NotePlayer1" && e.velocity >= 40 && e.note >= 60) mains.insert(e.note);
    EXPECT_EQ(mains, std::set<int>(mode.pitches.begin(), mode.pitches.end()));

    notes.clear();
    yields.clear();
    clock.dropped.clear();
    Click("stop");
    ExpectControls(false);
    EXPECT_TRUE(RunningThreads().empty());
    EXPECT_EQ(clock.dropped.size(), 1u) << "what the thread scheduled ahead is dropped";
    // Both players, note by note from 1 to 127, a yield after each pair.
    ASSERT_EQ(notes.size(), 254u);
    for (int n = 1; n <= 127; ++n) {
      EXPECT_EQ(notes[2 * n - 2], (NoteEvent{clock.Microseconds(), "NotePlayer1", n, 0}));
      EXPECT_EQ(notes[2 * n - 1], (NoteEvent{clock.Microseconds(), "NotePlayer2", n, 0}));
      EXPECT_EQ(yields[n - 1], 2u * n);
    }
    RunUntil(scheduler, clock, clock.Microseconds() + 5e6);
    EXPECT_EQ(notes.size(), 254u) << "nothing sounds after stop";
  }
  ASSERT_EQ(sink.shown.size(), kModes.size());
  EXPECT_EQ(sink.shown[0],
            QString::fromUtf8(
                "Thanks for listening to this quillotone.\nIf you enjoyed it and would like to "
                "make a donation of 49p (\u00a30.49) then please visit\n"
                "www.quillotone.example/quillotoneweb/quillotonepayment.html\nThank you."));
  EXPECT_TRUE(sink.playEnabledWhenShown) << "the box appears with the controls already idle";
}

TEST_F(WindowTest, StartingAgainPlaysTheMelodyFromItsBeginning) {
  Click("play");
  RunUntil(scheduler, clock, 3e6);
  std::vector<NoteEvent> first = notes;
  Click("stop");
  notes.clear();
  const double restart = clock.Microseconds();
  Click("play");
  RunUntil(scheduler, clock, restart + 3e6);
  for (NoteEvent& e : first) e.micros += restart;
  EXPECT_EQ(notes, first);
}

// A yield inside stop's sweep that lets the user click, as a box opened by
// a yield would, and the desktop's media controls ask for stop and start.
class ClickDuringSweepTest : public WindowTest {
 protected:
  void OnYield() override {
    EXPECT_FALSE(Find<QPushButton>("stop")->isEnabled()) << "the controls are idle first";
    if (yields.size() == 10) {
      Click("play");
      window->Stop();
      window->Start();
    }
    WindowTest::OnYield();
  }
};

TEST_F(ClickDuringSweepTest, NoClickReachesTheWindowInsideTheSweepAndADesktopsStartFollowsIt) {
  Click("play");
  RunUntil(scheduler, clock, 1e6);
  Click("stop");
  EXPECT_TRUE(RunningThreads().empty());
  ExpectControls(false);
  EXPECT_EQ(sink.shown.size(), 1u);
  QCoreApplication::processEvents();
  EXPECT_EQ(RunningThreads().size(), 1u) << "the desktop's start, once the sweep is done";
  Click("stop");
  Click("play");
  EXPECT_EQ(RunningThreads().size(), 1u) << "after the sweep, clicks count again";
}

TEST_F(WindowTest, AFailingHandlerIsReportedAndTheWindowCarriesOn) {
  delete Find<QComboBox>("PopupMenu1");
  Click("play");
  EXPECT_EQ(errors, 1);
  EXPECT_TRUE(RunningThreads().empty());
}

TEST_F(WindowTest, ThousandsOfStartsAndStopsAtRandomTurnsLeaveNothingPlaying) {
  std::mt19937 draw(6);
  // Up to a few melody cycles (some 200 turns each), so that stop meets
  // every part of the melody: waits, yields, sweeps and the cycle's end.
  std::uniform_int_distribution<int> turns(0, 600);
  for (int pair = 1; pair <= 2000 && !HasFailure(); ++pair) {
    seed = draw();
    Find<QComboBox>("PopupMenu1")->setCurrentIndex(static_cast<int>(draw() % kModes.size()));
    Click("play");
    EXPECT_EQ(RunningThreads().size(), 1u) << pair;
    for (int turn = turns(draw); turn > 0; --turn) {
      if (!scheduler.RunReady() && scheduler.NextDeadline()) {
        // Part of the way to the next deadline, or all of it.
        const double now = clock.Microseconds();
        clock.Set(draw() % 4 == 0 ? (now + *scheduler.NextDeadline()) / 2
                                  : *scheduler.NextDeadline());
        scheduler.RunDue();
      }
    }
    clock.dropped.clear();
    Click("stop");
    notes.clear();
    EXPECT_TRUE(RunningThreads().empty()) << pair;
    EXPECT_EQ(clock.dropped.size(), 1u) << pair;
    RunUntil(scheduler, clock, clock.Microseconds() + 2e6);
    EXPECT_TRUE(notes.empty()) << pair << ": notes after stop";
    yields.clear();
  }
}

}  // namespace
}  // namespace quillotone
