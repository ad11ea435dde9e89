#include "ui/listing_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>

namespace rfsplitter {

ListingBox::ListingBox(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  // The scroll bar is hidden but still drives the view: its value is the
  // first line shown.
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ListingBox::KeepTextInView);
  connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, &ListingBox::KeepTextInView);
}

void ListingBox::KeepTextInView() {
  QTextBlock last = document()->lastBlock();
  while (last.isValid() && last.text().isEmpty() && last != document()->firstBlock()) {
    last = last.previous();
  }
  int lines = 0;  // the lines up to and including the last one with text
  for (QTextBlock b = document()->firstBlock(); b.isValid(); b = b.next()) {
    lines += std::max(1, b.lineCount());
    if (b == last) break;
  }
  const int fitting = std::max(1, viewport()->height() / fontMetrics().lineSpacing());
  const int highest_first_line = std::max(0, lines - fitting);
  if (verticalScrollBar()->value() > highest_first_line) {
    verticalScrollBar()->setValue(highest_first_line);
  }
}

}  // namespace rfsplitter
