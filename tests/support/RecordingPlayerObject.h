#pragma once

#include <QObject>

#include "support/RecordingNotePlayer.h"

namespace quillotone::testing {

// A recording note player that a window can own and find by name.
class RecordingPlayerObject final : public QObject, public NotePlayer {
 public:
  RecordingPlayerObject(const QString& name, const Scheduler& scheduler,
                        std::vector<NoteEvent>& log, QObject* parent)
      : QObject(parent), recorder_(name.toStdString(), scheduler, log) {
    setObjectName(name);
  }
  void PlayNote(int note, int velocity) override { recorder_.PlayNote(note, velocity); }
  [[nodiscard]] int Instrument() const override { return recorder_.Instrument(); }
  void SetInstrument(int instrument) override { recorder_.SetInstrument(instrument); }

 private:
  RecordingNotePlayer recorder_;
};

}  // namespace quillotone::testing
