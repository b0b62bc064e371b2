#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <array>
#include <random>
#include <set>

#include "framework/Thread.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
#include "support/FlatMemory.h"
#include "support/RecordingPlayerObject.h"
#include "support/VirtualClock.h"
#include "ui/ChasingArrows.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Texts.h"
#include "ui/Window1.h"

namespace quillotone {
namespace {

using testing::NoteEvent;
using testing::RecordingPlayerObject;
using testing::RunUntil;
using testing::VirtualClock;

const std::vector<std::string_view> kThreadNames = {"dorian1",     "phrygian1",  "lydian1",
                                                    "mixolydian1", "aeolian1",   "ionian1",
                                                    "blues1",      "pentatonic1"};

// Remembers each message and what the buttons showed when it appeared.
class RecordingSink final : public MessageSink {
 public:
  struct Shown {
    QString text;
    bool playEnabled;
    bool stopEnabled;
  };
  void Show(const QString& text) override {
    shown.push_back({text, window->findChild<QPushButton*>("play")->isEnabled(),
                     window->findChild<QPushButton*>("stop")->isEnabled()});
  }
  QWidget* window = nullptr;
  std::vector<Shown> shown;
};

class WindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QApplication>(); }

  WindowTest() {
    window = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler,
        .menuBar = *new MenuBar1(),
        .messages = sink,
        .makeNotePlayer = [this](int, const QString& name, QObject* parent) -> QObject* {
          return new RecordingPlayerObject(name, scheduler, notes, parent);
        },
        .makeRandom = [] { return std::make_unique<Random>(17); },
        .yield = [this] { yields.push_back(notes.size()); },
        .afterStopSweep = {},
    });
    sink.window = window.get();
    window->show();
  }

  template <typename T>
  T* Find(const char* name) const {
    return window->findChild<T*>(QString::fromLatin1(name));
  }
  static constexpr bool kPlaying = true;
  // The controls in the playing state, or all the other way round when idle.
  void ExpectControls(bool playing) const {
    EXPECT_EQ(Find<QPushButton>("play")->isEnabled(), !playing);
    EXPECT_EQ(Find<QPushButton>("stop")->isEnabled(), playing);
    EXPECT_EQ(Find<QComboBox>("PopupMenu1")->isEnabled(), !playing);
    EXPECT_EQ(Find<ChasingArrows>("ChasingArrows1")->isVisible(), playing);
    EXPECT_EQ(Find<ChasingArrows>("ChasingArrows1")->IsAnimating(), playing);
  }
  void Click(const char* name) { QTest::mouseClick(Find<QPushButton>(name), Qt::LeftButton); }
  std::vector<std::string> RunningThreads() const {
    std::vector<std::string> running;
    for (std::string_view name : kThreadNames) {
      if (window->findChild<Thread*>(QString::fromUtf8(name.data(), name.size()))->IsRunning())
        running.emplace_back(name);
    }
    return running;
  }

  VirtualClock clock;
  Scheduler scheduler{clock};
  RecordingSink sink;
  std::vector<NoteEvent> notes;
  std::vector<std::size_t> yields;
  std::unique_ptr<Window1> window;
};

