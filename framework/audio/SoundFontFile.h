// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace quillotone {

// Looks at a file before FluidSynth is given it: FluidSynth waits forever on
// a pipe, and for files that are not SoundFonts it can only say that loading
// failed (its fallback loader also prints warnings of its own). This names the
// actual problem. Reads only the file's type, its size, the few headers of
// its top-level structure and the sample headers, so it costs next to nothing
// even for a large SoundFont.
//
// nullopt: the file is a complete RIFF "sfbk" (.sf2/.sf3) file as far as its
// outer structure goes, with sample data that its sample headers lie within.
// Otherwise, what is wrong with it, in words for the
// user in their language, naming the file.
[[nodiscard]] std::optional<std::string> SoundFontProblem(const std::string& path);

}  // namespace quillotone
