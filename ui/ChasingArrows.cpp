// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ChasingArrows.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace quillotone {
namespace {

// What a screen reader hears: an animation, as a desktop's spinner is, busy
// while it turns; its name is the window's to give.
class AccessibleArrows final : public QAccessibleWidget {
 public:
  explicit AccessibleArrows(ChasingArrows* arrows)
      : QAccessibleWidget(arrows, QAccessible::Animation), arrows_(arrows) {}
  [[nodiscard]] QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.busy = arrows_->IsAnimating();
    return state;
  }

 private:
  ChasingArrows* arrows_;
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
  auto* arrows = qobject_cast<ChasingArrows*>(object);
  if (arrows == nullptr || className != QLatin1String(ChasingArrows::staticMetaObject.className()))
    return nullptr;
  return new AccessibleArrows(arrows);
}

// Tells screen readers that the busy state just changed.
void AnnounceBusyChange(QWidget* widget) {
  QAccessible::State changed;
  changed.busy = true;
  QAccessibleStateChangeEvent event(widget, changed);
  QAccessible::updateAccessibility(&event);
}

}  // namespace

ChasingArrows::ChasingArrows(QWidget* parent) : QWidget(parent) {
  // Qt keeps the factories; once is enough for every indicator.
  static const bool accessible = (QAccessible::installFactory(&MakeAccessible), true);
  (void)accessible;
  timer_.setInterval(kFrameMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    angle_ = (angle_ + kDegreesPerFrame) % 360;
    update();
  });
}

void ChasingArrows::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  timer_.start();
  AnnounceBusyChange(this);
}

void ChasingArrows::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_.stop();
  AnnounceBusyChange(this);
}

void ChasingArrows::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const qreal side = qMin(width(), height());
  painter.translate(width() / 2.0, height() / 2.0);
  painter.rotate(-angle_);  // counter-clockwise, the way the arrows point
  const qreal radius = side * 0.34;
  const qreal head = side * 0.16;
  QPen pen(palette().color(QPalette::WindowText), qMax<qreal>(2.0, side / 12.0));
  pen.setCapStyle(Qt::RoundCap);
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  const QRectF circle(-radius, -radius, 2 * radius, 2 * radius);
  for (int arrow = 0; arrow < 2; ++arrow) {
    // Each arrow is a 130° arc ending in a head that points along the circle.
    const qreal start = arrow * 180.0;
    const qreal span = 130.0;
    painter.drawArc(circle, qRound(start * 16), qRound(span * 16));
    const qreal tip = qDegreesToRadians(start + span);
    const QPointF end(radius * qCos(tip), -radius * qSin(tip));
    const QPointF along(-qSin(tip), -qCos(tip));  // counter-clockwise along the circle
    const QPointF outward(qCos(tip), -qSin(tip));
    QPainterPath arrowHead;
    arrowHead.moveTo(end + along * head);
    arrowHead.lineTo(end + outward * head * 0.6);
    arrowHead.lineTo(end - outward * head * 0.6);
    arrowHead.closeSubpath();
    painter.save();
    painter.setBrush(pen.color());
    painter.drawPath(arrowHead);
    painter.restore();
  }
}

}  // namespace quillotone
