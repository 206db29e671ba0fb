// Draws the characters of cells in vertical writing with one font: upright, in their
// vertical forms, moved within the cell, turned a quarter, or two side by side.
#pragma once

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPixmap>
#include <QPointF>
#include <QRawFont>
#include <QStringView>

#include "vertical/CharClasses.h"

class QPainter;

namespace quirtle::vertical {

class CellPainter {
  public:
    CellPainter(const QFont& font, qreal pixelRatio);
    const QFont& Font() const { return font; }
    qreal Cell() const { return cell; }

    // Queues the cell's character(s) `text` of class `glyph` in the cell whose top-left
    // corner is `corner`, in `colour`.
    void Add(QStringView text, Glyph glyph, QPointF corner, const QColor& colour);
    // Draws what was queued, and forgets it.
    void Flush(QPainter& painter);

  private:
    struct Run {
        QVector<quint32> glyphs;
        QVector<QPointF> positions;
    };
    // A cell drawn through a picture of its own: turned characters, two side by side, and
    // characters the font lacks (drawn through its fallbacks). Made once, then copied.
    struct Picture {
        QPixmap pixmap;
        QPointF corner;
    };
    QPixmap CellPicture(QStringView text, Glyph glyph, bool rotate, const QColor& colour);
    struct GlyphInfo {
        quint32 index = 0;  // 0: not in the font
        qreal advance = 0;
    };
    // The glyph of one code point in the font.
    GlyphInfo GlyphOfCode(char32_t code);

    QFont font;
    QRawFont raw;
    qreal cell = 16;
    qreal ascent = 12;
    qreal descent = 4;
    QHash<char32_t, GlyphInfo> glyphCache;
    QHash<QRgb, Run> runs;
    QVector<Picture> pictures;
    QHash<QString, QPixmap> pictureCache;
    qreal pixelRatio = 1;
};

}  // namespace quirtle::vertical
