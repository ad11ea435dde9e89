// The on-screen painter of a Plot (exports/plot.h): the same layout and
// curves as the SVG export, in the colours of the window's palette.
#ifndef RFSPLITTER_UI_PLOT_PAINTER_H_
#define RFSPLITTER_UI_PLOT_PAINTER_H_

#include <QByteArray>
#include <QColor>
#include <QPalette>

#include "exports/plot.h"

class QPainter;

namespace rfsplitter {

// A role's colour: the SVG's hues, lightened on a dark palette so that they
// stand out from its background.
QColor ColourOf(PlotColour colour, const QPalette& palette);

// Draws `plot` into a `width` x `height` area at the painter's origin.
void PaintPlot(QPainter& painter, const Plot& plot, double width, double height,
               const QPalette& palette);

// `plot` as a PNG file's bytes: `width` wide, as tall as it wants, at twice
// the pixels, on white as the SVG.
QByteArray PlotPng(const Plot& plot, double width = 820);

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_PLOT_PAINTER_H_
