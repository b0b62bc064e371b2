// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Window1.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <algorithm>
#include <iostream>
#include <utility>

#include "framework/Channels.h"
#include "framework/threads/Thread.h"
#include "melody/Melody.h"
#include "melody/Modes.h"
#include "ui/ChasingArrows.h"
#include "ui/MenuBar1.h"
#include "ui/MessageSink.h"
#include "ui/Texts.h"

namespace quillotone {
namespace {

constexpr int kInstrument = 1;  // Acoustic Grand Piano

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<int>(text.size()));
}

// The popup's rows come from one text, a carriage return between items.
QString PopupItems() {
  QStringList items;
  for (const Mode& mode : kModes) {
    items << QCoreApplication::translate("Modes", mode.popupText.data());
  }
  return items.join(QLatin1Char('\r'));
}

// Swallows the user's input to one window for as long as it lives.
class WindowInputBlock final : public QObject {
 public:
  explicit WindowInputBlock(QWidget* window) : window_(window) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~WindowInputBlock() override { QCoreApplication::instance()->removeEventFilter(this); }
  WindowInputBlock(const WindowInputBlock&) = delete;
  WindowInputBlock& operator=(const WindowInputBlock&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!IsUserInput(event->type())) return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && widget->window() == window_;
  }

 private:
  static bool IsUserInput(QEvent::Type type) {
    switch (type) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::Shortcut:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
        return true;
      default:
        return false;
    }
  }

  QWidget* window_;
};

