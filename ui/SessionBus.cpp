// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/SessionBus.h"

#include <QFileInfo>
#include <QString>

namespace quillotone {

bool SessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

}  // namespace quillotone
