#include "app/app_icon.h"

#include <QColor>
#include <QPainter>

namespace tessarix {
namespace {

// Warm to cool, so the grid reads as a small picture rather than noise.
constexpr QRgb kTiles[16] = {
    0xe4572e, 0xf3a712, 0xf6d55c, 0xa8c256,  //
    0xd1495b, 0xedae49, 0x66a182, 0x3caea3,  //
    0x8e3b46, 0x00798c, 0x30638e, 0x20639b,  //
    0x4b3f72, 0x173f5f, 0x1b998b, 0x2e294e,
};

}  // namespace

QPixmap LogoPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x22, 0x22, 0x22));
  const qreal s = size / 64.0;  // drawn on a 64-unit square, like the SVG
  painter.drawRoundedRect(QRectF(0, 0, 64 * s, 64 * s), 8 * s, 8 * s);
  for (int row = 0; row < 4; ++row) {
    for (int col = 0; col < 4; ++col) {
      painter.setBrush(QColor(kTiles[row * 4 + col]));
      painter.drawRect(QRectF((4 + col * 14.5) * s, (4 + row * 14.5) * s, 12.5 * s, 12.5 * s));
    }
  }
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(LogoPixmap(size));
  return icon;
}

}  // namespace tessarix
