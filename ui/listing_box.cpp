#include "ui/listing_box.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

namespace rfsplitter {

ListingBox::ListingBox(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setTabChangesFocus(true);
  // Moving the cursor out of view scrolls the text without a word from the
  // (hidden) scroll bar; every scroll asks for a repaint, though, and the
  // scroll bar's value, once set, moves the view back.
  connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
    if (dy != 0) KeepTextInView();
  });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &ListingBox::KeepTextInView);
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
  const int margins = 2 * static_cast<int>(document()->documentMargin());
  const int fitting = std::max(1, (viewport()->height() - margins) / fontMetrics().lineSpacing());
  const int highest_first_line = std::max(0, lines - fitting);
  QScrollBar* bar = verticalScrollBar();
  if (firstVisibleBlock().firstLineNumber() > highest_first_line ||
      bar->value() > highest_first_line) {
    // Setting the value the bar already has would not move the view.
    if (bar->value() == highest_first_line) bar->setValue(highest_first_line + 1);
    bar->setValue(highest_first_line);
  }
}

}  // namespace rfsplitter
