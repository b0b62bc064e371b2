// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <stdexcept>

namespace quillotone {

// Something the user can fix: the message says what is missing and what to
// do, in the user's language.
class SynthError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A sound server that is there but does not answer (stopped, hung, or a
// socket nobody serves). The ways to the sound behind it (ALSA's pulse
// plugin) would wait on it too, without a bound.
class ServerSilentError : public SynthError {
 public:
  using SynthError::SynthError;
};

// What the user is told of one, once, in the user's language: the
// application looks it up under this context.
inline constexpr char kServerSilentText[] = QT_TRANSLATE_NOOP(
    "AudioOutput",
    "The sound server does not answer: it may be stopped or hung. Quillotone plays on silently, "
    "and is heard again as soon as the server answers.");

}  // namespace quillotone
