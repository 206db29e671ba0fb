// Draws the characters of cells in vertical writing with one font: upright, in their
// vertical forms, moved within the cell, turned a quarter, or two side by side.
#pragma once

#include <QColor>
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QPointF>
#include <QRawFont>
#include <QStringView>

#include "vertical/CharClasses.h"

class QPainter;

namespace quirtle::vertical {

class CellPainter {
  public:
    explicit CellPainter(const QFont& font);
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
    struct Turned {
        QString text;
        QPointF centre;
        QColor colour;
        bool pair = false;  // two characters side by side, upright
        bool rotate = true;
    };
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
    QVector<Turned> turned;
};

}  // namespace quirtle::vertical