TEST_F(WindowTest, OpensIdleWithItsMembersWhereTheyBelong) {
  EXPECT_EQ(window->windowTitle(), "Quillotone");
  EXPECT_EQ(window->centralWidget()->size(), QSize(300, 250));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user cannot resize it";
  const Qt::WindowFlags flags = window->windowFlags();
  EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags & Qt::WindowTitleHint);

  auto* play = Find<QPushButton>("play");
  auto* stop = Find<QPushButton>("stop");
  auto* popup = Find<QComboBox>("PopupMenu1");
  auto* arrows = Find<ChasingArrows>("ChasingArrows1");
  ASSERT_TRUE(play && stop && popup && arrows);
  EXPECT_EQ(play->geometry(), QRect(115, 90, 70, 20));
  EXPECT_EQ(stop->geometry(), QRect(115, 190, 70, 20));
  EXPECT_EQ(arrows->geometry(), QRect(133, 133, 34, 34));
  EXPECT_EQ(popup->geometry(), QRect(75, 30, 150, 20));
  for (QWidget* w : std::initializer_list<QWidget*>{play, stop, popup, arrows}) {
    EXPECT_EQ(w->x() + w->width() / 2, 150)
        << w->objectName().toStdString() << " off the centre line";
    EXPECT_EQ(w->parentWidget(), window->centralWidget());
  }
  for (QWidget* w : std::initializer_list<QWidget*>{play, stop, popup})
    EXPECT_EQ(w->font().pointSize(), 12);

  EXPECT_EQ(play->text(), "start");
  EXPECT_EQ(stop->text(), "stop");
  EXPECT_TRUE(play->isEnabled());
  EXPECT_FALSE(stop->isEnabled());
  EXPECT_TRUE(popup->isEnabled());
  EXPECT_FALSE(arrows->isVisible());
  EXPECT_FALSE(arrows->IsAnimating());

  QStringList rows;
  for (int i = 0; i < popup->count(); ++i) rows << popup->itemText(i);
  EXPECT_EQ(rows, QStringList({"dorian mode", "phrygian mode", "lydian mode", "mixolydian mode",
                               "aeolian mode", "ionian mode", "blues scale", "pentatonic scale"}));
  EXPECT_EQ(popup->currentIndex(), 0);

  // The players and threads belong to the window, take no space and are never shown.
  for (const char* name : {"NotePlayer1", "NotePlayer2"}) {
    auto* player = Find<RecordingPlayerObject>(name);
    ASSERT_NE(player, nullptr) << name;
    EXPECT_EQ(player->parent(), window.get());
    EXPECT_EQ(player->Instrument(), 1);
  }
  for (std::string_view name : kThreadNames) {
    auto* thread = window->findChild<Thread*>(QString::fromUtf8(name.data(), name.size()));
    ASSERT_NE(thread, nullptr) << name;
    EXPECT_EQ(thread->parent(), window.get());
  }
  EXPECT_TRUE(RunningThreads().empty());
  EXPECT_TRUE(notes.empty());
}

TEST_F(WindowTest, StartAndStopSwitchBetweenPlayingAndIdle) {
  Click("play");
  ExpectControls(kPlaying);
  EXPECT_EQ(RunningThreads(), std::vector<std::string>{"dorian1"});
  EXPECT_TRUE(notes.empty()) << "the melody starts on a later turn, not inside the click";

  RunUntil(scheduler, clock, 2e6);
  ASSERT_FALSE(notes.empty());
  Click("stop");
  ExpectControls(!kPlaying);
  EXPECT_TRUE(RunningThreads().empty());
}

TEST_F(WindowTest, EachRowStartsItsOwnThreadWithItsOwnTable) {
  for (const Mode& mode : kModes) {
    Find<QComboBox>("PopupMenu1")->setCurrentIndex(mode.index);
    notes.clear();
    Click("play");
    EXPECT_EQ(RunningThreads(), std::vector<std::string>{std::string(mode.threadName)})
        << mode.index;
    RunUntil(scheduler, clock, clock.Microseconds() + 60e6);
    std::set<int> mains;
    for (const NoteEvent& e : notes) {
      if (e.player == "NotePlayer1" && e.velocity >= 40 && e.note >= 60) mains.insert(e.note);
    }
    EXPECT_EQ(mains, std::set<int>(mode.pitches.begin(), mode.pitches.end())) << mode.popupText;
    Click("stop");
  }
  // Row 4 is aeolian (Ab, no A) and row 5 ionian (B, no Bb).
  EXPECT_EQ(kModes[4].threadName, "aeolian1");
  EXPECT_EQ(kModes[5].threadName, "ionian1");
  EXPECT_EQ(sink.shown.size(), kModes.size());
}

