// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace quillotone {

// Whether a session bus could be there: named in the environment, or the
// usual socket in the user's runtime folder. Without either nothing would
// answer, and no D-Bus connection (nor its thread) is made for nothing.
bool SessionBusKnown();

}  // namespace quillotone
