// SPDX-License-Identifier: MIT
#include "app/WorkTextLayout.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextCharFormat>
#include <algorithm>
#include <cmath>
#include <limits>

namespace quelvane {

namespace {

constexpr std::size_t kLaidKept = 512;  // laid-out parts kept between paints

// What the layout is given for a piece of a line: one unit for each, so
// positions stay; a control character shows as a middle dot and half a
// surrogate pair as the replacement character.
QString Shown(QStringView piece) {
    QString out = piece.toString();
    const qsizetype n = out.size();
    QChar* p = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i].unicode();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F)) {
            p[i] = QChar(0x00B7);
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            ++i;
        } else if (QChar::isSurrogate(u)) {
            p[i] = QChar(QChar::ReplacementCharacter);
        }
    }
    return out;
}

}  // namespace

// --- the face and widths ------------------------------------------------------

void WorkTextLayout::SetFont(const QFont& font) {
    face = font;
    const QFontMetricsF metrics(face);
    cell = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    cellUnits = std::max(1, static_cast<int>(std::lround(cell * kUnitsPerPixel)));
    height = std::max<qreal>(1, metrics.lineSpacing());
    rise = metrics.ascent();
    fixedPitch = QFontInfo(face).fixedPitch();
    // Every width depends on the face.
    bmpWidths.clear();
    otherWidths.clear();
    Forget();
}

int WorkTextLayout::CodeWidth(char32_t code) const {
    if (code == U'\t') return static_cast<int>(kTabCells) * cellUnits;
    if (fixedPitch && code < 0x300 && WorkTextDocument::IsCellUnit(static_cast<char16_t>(code))) return cellUnits;
    if (code < 0x10000) {
        if (bmpWidths.empty()) bmpWidths.assign(0x10000, -1);
        if (bmpWidths[code] >= 0) return bmpWidths[code];
    } else if (const auto known = otherWidths.constFind(code); known != otherWidths.cend()) {
        return *known;
    }
    // The code point alone, in the face the layout would take for it
    // (fallback included); shaping in context only narrows it.
    char32_t shown = code;
    if (code < 0x20 || (code >= 0x7F && code <= 0x9F)) shown = 0xB7;
    if (QChar::isSurrogate(code)) shown = QChar::ReplacementCharacter;
    const qreal advance = QFontMetricsF(face).horizontalAdvance(QString::fromUcs4(&shown, 1));
    const int width = std::max(0, static_cast<int>(std::ceil(advance * kUnitsPerPixel)));
    if (code < 0x10000)
        bmpWidths[code] = width;
    else
        otherWidths.insert(code, width);
    return width;
}

qint64 WorkTextLayout::WidthOf(QStringView piece) const {
    const auto* p = reinterpret_cast<const char16_t*>(piece.utf16());
    const qsizetype n = piece.size();
    qint64 width = 0;
    for (qsizetype i = 0; i < n;) {
        if (fixedPitch) {  // runs of cells at once
            const qsizetype slow = WorkTextDocument::NextSlow(p, i, n);
            width += static_cast<qint64>(slow - i) * cellUnits;
            if ((i = slow) >= n) break;
        }
        char32_t code = p[i];
        qsizetype units = 1;
        if (QChar::isHighSurrogate(code) && i + 1 < n && QChar::isLowSurrogate(p[i + 1])) {
            code = QChar::surrogateToUcs4(p[i], p[i + 1]);
            units = 2;
        }
        width += CodeWidth(code);
        i += units;
    }
    return width;
}

qint64 WorkTextLayout::ContentUnits() const { return doc.widest() + (preedit.isEmpty() ? 0 : WidthOf(preedit)); }

qreal WorkTextLayout::ParagraphWidth() const {
    return std::max(viewWidth(), static_cast<qreal>(ContentUnits()) / kUnitsPerPixel);
}

// --- the composition ------------------------------------------------------------

void WorkTextLayout::SetComposition(const QString& text, const QList<QTextLayout::FormatRange>& formats, int caret) {
    preedit = text;
    preeditFormats = formats;
    preeditCursor = caret;
    laidOut.clear();  // the chunks of a long line do not depend on it and stay
}

void WorkTextLayout::CaretMoved() {
    if (!preedit.isEmpty()) laidOut.clear();
}

// --- laid-out parts ---------------------------------------------------------------

bool WorkTextLayout::IsGrid(qsizetype line) const {
    return fixedPitch && doc.isPlainLine(line) && (preedit.isEmpty() || line != doc.lineOf(doc.cursor()));
}

