// A frame drawn the way the window's stored design has it: an etched border
// along the frame's own rectangle and, for a frame with a caption, the
// caption set into the top border line rather than above it. The frame's
// children keep their stored positions inside the border.
#ifndef RFSPLITTER_UI_CAPTION_FRAME_H_
#define RFSPLITTER_UI_CAPTION_FRAME_H_

#include <QGroupBox>

namespace rfsplitter {

class CaptionFrame : public QGroupBox {
  Q_OBJECT

 public:
  using QGroupBox::QGroupBox;

  // Where the border runs, in the frame's coordinates.
  QRect BorderRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_CAPTION_FRAME_H_
