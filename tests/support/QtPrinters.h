// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <ostream>

// GoogleTest shows a QString (and so a QStringList) as its text, not its
// bytes. Qt's types live in the global namespace, where the lookup looks.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
