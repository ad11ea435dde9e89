#include "ui/schematic_view.h"

#include <QPainter>

namespace rfsplitter {

SchematicView::SchematicView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("schematicView"));
  setAccessibleName(tr("Schematic of the circuit"));
  setMinimumSize(200, 150);
}

void SchematicView::Show(const std::string& svg) {
  if (svg == svg_) return;
  svg_ = svg;
  renderer_.load(QByteArray::fromStdString(svg_));
  update();
}

void SchematicView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  if (!renderer_.isValid()) return;
  QSizeF size = renderer_.defaultSize();
  size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
  const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  renderer_.render(&painter, target);
}

}  // namespace rfsplitter
