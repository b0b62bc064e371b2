#pragma once

#include <ostream>

#include "app/CommandLine.h"

namespace quillotone {

// Renders the melody the window would play from its start, for as long as
// `invocation` asks, to its file: as fast as the machine allows, ended as a
// stop ends it. Writes to a temporary file and renames it into place, so a
// failed render leaves nothing behind. Returns the process's exit status;
// what went wrong goes to `errors`.
int Render(const Invocation& invocation, std::ostream& errors);

}  // namespace quillotone