qsizetype WorkTextLayout::ChunkCut(qsizetype lineStart, qsizetype lineEnd, qsizetype nominal) const {
    if (nominal >= lineEnd) return lineEnd;
    // After a blank where one is near, so words stay whole and joined;
    // otherwise between two clusters.
    const QString& text = doc.text();
    for (qsizetype at = nominal; at > nominal - 64 && at > lineStart; --at)
        if (text[at - 1] == u' ' || text[at - 1] == u'\t') return at;
    return doc.previousCharacter(doc.nextCharacter(nominal));
}

const WorkTextLayout::Chunks& WorkTextLayout::ChunksOf(qsizetype line) const {
    for (const Chunks& known : chunks)
        if (known.line == line) return known;
    if (chunks.size() >= 4) chunks.erase(chunks.begin());
    Chunks made{line, {}, {}};
    const qsizetype start = doc.lineStartOf(line), end = doc.lineEndOf(line);
    qint64 x = 0;
    for (qsizetype at = start; at < end;) {
        made.from.push_back(at - start);
        made.x.push_back(x);
        qsizetype next = ChunkCut(start, end, at + kChunk);
        if (next <= at) next = doc.Snap(std::min(end, at + kChunk + 1));
        x += WidthOf(QStringView(doc.text()).mid(at, next - at));
        at = next;
    }
    chunks.push_back(std::move(made));
    return chunks.back();
}

void WorkTextLayout::Forget(qsizetype line) {
    if (line < 0) {
        laidOut.clear();
        chunks.clear();
        return;
    }
    std::erase_if(laidOut, [line](const std::unique_ptr<Laid>& laid) { return laid->line == line; });
    std::erase_if(chunks, [line](const Chunks& known) { return known.line == line; });
}

void WorkTextLayout::Apply(const WorkTextDocument::Change& change) {
    if (change.breaks) return Forget();
    ShiftLayouts(change.line, change.from - doc.lineStartOf(change.line), change.removed.size(), change.inserted.size(),
                 change.widthDelta);
}

void WorkTextLayout::ShiftLayouts(qsizetype line, qsizetype at, qsizetype removed, qsizetype inserted,
                                  qint64 widthDelta) {
    // A long line keeps its chunks through an edit away from their cuts: those
    // after it move by what it changed, and only the chunk it fell in is laid
    // out again. A key on a line of tens of millions of characters measures
    // no more than the key.
    const qsizetype delta = inserted - removed;
    const qsizetype length = doc.lineEndOf(line) - doc.lineStartOf(line);
    if (at < WorkTextDocument::kDirectionReach) {  // the line may have turned: its parts are laid out again
        const bool rightToLeft = doc.IsRightToLeft(line);
        std::erase_if(laidOut, [&](const std::unique_ptr<Laid>& laid) {
            return laid->line == line && laid->rightToLeft != rightToLeft;
        });
    }
    const auto near = [&](qsizetype cut) { return cut >= at - 1 && cut <= at + removed + 1; };
    bool keep = length > kWholeLine && length - delta > kWholeLine;
    for (auto it = chunks.begin(); keep && it != chunks.end(); ++it) {
        if (it->line != line) continue;
        const auto holding = std::upper_bound(it->from.begin(), it->from.end(), at) - it->from.begin() - 1;
        const qsizetype next = static_cast<std::size_t>(holding) + 1 < it->from.size()
                                   ? it->from[static_cast<std::size_t>(holding) + 1]
                                   : length - delta;
        if (next - it->from[static_cast<std::size_t>(holding)] + delta > 2 * kChunk) keep = false;
        for (std::size_t k = 1; keep && k < it->from.size(); ++k) {
            if (near(it->from[k])) keep = false;
            if (it->from[k] > at) {
                it->from[k] += delta;
                it->x[k] += widthDelta;
            }
        }
    }
    if (!keep) return Forget(line);
    const qreal dx = static_cast<qreal>(widthDelta) / kUnitsPerPixel;
    std::erase_if(laidOut, [&](const std::unique_ptr<Laid>& laid) {
        if (laid->line != line || laid->to < at - 1) return false;
        if (laid->from <= at + removed + 1) return true;  // the chunk the edit fell in
        laid->from += delta;
        laid->to += delta;
        laid->x += dx;
        return false;
    });
}

