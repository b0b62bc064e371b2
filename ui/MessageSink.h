#pragma once

#include <QString>

class QWidget;

namespace quillotone {

// Where the program's message boxes go. The real one shows a modal box and
// returns when the user has dismissed it; tests read the text instead.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const QString& text) = 0;
};

// A Qt message box titled with the program's name, with one OK button.
class MessageBoxSink final : public MessageSink {
 public:
  explicit MessageBoxSink(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  void Show(const QString& text) override;

 private:
  QWidget* parent_;
};

}  // namespace quillotone
