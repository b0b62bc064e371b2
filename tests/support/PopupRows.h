// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QFontMetrics>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace quillotone::testing {

// The popup's rows whose ink does not fit in its field, each with its size
// and the field's: drawn one pixel in from each side, centred on the field's
// height.
inline QStringList RowsCutShort(const QComboBox& popup) {
  const QFontMetrics metrics(popup.font());
  QStyleOptionComboBox option;
  option.initFrom(&popup);
  const QRect field = popup.style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                    QStyle::SC_ComboBoxEditField, &popup);
  const QPoint baseline(field.left() + 1,
                        field.top() + (field.height() - metrics.height()) / 2 + metrics.ascent());
  QStringList cut;
  for (int row = 0; row < popup.count(); ++row) {
    const QString text = popup.itemText(row);
    const QRect ink = metrics.tightBoundingRect(text).translated(baseline);
    if (!field.adjusted(1, 0, -1, 0).contains(ink)) {
      cut << QStringLiteral("%1: %2x%3 in %4x%5")
                 .arg(text)
                 .arg(ink.width())
                 .arg(ink.height())
                 .arg(field.width())
                 .arg(field.height());
    }
  }
  return cut;
}

}  // namespace quillotone::testing
