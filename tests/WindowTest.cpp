#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QtTest/QTest>
#include <set>

#include "framework/Thread.h"
#include "melody/Modes.h"
#include "support/EventLoop.h"
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

}  // namespace
}  // namespace quillotone
