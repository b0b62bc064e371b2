// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>

#include "app/CommandLine.h"

namespace quillotone {

// Renders the melody the window would play from its start, for as long as
// `invocation` asks, to its file, device, pipe or standard output: as fast as
// the machine allows, streamed as it is rendered, ended as a stop ends it. A
// render to a file that fails or is cut short leaves nothing behind. Returns the process's exit
// status (kUsageError for what is found before rendering starts, kRenderFailed after); the one line
// that says what went wrong, or the seed drawn, goes to `errors`.
int Render(const Invocation& invocation, std::ostream& errors);

}  // namespace quillotone
