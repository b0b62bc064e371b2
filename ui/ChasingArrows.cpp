// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ChasingArrows.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace quillotone {

ChasingArrows::ChasingArrows(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kFrameMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    angle_ = (angle_ + kDegreesPerFrame) % 360;
    update();
  });
}

void ChasingArrows::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  timer_.start();
}

void ChasingArrows::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  timer_.stop();
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
