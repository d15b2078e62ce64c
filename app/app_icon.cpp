#include "app/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace app {

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);  // drawn on a 32 x 32 grid

  // Rounded grey tile, the colour of the window's band.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(102, 102, 102));
  p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);

  // Thermometer: tube and bulb in the band's text colour.
  const QColor accent(0, 255, 200);
  p.setBrush(Qt::white);
  p.drawRoundedRect(QRectF(8, 4, 7, 19), 3.5, 3.5);
  p.drawEllipse(QPointF(11.5, 23), 5.5, 5.5);
  p.setBrush(accent);
  p.drawRect(QRectF(10, 11, 3, 12));
  p.drawEllipse(QPointF(11.5, 23), 3.8, 3.8);

  // Humidity drop.
  QPainterPath drop;
  drop.moveTo(23, 9);
  drop.cubicTo(26, 14, 28, 17, 28, 20);
  drop.arcTo(QRectF(18, 15, 10, 10), 0, -180);
  drop.cubicTo(18, 17, 20, 14, 23, 9);
  p.drawPath(drop);
  return pixmap;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(DrawIcon(size));
  return icon;
}

}  // namespace app