// Holds a flag up for as long as it lives, however the scope is left.
class Sweeping final {
 public:
  explicit Sweeping(bool& flag) : flag_(flag) { flag_ = true; }
  ~Sweeping() { flag_ = false; }
  Sweeping(const Sweeping&) = delete;
  Sweeping& operator=(const Sweeping&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Window1::Window1(WindowServices services, QWidget* parent)
    : QMainWindow(
          parent,
          Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),  // no close, min or max
      services_(std::move(services)) {
  Layout();
  CreateControls();
}

void Window1::Layout() {
  setMenuBar(&services_.menuBar);
  setWindowTitle(kProgramName);
  content_ = new QWidget(this);
  content_->setFixedSize(kContentWidth, kContentHeight);
  setCentralWidget(content_);
  // The content area keeps its size; the window is as tall as the menu bar
  // needs on top of it, and the user cannot resize it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Window1::CreateControls() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(kTextSize);
  const auto place = [&](QWidget* widget, const char* name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    widget->setFont(font);
  };

  auto* play = new QPushButton(tr("start"), content_);
  place(play, "play", {115, 90, 70, 20});
  play->setAutoDefault(false);
  connect(play, &QPushButton::clicked, this, [this] { Guarded(&Window1::play_Action); });

  services_.makeNotePlayer(kNotePlayer1Channel, QStringLiteral("NotePlayer1"), this);
  NotePlayerMember("NotePlayer1").SetInstrument(kInstrument);

  auto* stop = new QPushButton(tr("stop"), content_);
  place(stop, "stop", {115, 190, 70, 20});
  stop->setAutoDefault(false);
  stop->setEnabled(false);
  connect(stop, &QPushButton::clicked, this, [this] { Guarded(&Window1::stop_Action); });

  auto* arrows = new ChasingArrows(content_);
  place(arrows, "ChasingArrows1", {133, 133, 34, 34});
  arrows->setAccessibleName(tr("Playing"));
  arrows->setVisible(false);

  auto* popup = new QComboBox(content_);
  // 20 px wider and 4 taller than the classic 150 x 20, still centred: at 12
  // points (16 px at 96 dpi) the longest rows, "mixolydian mode" and
  // "pentatonic scale", need that much room beside the arrow.
  place(popup, "PopupMenu1", {65, 30, 170, 24});
  // Qt names a popup by its current row for screen readers on Linux, and
  // labels it through a label's buddy: an unseen one, as the window shows none.
  auto* label = new QLabel(tr("Mode or scale"), content_);
  label->setBuddy(popup);
  label->setVisible(false);
  popup->addItems(PopupItems().split(QLatin1Char('\r')));
  popup->setCurrentIndex(0);
  // Wider still where a language's longest row needs it ("gamme
  // pentatonique"), and still centred.
  const int popupWidth = std::max(popup->width(), popup->sizeHint().width());
  popup->setGeometry(kContentWidth / 2 - popupWidth / 2, popup->y(), popupWidth, popup->height());

  for (const Mode& mode : kModes) {
    const std::span<const int> pitches = mode.pitches;
    new Thread(
        services_.scheduler, ToQString(mode.threadName),
        [this, pitches] { return PlayMelody(*this, services_.makeRandom(), pitches); }, this);
  }
  services_.makeNotePlayer(kNotePlayer2Channel, QStringLiteral("NotePlayer2"), this);
  NotePlayerMember("NotePlayer2").SetInstrument(kInstrument);
}

template <typename T>
T& Window1::Member(std::string_view name) const {
  T* member = findChild<T*>(ToQString(name));
  if (member == nullptr) throw NilObjectException(name);
  return *member;
}

NotePlayer* Window1::FindNotePlayer(std::string_view name) {
  return dynamic_cast<NotePlayer*>(findChild<QObject*>(ToQString(name)));
}

NotePlayer& Window1::NotePlayerMember(std::string_view name) {
  return NotePlayerNamed(*this, name);
}

std::optional<bool> Window1::FindEnabled(std::string_view name) {
  const QWidget* control = findChild<QWidget*>(ToQString(name));
  if (control == nullptr) return std::nullopt;
  return control->isEnabled();
}

void Window1::Guarded(void (Window1::*handler)()) {
  try {
    (this->*handler)();
  } catch (...) {
    if (services_.reportError) {
      services_.reportError(std::current_exception());
    } else {
      std::cerr << "quillotone: unexpected error in a window handler\n";
    }
  }
}

void Window1::Start() { Guarded(&Window1::StartAsked); }

void Window1::Stop() { Guarded(&Window1::StopAsked); }

void Window1::StartAsked() {
  if (sweeping_) {
    startAfterSweep_ = true;
  } else if (Member<QPushButton>("play").isEnabled()) {
    play_Action();
  }
}

void Window1::StopAsked() {
  if (!sweeping_ && Member<QPushButton>("stop").isEnabled()) stop_Action();
}

void Window1::play_Action() {
  // Eight separate tests, each reading the selection afresh.
  for (const Mode& mode : kModes) {
    if (Member<QComboBox>("PopupMenu1").currentIndex() == mode.index) {
      Member<Thread>(mode.threadName).Run();
    }
  }
  Member<ChasingArrows>("ChasingArrows1").setVisible(true);
  Member<QPushButton>("play").setEnabled(false);
  Member<QPushButton>("stop").setEnabled(true);
  Member<QComboBox>("PopupMenu1").setEnabled(false);
  emit playingChanged(true);
}

void Window1::stop_Action() {
  // The controls first: a melody that looks sees at once that playing stopped.
  Member<QPushButton>("stop").setEnabled(false);
  Member<QPushButton>("play").setEnabled(true);
  Member<ChasingArrows>("ChasingArrows1").setVisible(false);
  Member<QComboBox>("PopupMenu1").setEnabled(true);
  emit playingChanged(false);

  for (const Mode& mode : kModes) Member<Thread>(mode.threadName).Kill();
  // Whatever still sounds (the step cut short, the held notes) ends here.
  // Start is already enabled, so no click may reach the window before the
  // sweep is done, not even through a box that a yield lets open.
  {
    const WindowInputBlock block(this);
    const Sweeping sweeping(sweeping_);
    for (int note = kLowestSweptNote; note <= kHighestSweptNote; ++note) {
      NotePlayerMember(kMainPlayer).PlayNote(note, 0);
      NotePlayerMember(kHeldPlayer).PlayNote(note, 0);
      services_.yield();
    }
  }
  if (services_.afterStopSweep) services_.afterStopSweep();
  // Queued, so the thank-you box still comes first and the start runs in
  // its event loop, as a desktop's play would while the box is up.
  if (std::exchange(startAfterSweep_, false)) {
    QMetaObject::invokeMethod(this, &Window1::Start, Qt::QueuedConnection);
  }

  services_.messages.Show(ThankYouText());
}

}  // namespace quillotone
