#include "vertical/CellPainter.h"

#include <QFontMetricsF>
#include <QPainter>

namespace quirtle::vertical {

namespace {

char32_t FirstCodePoint(QStringView text) {
    if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return text.isEmpty() ? 0 : text[0].unicode();
}

}  // namespace

CellPainter::CellPainter(const QFont& font) : font(font), raw(QRawFont::fromFont(font)) {
    const QFontMetricsF metrics(font);
    cell = metrics.horizontalAdvance(QChar(0x3042));
    if (cell <= 0) cell = metrics.height();
    ascent = metrics.ascent();
    descent = metrics.descent();
}

CellPainter::GlyphInfo CellPainter::GlyphOfCode(char32_t code) {
    const auto found = glyphCache.constFind(code);
    if (found != glyphCache.constEnd()) return *found;
    GlyphInfo info;
    if (raw.isValid() && raw.supportsCharacter(code)) {
        const QList<quint32> indexes = raw.glyphIndexesForString(QString::fromUcs4(&code, 1));
        if (indexes.size() == 1 && indexes.front() != 0) {
            info.index = indexes.front();
            info.advance = raw.advancesForGlyphIndexes(QVector<quint32>{info.index}).value(0).x();
        }
    }
    glyphCache.insert(code, info);
    return info;
}

void CellPainter::Add(QStringView text, Glyph glyph, QPointF corner, const QColor& colour) {
    char32_t code = FirstCodePoint(text);
    const QPointF centre = corner + QPointF(cell / 2, cell / 2);
    if (glyph == Glyph::SideBySide) {
        turned.push_back({text.toString(), centre, colour, true, false});
        return;
    }
    if (glyph == Glyph::Turned || glyph == Glyph::Comma) {
        // The vertical form where the font has one; else the character turned a quarter
        // (brackets, lines) or moved to the top right (commas).
        if (const char32_t form = VerticalForm(code); form != 0 && GlyphOfCode(form).index != 0) {
            code = form;
        } else if (glyph == Glyph::Turned) {
            turned.push_back({text.toString(), centre, colour});
            return;
        } else {
            corner += QPointF(cell * 0.6, -cell * 0.6);
        }
    }
    if (glyph == Glyph::Sideways) {
        turned.push_back({text.toString(), centre, colour});
        return;
    }
    if (glyph == Glyph::Small) corner += QPointF(cell * 0.1, -cell * 0.1);
    const GlyphInfo info = GlyphOfCode(code);
    if (info.index == 0) {
        // Not in the font: drawn through the font's fallbacks, upright.
        turned.push_back({text.toString(), centre, colour, false, false});
        return;
    }
    // Each glyph centred in its cell: full-width glyphs fill it, narrower ones are centred.
    const qreal baseline = corner.y() + (cell + ascent - descent) / 2;
    Run& run = runs[colour.rgba()];
    run.glyphs.push_back(info.index);
    run.positions.push_back(QPointF(corner.x() + (cell - info.advance) / 2, baseline));
}

void CellPainter::Flush(QPainter& painter) {
    for (auto it = runs.begin(); it != runs.end(); ++it) {
        if (it->glyphs.isEmpty()) continue;
        QGlyphRun run;
        run.setRawFont(raw);
        run.setGlyphIndexes(it->glyphs);
        run.setPositions(it->positions);
        painter.setPen(QColor::fromRgba(it.key()));
        painter.drawGlyphRun(QPointF(0, 0), run);
        it->glyphs.clear();
        it->positions.clear();
    }
    if (turned.isEmpty()) return;
    painter.save();
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    for (const Turned& item : turned) {
        painter.setPen(item.colour);
        painter.save();
        painter.translate(item.centre);
        if (item.rotate) painter.rotate(90);
        qreal width = metrics.horizontalAdvance(item.text);
        if (item.pair && width > cell) {
            // Two characters side by side fit the cell's width.
            painter.scale(cell / width, 1);
        }
        painter.drawText(QPointF(-width / 2, (ascent - descent) / 2), item.text);
        painter.restore();
    }
    painter.restore();
    turned.clear();
}

}  // namespace quirtle::vertical