const WorkTextLayout::Laid& WorkTextLayout::LayOut(qsizetype line, qsizetype from, qsizetype to, qreal x) const {
    for (auto it = laidOut.rbegin(); it != laidOut.rend(); ++it)
        if ((*it)->line == line && (*it)->from == from && (*it)->to == to) return **it;
    if (laidOut.size() >= kLaidKept)  // the older half; what is in use was laid out last
        laidOut.erase(laidOut.begin(), laidOut.begin() + static_cast<std::ptrdiff_t>(kLaidKept / 2));
    const qsizetype start = doc.lineStartOf(line);
    const qsizetype caret = doc.cursor() - start;
    const bool lastPart = start + to == doc.lineEndOf(line);
    const bool composing = !preedit.isEmpty() && doc.lineOf(doc.cursor()) == line && caret >= from &&
                           (caret < to || (caret == to && lastPart));
    auto laid = std::make_unique<Laid>();
    laid->line = line;
    laid->from = from;
    laid->to = to;
    laid->preeditAt = composing ? caret - from : -1;
    laid->x = x;
    laid->rightToLeft = doc.IsRightToLeft(line);
    QTextLayout& layout = laid->layout;
    layout.setText(Shown(QStringView(doc.text()).mid(start + from, to - from)));
    layout.setFont(face);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTabStopDistance(kTabCells * cell);
    option.setTextDirection(laid->rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    if (composing) {
        layout.setPreeditArea(static_cast<int>(laid->preeditAt), preedit);
        QList<QTextLayout::FormatRange> formats = preeditFormats;
        if (formats.isEmpty()) {  // the input method said nothing: underlined, as composing text is
            QTextCharFormat underline;
            underline.setFontUnderline(true);
            formats.append({0, static_cast<int>(preedit.size()), underline});
        }
        for (QTextLayout::FormatRange& range : formats) range.start += static_cast<int>(laid->preeditAt);
        layout.setFormats(formats);
    }
    layout.beginLayout();
    QTextLine row = layout.createLine();
    row.setLineWidth(1e6);
    row.setPosition(QPointF(0, 0));
    layout.endLayout();
    laidOut.push_back(std::move(laid));
    return *laidOut.back();
}

// A line up to kWholeLine characters is laid out whole. A longer one is laid
// out in chunks, each where the sum of the widths before it puts it: never on
// top of the one before, since that sum is never short of the layout's, and
// no chunk moves while the view scrolls. The composition widens the cursor's.
const WorkTextLayout::Laid& WorkTextLayout::LaidAt(qsizetype line, qsizetype position) const {
    const qsizetype start = doc.lineStartOf(line), length = doc.lineEndOf(line) - start;
    if (length <= kWholeLine) return LayOut(line, 0, length, 0);
    const Chunks& c = ChunksOf(line);
    const auto index = static_cast<std::size_t>(std::max<std::ptrdiff_t>(
        0, std::upper_bound(c.from.begin(), c.from.end(), position - start) - c.from.begin() - 1));
    qint64 x = c.x[index];
    if (!preedit.isEmpty() && doc.lineOf(doc.cursor()) == line && c.from[index] > doc.cursor() - start)
        x += WidthOf(preedit);
    return LayOut(line, c.from[index], index + 1 < c.from.size() ? c.from[index + 1] : length,
                  static_cast<qreal>(x) / kUnitsPerPixel);
}

const WorkTextLayout::Laid& WorkTextLayout::LaidAtX(qsizetype line, qreal x) const {
    const qsizetype start = doc.lineStartOf(line), length = doc.lineEndOf(line) - start;
    if (length <= kWholeLine) return LayOut(line, 0, length, 0);
    const Chunks& c = ChunksOf(line);
    const qsizetype caret = doc.cursor() - start;
    const qint64 shift = !preedit.isEmpty() && doc.lineOf(doc.cursor()) == line ? WidthOf(preedit) : 0;
    qint64 units = static_cast<qint64>(x * kUnitsPerPixel);
    if (doc.IsRightToLeft(line)) {  // counted from the right end, where the line starts
        const qreal total = static_cast<qreal>(doc.lineWidth(line) + shift) / kUnitsPerPixel;
        units = static_cast<qint64>((std::max(ParagraphWidth(), total) - x) * kUnitsPerPixel);
    }
    std::size_t low = 0, high = c.x.size();  // the last chunk starting at or left of x
    while (high - low > 1) {
        const std::size_t mid = (low + high) / 2;
        const qint64 at = c.x[mid] + (c.from[mid] > caret ? shift : 0);
        (at <= units ? low : high) = mid;
    }
    return LaidAt(line, start + c.from[low]);
}

qreal WorkTextLayout::LeftOf(const Laid& laid) const {
    if (!laid.rightToLeft) return laid.x;
    const qreal natural = laid.layout.lineAt(0).naturalTextWidth();
    const qsizetype length = doc.lineEndOf(laid.line) - doc.lineStartOf(laid.line);
    qreal total = natural;  // of the whole line
    if (length > kWholeLine) {
        const bool composing = !preedit.isEmpty() && doc.lineOf(doc.cursor()) == laid.line;
        total = static_cast<qreal>(doc.lineWidth(laid.line) + (composing ? WidthOf(preedit) : 0)) / kUnitsPerPixel;
    }
    // Where the line's start stands; each part ends, on its right, where the parts before it put it.
    const qreal right = std::max(ParagraphWidth(), total);
    return right - laid.x - natural;
}

int WorkTextLayout::LayoutPosition(const Laid& laid, qsizetype position) const {
    qsizetype at = position - doc.lineStartOf(laid.line) - laid.from;
    if (laid.preeditAt >= 0 && at > laid.preeditAt) at += preedit.size();
    return static_cast<int>(std::clamp<qsizetype>(at, 0, laid.layout.text().size() + preedit.size()));
}

qsizetype WorkTextLayout::TextPosition(const Laid& laid, int layoutPosition) const {
    qsizetype at = layoutPosition;
    if (laid.preeditAt >= 0 && at > laid.preeditAt) at = std::max(laid.preeditAt, at - preedit.size());
    return doc.lineStartOf(laid.line) + std::clamp<qsizetype>(laid.from + at, laid.from, laid.to);
}

// --- positions in pixels ----------------------------------------------------------

qreal WorkTextLayout::XOf(qsizetype position) const {
    const qsizetype line = doc.lineOf(position);
    if (IsGrid(line)) return static_cast<qreal>(position - doc.lineStartOf(line)) * cell;
    const Laid& laid = LaidAt(line, position);
    return LeftOf(laid) + laid.layout.lineAt(0).cursorToX(LayoutPosition(laid, position));
}

qreal WorkTextLayout::CaretX() const {
    const qsizetype cursor = doc.cursor();
    if (preedit.isEmpty()) return XOf(cursor);
    const Laid& laid = LaidAt(doc.lineOf(cursor), cursor);
    return LeftOf(laid) + laid.layout.lineAt(0).cursorToX(LayoutPosition(laid, cursor) + preeditCursor);
}

qsizetype WorkTextLayout::PositionAtX(qsizetype line, qreal x, QTextLine::CursorPosition how) const {
    const qsizetype start = doc.lineStartOf(line), end = doc.lineEndOf(line);
    if (IsGrid(line)) {
        const qreal cells = x / cell + (how == QTextLine::CursorBetweenCharacters ? 0.5 : 0);
        return start + static_cast<qsizetype>(std::clamp<qreal>(std::floor(cells), 0, static_cast<qreal>(end - start)));
    }
    const Laid& laid = LaidAtX(line, x);
    return TextPosition(laid, laid.layout.lineAt(0).xToCursor(x - LeftOf(laid), how));
}

std::pair<qreal, qreal> WorkTextLayout::CharacterSpan(qsizetype position) const {
    const qsizetype line = doc.lineOf(position);
    if (IsGrid(line) || position >= doc.lineEndOf(line)) return {XOf(position), cell};
    // Where the layout put the glyphs of the cluster holding position.
    // (Caret places will not do: at the start of a run the caret stands
    // where the run before it ends.)
    const qsizetype from = doc.previousCharacter(doc.nextCharacter(position));
    const Laid& laid = LaidAt(line, from);
    const QTextLine row = laid.layout.lineAt(0);
    const int at = LayoutPosition(laid, from), length = LayoutPosition(laid, doc.nextCharacter(from)) - at;
    qreal low = std::numeric_limits<qreal>::max(), high = std::numeric_limits<qreal>::lowest();
    for (const QGlyphRun& run : row.glyphRuns(at, length)) {
        const QList<QPointF> places = run.positions();
        const QList<QPointF> advances = run.rawFont().advancesForGlyphIndexes(run.glyphIndexes());
        for (qsizetype k = 0; k < places.size() && k < advances.size(); ++k) {
            low = std::min(low, places[k].x());
            high = std::max(high, places[k].x() + advances[k].x());
        }
    }
    if (low > high) {  // no glyph (a tab): between its caret places
        const qreal a = row.cursorToX(at), b = row.cursorToX(at + length);
        low = std::min(a, b);
        high = std::max(a, b);
    }
    return {LeftOf(laid) + low, std::max<qreal>(1, high - low)};
}

}  // namespace quelvane
