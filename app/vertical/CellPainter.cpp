#include "vertical/CellPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace quirtle::vertical {

namespace {

char32_t FirstCodePoint(QStringView text) {
    if (text.size() >= 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[0], text[1]);
    return text.isEmpty() ? 0 : text[0].unicode();
}

}  // namespace

CellPainter::CellPainter(const QFont& font, qreal pixelRatio)
    : font(font), raw(QRawFont::fromFont(font)), pixelRatio(pixelRatio) {
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
    if (glyph == Glyph::SideBySide) {
        pictures.push_back({CellPicture(text, glyph, false, colour), corner});
        return;
    }
    if (glyph == Glyph::Turned || glyph == Glyph::Comma) {
        // The vertical form where the font has one; else the character turned a quarter
        // (brackets, lines) or moved to the top right (commas).
        if (const char32_t form = VerticalForm(code); form != 0 && GlyphOfCode(form).index != 0) {
            code = form;
        } else if (glyph == Glyph::Turned) {
            pictures.push_back({CellPicture(text, glyph, true, colour), corner});
            return;
        } else {
            corner += QPointF(cell * 0.6, -cell * 0.6);
        }
    }
    if (glyph == Glyph::Sideways) {
        pictures.push_back({CellPicture(text, glyph, true, colour), corner});
        return;
    }
    if (glyph == Glyph::Small) corner += QPointF(cell * 0.1, -cell * 0.1);
    const GlyphInfo info = GlyphOfCode(code);
    if (info.index == 0) {
        // Not in the font: drawn through the font's fallbacks, upright.
        pictures.push_back({CellPicture(text, glyph, false, colour), corner});
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
    for (const Picture& picture : pictures) painter.drawPixmap(picture.corner, picture.pixmap);
    pictures.clear();
}

QPixmap CellPainter::CellPicture(QStringView text, Glyph glyph, bool rotate, const QColor& colour) {
    const QString key =
        text.toString() + QChar(rotate ? u'r' : u'u') + QString::number(colour.rgba(), 16);
    const auto found = pictureCache.constFind(key);
    if (found != pictureCache.constEnd()) return *found;
    const int side = static_cast<int>(std::ceil(cell * pixelRatio));
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(colour);
    const QFontMetricsF metrics(font);
    const QString shown = text.toString();
    const qreal width = metrics.horizontalAdvance(shown);
    painter.translate(cell / 2, cell / 2);
    if (rotate) painter.rotate(90);
    // Two characters side by side fit the cell's width.
    if (glyph == Glyph::SideBySide && width > cell) painter.scale(cell / width, 1);
    painter.drawText(QPointF(-width / 2, (ascent - descent) / 2), shown);
    painter.end();
    // A screen has few distinct turned characters; colours multiply them only a little.
    if (pictureCache.size() > 4096) pictureCache.clear();
    pictureCache.insert(key, pixmap);
    return pixmap;
}

}  // namespace quirtle::vertical
