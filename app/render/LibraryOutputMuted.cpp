// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/render/LibraryOutputMuted.h"

#include <fcntl.h>
#include <unistd.h>

namespace quillotone {

LibraryOutputMuted::LibraryOutputMuted() : saved_(dup(STDERR_FILENO)) {
  const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (null >= 0) {
    dup2(null, STDERR_FILENO);
    close(null);
  }
}

LibraryOutputMuted::~LibraryOutputMuted() {
  if (saved_ < 0) return;
  dup2(saved_, STDERR_FILENO);
  close(saved_);
}

}  // namespace quillotone