TEST_F(WindowTest, StopSilencesBothPlayersNoteByNoteThenThanksTheUser) {
  Click("play");
  RunUntil(scheduler, clock, 1e6);
  notes.clear();
  Click("stop");

  ASSERT_EQ(notes.size(), 254u);
  for (int n = 1; n <= 127; ++n) {
    EXPECT_EQ(notes[2 * n - 2], (NoteEvent{clock.Microseconds(), "NotePlayer1", n, 0}));
    EXPECT_EQ(notes[2 * n - 1], (NoteEvent{clock.Microseconds(), "NotePlayer2", n, 0}));
  }
  std::vector<std::size_t> afterEachPair;
  for (std::size_t n = 1; n <= 127; ++n) afterEachPair.push_back(2 * n);
  EXPECT_EQ(yields, afterEachPair);

  ASSERT_EQ(sink.shown.size(), 1u);
  EXPECT_EQ(
      sink.shown[0].text,
      QString::fromUtf8(
          "Thanks for listening to this quillotone.\n"
          "If you enjoyed it and would like to make a donation of 49p (\u00a30.49) then please "
          "visit\nwww.quillotone.example/quillotoneweb/quillotonepayment.html\nThank you."));
  EXPECT_TRUE(sink.shown[0].playEnabled) << "the box appears with the buttons already idle";
  EXPECT_FALSE(sink.shown[0].stopEnabled);

  // Nothing the killed thread had scheduled is left to sound.
  EXPECT_EQ(clock.dropped.size(), 1u);
  RunUntil(scheduler, clock, clock.Microseconds() + 5e6);
  EXPECT_EQ(notes.size(), 254u);
}

TEST_F(WindowTest, StopWithNothingSoundingStillSweepsAndThanks) {
  window->stop_Action();
  EXPECT_EQ(notes.size(), 254u);
  EXPECT_EQ(yields.size(), 127u);
  EXPECT_EQ(sink.shown.size(), 1u);
  EXPECT_TRUE(clock.dropped.empty()) << "killing idle threads does nothing";
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
  ASSERT_EQ(notes.size(), first.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    first[i].micros += restart;
    EXPECT_EQ(notes[i], first[i]);
  }
}

// --- Hammering start and stop ---------------------------------------------------

// Keeps only which notes sound, so that thousands of melodies cost no memory
// of their own, and counts every note asked for.
class SoundingNotes final : public QObject, public NotePlayer {
 public:
  SoundingNotes(const QString& name, std::size_t& played, QObject* parent)
      : QObject(parent), played_(played) {
    setObjectName(name);
  }
  void PlayNote(int note, int velocity) override {
    ++played_;
    if (note < 0 || note >= static_cast<int>(sounding_.size())) return;
    sounding_[static_cast<std::size_t>(note)] = velocity > 0;
  }
  [[nodiscard]] int Instrument() const override { return 1; }
  void SetInstrument(int) override {}
  [[nodiscard]] int Sounding() const {
    return static_cast<int>(std::count(sounding_.begin(), sounding_.end(), true));
  }

 private:
  std::size_t& played_;
  std::array<bool, 128> sounding_{};
};

class CountingSink final : public MessageSink {
 public:
  void Show(const QString&) override { ++shown; }
  int shown = 0;
};

class WindowHammerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::EnsureApplication<QApplication>(); }

  WindowHammerTest() {
    window = std::make_unique<Window1>(WindowServices{
        .scheduler = scheduler,
        .menuBar = *new MenuBar1(),
        .messages = sink,
        .makeNotePlayer = [this](int, const QString& name, QObject* parent) -> QObject* {
          return new SoundingNotes(name, played, parent);
        },
        .makeRandom = [this] { return std::make_unique<Random>(seed); },
        .yield = [] {},
        .afterStopSweep = {},
    });
    window->show();
  }

  [[nodiscard]] int Sounding() const {
    int sounding = 0;
    for (const char* name : {"NotePlayer1", "NotePlayer2"})
      sounding += window->findChild<SoundingNotes*>(name)->Sounding();
    return sounding;
  }
  [[nodiscard]] int RunningThreads() const {
    int running = 0;
    for (std::string_view name : kThreadNames)
      running +=
          window->findChild<Thread*>(QString::fromUtf8(name.data(), name.size()))->IsRunning();
    return running;
  }

  // One turn of the event loop: a thread that yielded runs, or else the
  // clock moves to the next deadline (or part of the way there) and the
  // sleepers that are due wake.
  void Turn(std::mt19937& draw) {
    if (scheduler.HasReady()) {
      scheduler.RunReady();
      return;
    }
    const std::optional<double> deadline = scheduler.NextDeadline();
    if (!deadline) return;
    const bool partWay = std::uniform_int_distribution<int>(0, 3)(draw) == 0;
    const double now = clock.Microseconds();
    clock.Set(partWay
                  ? now + std::uniform_real_distribution<double>(0.0, 1.0)(draw) * (*deadline - now)
                  : *deadline);
    scheduler.RunDue();
  }

  std::uint64_t seed = 0;
  VirtualClock clock;
  Scheduler scheduler{clock};
  CountingSink sink;
  std::size_t played = 0;
  std::unique_ptr<Window1> window;
};

TEST_F(WindowHammerTest, TenThousandStartsAndStopsAtRandomTurnsLeaveNothingPlaying) {
  constexpr int kPairs = 10'000;
  constexpr int kFirstPairs = 100;
  // Up to a few melody cycles (a cycle is some 200 turns), so that stop meets
  // every part of the melody: waits, yields, sweeps and the cycle's end.
  constexpr int kMostTurns = 600;
  std::mt19937 draw(6);
  std::uniform_int_distribution<int> row(0, static_cast<int>(kModes.size()) - 1);
  std::uniform_int_distribution<int> turns(0, kMostTurns);
  auto* popup = window->findChild<QComboBox*>("PopupMenu1");
  auto* play = window->findChild<QPushButton*>("play");
  auto* stop = window->findChild<QPushButton*>("stop");

  long residentAfterFirst = 0;
  int failures = 0;
  for (int pair = 1; pair <= kPairs && failures < 5; ++pair) {
    seed = draw();
    popup->setCurrentIndex(row(draw));
    QTest::mouseClick(play, Qt::LeftButton);
    if (RunningThreads() != 1) ++failures, ADD_FAILURE() << "pair " << pair << ": not one thread";
    for (int turn = turns(draw); turn > 0; --turn) Turn(draw);
    QTest::mouseClick(stop, Qt::LeftButton);

    const std::size_t playedAtStop = played;
    if (RunningThreads() != 0 || Sounding() != 0 || clock.dropped.size() != 1) {
      ++failures;
      ADD_FAILURE() << "pair " << pair << ": " << RunningThreads() << " threads running, "
                    << Sounding() << " notes sounding and " << clock.dropped.size()
                    << " threads' scheduled notes dropped after stop";
    }
    clock.dropped.clear();  // the clock's log would otherwise grow with every pair
    // Whatever the killed thread had pending never comes.
    RunUntil(scheduler, clock, clock.Microseconds() + 2e6);
    if (played != playedAtStop) {
      ++failures;
      ADD_FAILURE() << "pair " << pair << ": " << played - playedAtStop << " notes after stop";
    }
    // What the clicks posted (repaints, the busy indicator's show and hide) is
    // delivered, as the event loop would between two clicks.
    QCoreApplication::processEvents();
    if (pair == kFirstPairs) residentAfterFirst = testing::ResidentBytes();
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(sink.shown, kPairs);
  testing::ExpectFlatMemorySince(residentAfterFirst);
}

}  // namespace
}  // namespace quillotone
