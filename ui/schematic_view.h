// A circuit's schematic (exports/schematic.h) drawn to fit the widget, its
// proportions kept.
#ifndef RFSPLITTER_UI_SCHEMATIC_VIEW_H_
#define RFSPLITTER_UI_SCHEMATIC_VIEW_H_

#include <QSvgRenderer>
#include <QWidget>
#include <string>

namespace rfsplitter {

class SchematicView : public QWidget {
  Q_OBJECT

 public:
  explicit SchematicView(QWidget* parent = nullptr);
  // Redraws only when the drawing changed.
  void Show(const std::string& svg);
  const std::string& Svg() const { return svg_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSvgRenderer renderer_;
  std::string svg_;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_SCHEMATIC_VIEW_H_
