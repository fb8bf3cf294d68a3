// SPDX-License-Identifier: MIT
#include "app/WorkTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QInputMethod>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QRawFont>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTextCharFormat>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

#include "app/WorkTextAccessible.h"

namespace quelvane {

namespace {

constexpr qsizetype kTabCells = 8;
constexpr std::size_t kUndoSteps = 500;
constexpr qreal kLeftMargin = 2;  // a little air before the first cell
constexpr qreal kWheelStepPixels = 20;  // a sideways wheel step, as Qt's own editors take it
constexpr int kUnitsPerPixel = 64;  // width units: the layout's own fixed point
constexpr qsizetype kClusterReach = 256;  // how far back a grapheme cluster is looked for
constexpr qsizetype kDirectionReach = 4096;  // how far a line's first strong character is looked for
constexpr std::size_t kLaidKept = 512;  // laid-out parts kept between paints

// The index of the first character at or after from that is a control
// character (below U+0020: line breaks, tabs) or a line or paragraph
// separator; n when there is none. Eight at a time where the processor
// allows: a hex text of tens of millions of characters has none.
qsizetype NextSpecial(const char16_t* p, qsizetype from, qsizetype n) noexcept {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i controlMax = _mm_set1_epi16(0x1F), separatorMask = _mm_set1_epi16(static_cast<short>(0xFFFE)),
                  separator = _mm_set1_epi16(0x2028), zero = _mm_setzero_si128();
    for (; from + 8 <= n; from += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
        const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(x, controlMax), zero);
        const __m128i lineOrParagraph = _mm_cmpeq_epi16(_mm_and_si128(x, separatorMask), separator);
        const int mask = _mm_movemask_epi8(_mm_or_si128(control, lineOrParagraph));
        if (mask) return from + std::countr_zero(static_cast<unsigned>(mask)) / 2;
    }
#endif
    for (; from < n; ++from)
        if (p[from] < 0x20 || p[from] == 0x2028 || p[from] == 0x2029) return from;
    return n;
}

// A unit the cell grid draws as it is: printable, below the combining marks
// (so no cluster, no joining, no right-to-left), one cell in a fixed-pitch face.
constexpr bool IsCellUnit(char16_t u) noexcept {
    return u >= 0x20 && u < 0x300 && !(u >= 0x7F && u <= 0x9F) && u != 0xAD;
}

// The index of the first unit at or after from that is no cell unit; n when
// there is none. Eight at a time where the processor allows.
qsizetype NextSlow(const char16_t* p, qsizetype from, qsizetype n) noexcept {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i zero = _mm_setzero_si128(), controlMax = _mm_set1_epi16(0x1F), del = _mm_set1_epi16(0x7F),
                  c1Span = _mm_set1_epi16(0x9F - 0x7F), softHyphen = _mm_set1_epi16(0xAD),
                  cellMax = _mm_set1_epi16(0x2FF);
    for (; from + 8 <= n; from += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + from));
        const __m128i control = _mm_cmpeq_epi16(_mm_subs_epu16(x, controlMax), zero);
        const __m128i c1 = _mm_cmpeq_epi16(_mm_subs_epu16(_mm_sub_epi16(x, del), c1Span), zero);
        const __m128i soft = _mm_cmpeq_epi16(x, softHyphen);
        const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(x, cellMax), zero);  // below U+0300
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(control, c1), soft)) | (~_mm_movemask_epi8(low) & 0xFFFF);
        if (mask) return from + std::countr_zero(static_cast<unsigned>(mask)) / 2;
    }
#endif
    for (; from < n; ++from)
        if (!IsCellUnit(p[from])) return from;
    return n;
}

QString Normalized(const QString& plain) {
    QString out = plain;
    if (out.contains(u'\r')) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.replace(u'\r', u'\n');
    }
    out.replace(QChar::ParagraphSeparator, u'\n');
    out.replace(QChar::LineSeparator, u'\n');
    return out;
}

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

bool IsWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c); }

char32_t FirstCharacter(const QString& s) {
    if (s.isEmpty()) return 0;
    if (s.size() > 1 && s[0].isHighSurrogate() && s[1].isLowSurrogate()) return QChar::surrogateToUcs4(s[0], s[1]);
    return s[0].unicode();
}

char32_t LastCharacter(const QString& s) {
    const qsizetype n = s.size();
    if (n == 0) return 0;
    if (n > 1 && s[n - 1].isLowSurrogate() && s[n - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(s[n - 2], s[n - 1]);
    return s[n - 1].unicode();
}

// A word starts where a word character follows something else: there a run
// of typing (or of Delete) becomes a new undo step.
bool WordStartsBetween(const QString& before, const QString& after) {
    return !before.isEmpty() && !after.isEmpty() && IsWordChar(FirstCharacter(after)) &&
           !IsWordChar(LastCharacter(before));
}

int AsInt(qsizetype n) { return static_cast<int>(std::clamp<qsizetype>(n, INT_MIN, INT_MAX)); }

bool IsRedoKey(const QKeyEvent* event) {
    // Both habits of the desktop, whatever the platform theme binds.
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return event->matches(QKeySequence::Redo) || (event->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
           (event->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier));
}

bool IsContextMenuKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    return (event->key() == Qt::Key_Menu && mods == Qt::NoModifier) ||
           (event->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

// What typing may put in the text, as Qt's editors take it: printable
// characters, tabs, format characters (joiners, direction marks), private use.
bool IsTypable(QChar c) {
    return c.isPrint() || c == u'\t' || c.isSurrogate() || c.category() == QChar::Other_Format ||
           c.category() == QChar::Other_PrivateUse;
}

// Qt hands the event on only when a screen reader (or a test) listens.
void Notify(QAccessibleEvent&& event) { QAccessible::updateAccessibility(&event); }

}  // namespace

WorkTextEdit::WorkTextEdit(QWidget* parent) : QAbstractScrollArea(parent) {
    InstallWorkTextAccessible();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
                      QStringLiteral("Nimbus Mono PS"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    font.setPointSizeF(9);
    setFont(font);
    UpdateMetrics();
}

// --- text and line index ----------------------------------------------------

void WorkTextEdit::setPlainText(const QString& plain) {
    const QString before = text;  // shared, not copied
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    if (!preedit.isEmpty()) {
        preedit.clear();
        QGuiApplication::inputMethod()->reset();
    }
    text = plain;
    // One pass finds the lines and whether the text needs the box's line breaks first.
    if (!IndexLines()) {
        text = Normalized(plain);
        IndexLines();
    }
    cursor = anchor = 0;
    desiredX = -1;
    undoSteps.clear();
    redoSteps.clear();
    stepOpen = false;
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    if (!before.isEmpty() || !text.isEmpty()) Notify(QAccessibleTextUpdateEvent(this, 0, before, text));
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

QString WorkTextEdit::textRange(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    return text.mid(from, to - from);
}

bool WorkTextEdit::IndexLines() {
    lineStart.assign(1, 0);
    const auto* p = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    if (fixedPitch) {
        // One pass: runs of cells at once, and between them a line break, a
        // character that needs the box's line breaks first, or one measured alone.
        lineWidth.assign(1, 0);
        lineSlow.assign(1, 0);
        for (qsizetype i = 0;;) {
            const qsizetype at = NextSlow(p, i, n);
            lineWidth.back() += static_cast<qint64>(at - i) * cellUnits;
            if (at >= n) break;
            const char16_t u = p[at];
            if (u == u'\r' || u == 0x2028 || u == 0x2029) return false;
            if (u == u'\n') {
                lineStart.push_back(at + 1);
                lineWidth.push_back(0);
                lineSlow.push_back(0);
                i = at + 1;
                continue;
            }
            const qsizetype units = QChar::isHighSurrogate(u) && at + 1 < n && QChar::isLowSurrogate(p[at + 1]) ? 2 : 1;
            lineWidth.back() += WidthOf(QStringView(p + at, units));
            lineSlow.back() += units;
            i = at + units;
        }
    } else {
        for (qsizetype at = NextSpecial(p, 0, n); at < n; at = NextSpecial(p, at + 1, n)) {
            if (p[at] == u'\n') lineStart.push_back(at + 1);
            if (p[at] == u'\r' || p[at] == 0x2028 || p[at] == 0x2029) return false;
        }
        lineWidth.assign(lineStart.size(), 0);
        lineSlow.assign(lineStart.size(), 0);
        for (qsizetype line = 0; line < lineCount(); ++line) MeasureLine(line);
    }
    UpdateWidest();
    ForgetLayouts();
    return true;
}

void WorkTextEdit::MeasureLine(qsizetype line) {
    const qsizetype start = lineStartOf(line);
    const QStringView piece = QStringView(text).mid(start, lineEndOf(line) - start);
    lineWidth[static_cast<std::size_t>(line)] = WidthOf(piece);
    lineSlow[static_cast<std::size_t>(line)] = SlowUnits(piece);
}

void WorkTextEdit::UpdateWidest() { widest = *std::max_element(lineWidth.begin(), lineWidth.end()); }

void WorkTextEdit::Reindex(qsizetype from, const QString& removed, const QString& inserted) {
    const qsizetype delta = inserted.size() - removed.size();
    const qsizetype line = lineOf(from);
    const auto first = static_cast<std::size_t>(line) + 1;
    const qsizetype removedBreaks = removed.count(u'\n'), insertedBreaks = inserted.count(u'\n');
    if (removedBreaks == 0 && insertedBreaks == 0) {
        // Typing and deleting within a line, the usual case: the later line
        // starts move, and the line's width changes by what the edit took and
        // put (with a half pair either side that may pair up with them).
        // No pass over a text of tens of millions of characters for each key.
        for (std::size_t i = first; i < lineStart.size(); ++i) lineStart[i] += delta;
        const qsizetype insertedEnd = from + inserted.size();
        const qsizetype before = from > 0 && text[from - 1].isHighSurrogate() ? 1 : 0;
        const qsizetype after = insertedEnd < text.size() && text[insertedEnd].isLowSurrogate() ? 1 : 0;
        const QString was = text.mid(from - before, before) + removed + text.mid(insertedEnd, after);
        const qint64 old = lineWidth[first - 1];
        lineWidth[first - 1] +=
            WidthOf(QStringView(text).mid(from - before, before + inserted.size() + after)) - WidthOf(was);
        lineSlow[first - 1] += SlowUnits(inserted) - SlowUnits(removed);
        ShiftLayouts(line, from - lineStartOf(line), removed.size(), inserted.size(), lineWidth[first - 1] - old);
        if (lineWidth[first - 1] >= widest)
            widest = lineWidth[first - 1];
        else if (old == widest)
            UpdateWidest();
        return UpdateScrollBars();
    }
    // Line breaks came or went: the lines the edit touched are measured again.
    const auto gone = static_cast<std::ptrdiff_t>(removedBreaks);
    lineStart.erase(lineStart.begin() + static_cast<std::ptrdiff_t>(first),
                    lineStart.begin() + static_cast<std::ptrdiff_t>(first) + gone);
    lineWidth.erase(lineWidth.begin() + static_cast<std::ptrdiff_t>(first),
                    lineWidth.begin() + static_cast<std::ptrdiff_t>(first) + gone);
    lineSlow.erase(lineSlow.begin() + static_cast<std::ptrdiff_t>(first),
                   lineSlow.begin() + static_cast<std::ptrdiff_t>(first) + gone);
    for (std::size_t i = first; i < lineStart.size(); ++i) lineStart[i] += delta;
    std::vector<qsizetype> starts;
    for (qsizetype at = inserted.indexOf(u'\n'); at >= 0; at = inserted.indexOf(u'\n', at + 1))
        starts.push_back(from + at + 1);
    const auto at = static_cast<std::ptrdiff_t>(first);
    lineStart.insert(lineStart.begin() + at, starts.begin(), starts.end());
    lineWidth.insert(lineWidth.begin() + at, starts.size(), 0);
    lineSlow.insert(lineSlow.begin() + at, starts.size(), 0);
    for (qsizetype l = line; l <= line + insertedBreaks; ++l) MeasureLine(l);
    UpdateWidest();
    ForgetLayouts();
    UpdateScrollBars();
}

int WorkTextEdit::CodeWidth(char32_t code) const {
    if (code == U'\t') return static_cast<int>(kTabCells) * cellUnits;
    if (fixedPitch && code < 0x300 && IsCellUnit(static_cast<char16_t>(code))) return cellUnits;
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
    const qreal advance = QFontMetricsF(font()).horizontalAdvance(QString::fromUcs4(&shown, 1));
    const int width = std::max(0, static_cast<int>(std::ceil(advance * kUnitsPerPixel)));
    if (code < 0x10000)
        bmpWidths[code] = width;
    else
        otherWidths.insert(code, width);
    return width;
}

qint64 WorkTextEdit::WidthOf(QStringView piece) const {
    const auto* p = reinterpret_cast<const char16_t*>(piece.utf16());
    const qsizetype n = piece.size();
    qint64 width = 0;
    for (qsizetype i = 0; i < n;) {
        if (fixedPitch) {  // runs of cells at once
            const qsizetype slow = NextSlow(p, i, n);
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

qsizetype WorkTextEdit::SlowUnits(QStringView piece) const {
    const auto* p = reinterpret_cast<const char16_t*>(piece.utf16());
    const qsizetype n = piece.size();
    qsizetype count = 0;
    for (qsizetype i = NextSlow(p, 0, n); i < n; i = NextSlow(p, i + 1, n)) ++count;
    return count;
}

// --- positions --------------------------------------------------------------

qsizetype WorkTextEdit::lineOf(qsizetype position) const {
    const auto it = std::upper_bound(lineStart.begin(), lineStart.end(), position);
    return std::max<qsizetype>(0, static_cast<qsizetype>(it - lineStart.begin()) - 1);
}

qsizetype WorkTextEdit::lineEndOf(qsizetype line) const {
    return line + 1 < lineCount() ? lineStart[static_cast<std::size_t>(line + 1)] - 1 : text.size();
}

// Below U+0300 no unit joins a cluster with the unit before or after it, so
// between two such units there is always a boundary; only elsewhere does the
// boundary finder run, over a window of the line around the position, from a
// place where a boundary is sure.
qsizetype WorkTextEdit::nextCharacter(qsizetype position) const {
    const qsizetype n = text.size();
    if (position >= n) return n;
    if (position < 0) return 0;
    const auto* p = reinterpret_cast<const char16_t*>(text.constData());
    if (p[position] == u'\n' || (p[position] < 0x300 && (position + 1 == n || p[position + 1] < 0x300)))
        return position + 1;
    return ClusterBoundary(position, true);
}

qsizetype WorkTextEdit::previousCharacter(qsizetype position) const {
    if (position <= 0) return 0;
    position = std::min(position, text.size());
    const auto* p = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype before = position - 1;
    if (p[before] == u'\n' || (p[before] < 0x300 && (before == 0 || p[before - 1] < 0x300))) return before;
    return ClusterBoundary(position, false);
}

qsizetype WorkTextEdit::ClusterBoundary(qsizetype position, bool forward) const {
    const auto* p = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype line = lineOf(forward ? position : position - 1);
    const qsizetype start = lineStartOf(line);
    qsizetype from = forward ? position : position - 1;
    while (from > start && position - from < kClusterReach && !(p[from] < 0x300 && p[from - 1] < 0x300)) --from;
    // Looking back, what follows position does not matter.
    const qsizetype to = forward ? std::min(lineEndOf(line), position + kClusterReach) : position;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(position - from);
    const qsizetype found = forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
    return found < 0 ? (forward ? to : from) : from + found;
}

qsizetype WorkTextEdit::PreviousCodePoint(qsizetype position) const {
    if (position <= 0) return 0;
    position = std::min(position, text.size());
    if (text[position - 1].isLowSurrogate() && position >= 2 && text[position - 2].isHighSurrogate())
        return position - 2;
    return position - 1;
}

qsizetype WorkTextEdit::Snap(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, text.size());
    if (position > 0 && position < text.size() && text[position].isLowSurrogate() &&
        text[position - 1].isHighSurrogate())
        return position - 1;
    return position;
}

char32_t WorkTextEdit::CharacterAt(qsizetype position) const {
    if (position + 1 < text.size() && text[position].isHighSurrogate() && text[position + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[position], text[position + 1]);
    return text[position].unicode();
}

char32_t WorkTextEdit::CharacterBefore(qsizetype position) const { return CharacterAt(previousCharacter(position)); }

// --- layout -----------------------------------------------------------------

bool WorkTextEdit::IsGrid(qsizetype line) const {
    return fixedPitch && lineSlow[static_cast<std::size_t>(line)] == 0 && (preedit.isEmpty() || line != lineOf(cursor));
}

bool WorkTextEdit::IsRightToLeft(qsizetype line) const {
    if (lineSlow[static_cast<std::size_t>(line)] == 0) return false;  // cells hold no right-to-left letter
    const qsizetype start = lineStartOf(line);
    return QStringView(text).mid(start, std::min(lineEndOf(line) - start, kDirectionReach)).isRightToLeft();
}

qsizetype WorkTextEdit::ChunkCut(qsizetype lineStart, qsizetype lineEnd, qsizetype nominal) const {
    if (nominal >= lineEnd) return lineEnd;
    // After a blank where one is near, so words stay whole and joined;
    // otherwise between two clusters.
    for (qsizetype at = nominal; at > nominal - 64 && at > lineStart; --at)
        if (text[at - 1] == u' ' || text[at - 1] == u'\t') return at;
    return previousCharacter(nextCharacter(nominal));
}

const WorkTextEdit::Chunks& WorkTextEdit::ChunksOf(qsizetype line) const {
    for (const Chunks& known : chunks)
        if (known.line == line) return known;
    if (chunks.size() >= 4) chunks.erase(chunks.begin());
    Chunks made{line, {}, {}};
    const qsizetype start = lineStartOf(line), end = lineEndOf(line);
    qint64 x = 0;
    for (qsizetype at = start; at < end;) {
        made.from.push_back(at - start);
        made.x.push_back(x);
        qsizetype next = ChunkCut(start, end, at + kChunk);
        if (next <= at) next = Snap(std::min(end, at + kChunk + 1));
        x += WidthOf(QStringView(text).mid(at, next - at));
        at = next;
    }
    chunks.push_back(std::move(made));
    return chunks.back();
}

void WorkTextEdit::ForgetLayouts(qsizetype line) {
    if (line < 0) {
        laidOut.clear();
        chunks.clear();
        return;
    }
    std::erase_if(laidOut, [line](const std::unique_ptr<Laid>& laid) { return laid->line == line; });
    std::erase_if(chunks, [line](const Chunks& known) { return known.line == line; });
}

void WorkTextEdit::ShiftLayouts(qsizetype line, qsizetype at, qsizetype removed, qsizetype inserted,
                                qint64 widthDelta) {
    // A long line keeps its chunks through an edit away from their cuts: those
    // after it move by what it changed, and only the chunk it fell in is laid
    // out again. A key on a line of tens of millions of characters measures
    // no more than the key.
    const qsizetype delta = inserted - removed;
    const qsizetype length = lineEndOf(line) - lineStartOf(line);
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
    if (!keep) return ForgetLayouts(line);
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

const WorkTextEdit::Laid& WorkTextEdit::LayOut(qsizetype line, qsizetype from, qsizetype to, qreal x) const {
    for (auto it = laidOut.rbegin(); it != laidOut.rend(); ++it)
        if ((*it)->line == line && (*it)->from == from && (*it)->to == to) return **it;
    if (laidOut.size() >= kLaidKept)  // the older half; what is in use was laid out last
        laidOut.erase(laidOut.begin(), laidOut.begin() + static_cast<std::ptrdiff_t>(kLaidKept / 2));
    const qsizetype start = lineStartOf(line);
    const qsizetype caret = cursor - start;
    const bool lastPart = start + to == lineEndOf(line);
    const bool composing =
        !preedit.isEmpty() && lineOf(cursor) == line && caret >= from && (caret < to || (caret == to && lastPart));
    auto laid = std::make_unique<Laid>();
    laid->line = line;
    laid->from = from;
    laid->to = to;
    laid->preeditAt = composing ? caret - from : -1;
    laid->x = x;
    QTextLayout& layout = laid->layout;
    layout.setText(Shown(QStringView(text).mid(start + from, to - from)));
    layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTabStopDistance(kTabCells * cellWidth);
    option.setTextDirection(IsRightToLeft(line) ? Qt::RightToLeft : Qt::LeftToRight);
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
const WorkTextEdit::Laid& WorkTextEdit::LaidAt(qsizetype line, qsizetype position) const {
    const qsizetype start = lineStartOf(line), length = lineEndOf(line) - start;
    if (length <= kWholeLine) return LayOut(line, 0, length, 0);
    const Chunks& c = ChunksOf(line);
    const auto index = static_cast<std::size_t>(std::max<std::ptrdiff_t>(
        0, std::upper_bound(c.from.begin(), c.from.end(), position - start) - c.from.begin() - 1));
    qint64 x = c.x[index];
    if (!preedit.isEmpty() && lineOf(cursor) == line && c.from[index] > cursor - start) x += WidthOf(preedit);
    return LayOut(line, c.from[index], index + 1 < c.from.size() ? c.from[index + 1] : length,
                  static_cast<qreal>(x) / kUnitsPerPixel);
}

const WorkTextEdit::Laid& WorkTextEdit::LaidAtX(qsizetype line, qreal x) const {
    const qsizetype start = lineStartOf(line), length = lineEndOf(line) - start;
    if (length <= kWholeLine) return LayOut(line, 0, length, 0);
    const Chunks& c = ChunksOf(line);
    const qint64 shift = !preedit.isEmpty() && lineOf(cursor) == line ? WidthOf(preedit) : 0;
    const qint64 units = static_cast<qint64>(x * kUnitsPerPixel);
    std::size_t low = 0, high = c.x.size();  // the last chunk starting at or left of x
    while (high - low > 1) {
        const std::size_t mid = (low + high) / 2;
        const qint64 at = c.x[mid] + (c.from[mid] > cursor - start ? shift : 0);
        (at <= units ? low : high) = mid;
    }
    return LaidAt(line, start + c.from[low]);
}

int WorkTextEdit::LayoutPosition(const Laid& laid, qsizetype position) const {
    qsizetype at = position - lineStartOf(laid.line) - laid.from;
    if (laid.preeditAt >= 0 && at > laid.preeditAt) at += preedit.size();
    return static_cast<int>(std::clamp<qsizetype>(at, 0, laid.layout.text().size() + preedit.size()));
}

qsizetype WorkTextEdit::TextPosition(const Laid& laid, int layoutPosition) const {
    qsizetype at = layoutPosition;
    if (laid.preeditAt >= 0 && at > laid.preeditAt) at = std::max(laid.preeditAt, at - preedit.size());
    return lineStartOf(laid.line) + std::clamp<qsizetype>(laid.from + at, laid.from, laid.to);
}

qreal WorkTextEdit::XOf(qsizetype position) const {
    const qsizetype line = lineOf(position);
    if (IsGrid(line)) return static_cast<qreal>(position - lineStartOf(line)) * cellWidth;
    const Laid& laid = LaidAt(line, position);
    return laid.x + laid.layout.lineAt(0).cursorToX(LayoutPosition(laid, position));
}

qreal WorkTextEdit::CaretX() const {
    if (preedit.isEmpty()) return XOf(cursor);
    const Laid& laid = LaidAt(lineOf(cursor), cursor);
    return laid.x + laid.layout.lineAt(0).cursorToX(LayoutPosition(laid, cursor) + preeditCursor);
}

qsizetype WorkTextEdit::PositionAtX(qsizetype line, qreal x, QTextLine::CursorPosition how) const {
    const qsizetype start = lineStartOf(line), end = lineEndOf(line);
    if (IsGrid(line)) {
        const qreal cells = x / cellWidth + (how == QTextLine::CursorBetweenCharacters ? 0.5 : 0);
        return start + static_cast<qsizetype>(std::clamp<qreal>(std::floor(cells), 0, static_cast<qreal>(end - start)));
    }
    const Laid& laid = LaidAtX(line, x);
    return TextPosition(laid, laid.layout.lineAt(0).xToCursor(x - laid.x, how));
}

qreal WorkTextEdit::ContentLeft() const { return horizontalScrollBar()->value() * cellWidth; }

qsizetype WorkTextEdit::positionAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / lineHeight)), 0,
        lineCount() - 1);
    return PositionAtX(line, point.x() - kLeftMargin + ContentLeft(), QTextLine::CursorBetweenCharacters);
}

qsizetype WorkTextEdit::characterAt(const QPoint& point) const {
    const qsizetype line = std::clamp<qsizetype>(
        verticalScrollBar()->value() + static_cast<qsizetype>(std::max(0.0, point.y() / lineHeight)), 0,
        lineCount() - 1);
    return PositionAtX(line, point.x() - kLeftMargin + ContentLeft(), QTextLine::CursorOnCharacter);
}

QRect WorkTextEdit::characterRect(qsizetype position) const {
    position = Snap(position);
    const qsizetype line = lineOf(position);
    const qreal y = static_cast<qreal>(line - verticalScrollBar()->value()) * lineHeight;
    qreal left = XOf(position), width = cellWidth;
    if (!IsGrid(line) && position < lineEndOf(line)) {
        // Where the layout put the glyphs of the cluster holding position.
        // (Caret places will not do: at the start of a run the caret stands
        // where the run before it ends.)
        const qsizetype from = previousCharacter(nextCharacter(position));
        const Laid& laid = LaidAt(line, from);
        const QTextLine row = laid.layout.lineAt(0);
        const int at = LayoutPosition(laid, from), length = LayoutPosition(laid, nextCharacter(from)) - at;
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
        left = laid.x + low;
        width = std::max<qreal>(1, high - low);
    }
    return QRectF(kLeftMargin + left - ContentLeft(), y, width, lineHeight).toAlignedRect();
}

QString WorkTextEdit::selectedText() const { return text.mid(selectionStart(), selectionEnd() - selectionStart()); }

void WorkTextEdit::setCursorPosition(qsizetype position, bool keepAnchor) {
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    cursor = Snap(position);
    if (!keepAnchor) anchor = cursor;
    desiredX = -1;  // moving up or down sets it again
    stepOpen = false;
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::setSelection(qsizetype anchorPosition, qsizetype cursorPosition) {
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    anchor = Snap(anchorPosition);
    cursor = Snap(cursorPosition);
    desiredX = -1;
    stepOpen = false;
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
}

void WorkTextEdit::CursorMoved(qsizetype oldCursor, qsizetype oldAnchor) {
    if (!preedit.isEmpty() && cursor != oldCursor) laidOut.clear();  // the composition moves with the caret
    viewport()->update();
    updateMicroFocus();
    const bool selectionChanged =
        std::min(oldCursor, oldAnchor) != selectionStart() || std::max(oldCursor, oldAnchor) != selectionEnd();
    const bool hadSelection = oldCursor != oldAnchor;
    if (selectionChanged && (hadSelection || hasSelection())) {
        QAccessibleTextSelectionEvent event(this, AsInt(selectionStart()), AsInt(selectionEnd()));
        event.setCursorPosition(AsInt(cursor));
        Notify(std::move(event));
    }
    if (cursor != oldCursor) Notify(QAccessibleTextCursorEvent(this, AsInt(cursor)));
    // The primary selection follows the selection once it settles: at once
    // from the keyboard, when the button is released from the mouse.
    if (selectionChanged && hasSelection() && !selectingWithMouse) primaryUpdate.start(0, this);
}

// --- editing --------------------------------------------------------------

void WorkTextEdit::Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind,
                          unsigned long keyTime) {
    redoSteps.clear();
    if (stepOpen && !undoSteps.empty() && kind != EditKind::Other && undoSteps.back().kind == kind) {
        Edit& last = undoSteps.back();
        const bool paused = keyTime != 0 && last.lastKeyTime != 0 && keyTime > last.lastKeyTime &&
                            keyTime - last.lastKeyTime > kTypingPauseMs;
        bool grown = false;
        if (!paused && kind == EditKind::Typing && removed.isEmpty() && last.at + last.inserted.size() == from &&
            !WordStartsBetween(last.inserted, insert)) {
            last.inserted += insert;
            grown = true;
        } else if (!paused && kind == EditKind::Backspace && insert.isEmpty() && last.inserted.isEmpty() &&
                   from + removed.size() == last.at &&
                   !(IsWordChar(LastCharacter(removed)) && !IsWordChar(FirstCharacter(last.removed)))) {
            last.at = from;
            last.removed.prepend(removed);
            grown = true;
        } else if (!paused && kind == EditKind::Delete && insert.isEmpty() && last.inserted.isEmpty() &&
                   last.at == from && !WordStartsBetween(last.removed, removed)) {
            last.removed += removed;
            grown = true;
        }
        if (grown) {
            last.lastKeyTime = keyTime;
            return;
        }
    }
    undoSteps.push_back({from, removed, insert, kind, keyTime});
    if (undoSteps.size() > kUndoSteps) undoSteps.erase(undoSteps.begin());
    stepOpen = kind != EditKind::Other;
}

void WorkTextEdit::Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind, unsigned long keyTime,
                           bool record) {
    from = std::clamp<qsizetype>(from, 0, text.size());
    to = std::clamp<qsizetype>(to, from, text.size());
    const QString removed = text.mid(from, to - from);
    if (removed.isEmpty() && insert.isEmpty()) return;
    if (record) Record(from, removed, insert, kind, keyTime);
    const qsizetype oldCursor = cursor, oldAnchor = anchor;
    text.replace(from, to - from, insert);
    Reindex(from, removed, insert);
    // Joining two lone halves of a pair must not leave the cursor between them.
    cursor = anchor = Snap(from + insert.size());
    desiredX = -1;
    // Screen readers follow typing and reading from these: only the changed
    // part travels, never the whole text.
    if (!removed.isEmpty() && !insert.isEmpty())
        Notify(QAccessibleTextUpdateEvent(this, AsInt(from), removed, insert));
    else if (!removed.isEmpty())
        Notify(QAccessibleTextRemoveEvent(this, AsInt(from), removed));
    else
        Notify(QAccessibleTextInsertEvent(this, AsInt(from), insert));
    EnsureCursorVisible();
    RestartBlink();
    CursorMoved(oldCursor, oldAnchor);
    emit textChanged();
}

void WorkTextEdit::replaceRange(qsizetype from, qsizetype to, const QString& insert) {
    from = Snap(from);
    to = Snap(std::max(from, to));
    if (to < text.size() && to > from && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
    stepOpen = false;
    Replace(from, to, Normalized(insert));
    stepOpen = false;
}

void WorkTextEdit::insertPlainText(const QString& insert) {
    Replace(selectionStart(), selectionEnd(), Normalized(insert));
}

void WorkTextEdit::selectAll() { setSelection(0, text.size()); }

void WorkTextEdit::copy() {
    if (hasSelection()) QGuiApplication::clipboard()->setText(selectedText());
}

void WorkTextEdit::cut() {
    if (!hasSelection()) return;
    copy();
    insertPlainText(QString());
}

void WorkTextEdit::paste() {
    const QString pasted = QGuiApplication::clipboard()->text();
    if (!pasted.isEmpty()) insertPlainText(pasted);
}

void WorkTextEdit::PasteAt(qsizetype position, const QString& pasted) {
    if (pasted.isEmpty()) return;
    setCursorPosition(position);
    insertPlainText(pasted);
}

void WorkTextEdit::undo() {
    if (undoSteps.empty()) return;
    const Edit step = undoSteps.back();
    undoSteps.pop_back();
    Replace(step.at, step.at + step.inserted.size(), step.removed, EditKind::Other, 0, false);
    redoSteps.push_back(step);
    stepOpen = false;
}

void WorkTextEdit::redo() {
    if (redoSteps.empty()) return;
    const Edit step = redoSteps.back();
    redoSteps.pop_back();
    Replace(step.at, step.at + step.removed.size(), step.inserted, EditKind::Other, 0, false);
    undoSteps.push_back(step);
    stepOpen = false;
}

qsizetype WorkTextEdit::WordStart(qsizetype position) const {
    qsizetype p = position;
    while (p > 0 && !IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    while (p > 0 && IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    return p;
}

qsizetype WorkTextEdit::WordEnd(qsizetype position) const {
    qsizetype p = position;
    while (p < text.size() && !IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    while (p < text.size() && IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    return p;
}

void WorkTextEdit::MoveVertically(qsizetype lines, bool keepAnchor) {
    if (desiredX < 0) desiredX = XOf(cursor);
    const qsizetype line = std::clamp<qsizetype>(lineOf(cursor) + lines, 0, lineCount() - 1);
    const qreal x = desiredX;
    setCursorPosition(PositionAtX(line, x, QTextLine::CursorBetweenCharacters), keepAnchor);
    desiredX = x;
}

bool WorkTextEdit::TakesKey(const QKeyEvent* event) const {
    static constexpr QKeySequence::StandardKey kEditingKeys[] = {QKeySequence::Copy,
                                                                 QKeySequence::Cut,
                                                                 QKeySequence::Paste,
                                                                 QKeySequence::Undo,
                                                                 QKeySequence::Redo,
                                                                 QKeySequence::SelectAll,
                                                                 QKeySequence::Delete,
                                                                 QKeySequence::DeleteEndOfLine,
                                                                 QKeySequence::DeleteStartOfWord,
                                                                 QKeySequence::DeleteEndOfWord,
                                                                 QKeySequence::MoveToStartOfLine,
                                                                 QKeySequence::MoveToEndOfLine,
                                                                 QKeySequence::MoveToStartOfDocument,
                                                                 QKeySequence::MoveToEndOfDocument,
                                                                 QKeySequence::Backspace};
    for (const QKeySequence::StandardKey key : kEditingKeys)
        if (event->matches(key)) return true;
    if (IsRedoKey(event) || IsContextMenuKey(event)) return true;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return mods == Qt::NoModifier && event->key() < Qt::Key_Escape;  // plain typing
}

bool WorkTextEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride && TakesKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void WorkTextEdit::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const unsigned long time = event->timestamp();
    const qsizetype page = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight) - 1);
    auto move = [&](qsizetype to) { setCursorPosition(to, shift); };
    auto removeSelection = [&] { Replace(selectionStart(), selectionEnd(), QString()); };

    if (IsContextMenuKey(event)) {
        const QRect caret = characterRect(cursor);
        const QPoint at =
            viewport()->rect().contains(caret.center()) ? caret.bottomLeft() : viewport()->rect().center();
        return ShowContextMenu(viewport()->mapToGlobal(at));
    }
    if (event == QKeySequence::SelectAll) return selectAll();
    if (event == QKeySequence::Copy) return copy();
    if (event == QKeySequence::Cut) return cut();
    if (event == QKeySequence::Paste) return paste();
    if (event == QKeySequence::Undo) return undo();
    if (IsRedoKey(event)) return redo();
    // The platform's own editing keys where they are letters (Ctrl+D, Ctrl+K,
    // Ctrl+E on X11); the named keys follow below.
    if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
        if (event == QKeySequence::Delete) {
            if (hasSelection()) return removeSelection();
            return Replace(cursor, nextCharacter(cursor), QString(), EditKind::Delete, time);
        }
        if (event == QKeySequence::DeleteEndOfLine) {
            if (hasSelection()) return removeSelection();
            const qsizetype end = lineEndOf(lineOf(cursor));
            return Replace(cursor, end > cursor ? end : nextCharacter(cursor), QString());
        }
        if (event == QKeySequence::MoveToStartOfLine) return move(lineStartOf(lineOf(cursor)));
        if (event == QKeySequence::MoveToEndOfLine) return move(lineEndOf(lineOf(cursor)));
    }

    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right: {
            // As in Qt's editors: logical steps, reversed (collapsing a
            // selection too) in a line whose first strong character is
            // right-to-left, where Left goes on through the text.
            const bool back = (event->key() == Qt::Key_Left) != IsRightToLeft(lineOf(cursor));
            if (!shift && hasSelection()) return move(back ? selectionStart() : selectionEnd());
            if (back) return move(control ? WordStart(cursor) : previousCharacter(cursor));
            return move(control ? WordEnd(cursor) : nextCharacter(cursor));
        }
        case Qt::Key_Up:
            return MoveVertically(-1, shift);
        case Qt::Key_Down:
            return MoveVertically(1, shift);
        case Qt::Key_PageUp:
            return MoveVertically(-page, shift);
        case Qt::Key_PageDown:
            return MoveVertically(page, shift);
        case Qt::Key_Home:
            return move(control ? 0 : lineStartOf(lineOf(cursor)));
        case Qt::Key_End:
            return move(control ? text.size() : lineEndOf(lineOf(cursor)));
        case Qt::Key_Backspace:
            // The code point before the caret, as Qt's editors do: a mark
            // comes off its letter, the last part of an emoji sequence goes.
            if (hasSelection()) return removeSelection();
            if (cursor == 0) return;
            if (control) return Replace(WordStart(cursor), cursor, QString());
            return Replace(PreviousCodePoint(cursor), cursor, QString(), EditKind::Backspace, time);
        case Qt::Key_Delete:
            if (hasSelection()) return removeSelection();
            if (cursor == text.size()) return;
            if (control) return Replace(cursor, WordEnd(cursor), QString());
            return Replace(cursor, nextCharacter(cursor), QString(), EditKind::Delete, time);
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return Replace(selectionStart(), selectionEnd(), QStringLiteral("\n"), EditKind::Typing, time);
        default:
            break;
    }
    const QString typed = event->text();
    const bool typable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), IsTypable);
    if (typable && !control)
        return Replace(selectionStart(), selectionEnd(), Normalized(typed), EditKind::Typing, time);
    QAbstractScrollArea::keyPressEvent(event);
}

// --- input methods ----------------------------------------------------------

void WorkTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    event->accept();
    const QString commit = Normalized(event->commitString());
    // The composition stays on the caret's line, whatever it holds.
    const QString composing = Normalized(event->preeditString()).replace(u'\n', u' ');
    const bool replacing = event->replacementLength() > 0 || event->replacementStart() != 0;
    // What was laid out with the composition goes; the chunks of a long line
    // do not depend on it and stay.
    if (!preedit.isEmpty()) {
        preedit.clear();
        laidOut.clear();
    }
    if (replacing) {
        // The input method replaces text around the cursor with its commit.
        const qsizetype from = Snap(cursor + event->replacementStart());
        qsizetype to = std::clamp<qsizetype>(from + std::max(0, event->replacementLength()), from, text.size());
        if (to > from && to < text.size() && text[to].isLowSurrogate() && text[to - 1].isHighSurrogate()) ++to;
        if (to > from || !commit.isEmpty()) Replace(from, to, commit);
    } else if (!commit.isEmpty()) {
        Replace(selectionStart(), selectionEnd(), commit, EditKind::Typing);
    } else if (!composing.isEmpty() && hasSelection()) {
        Replace(selectionStart(), selectionEnd(), QString());  // a composition takes the selection's place
    }
    preeditFormats.clear();
    preeditCursor = static_cast<int>(composing.size());
    preeditCaretShown = true;
    for (const QInputMethodEvent::Attribute& a : event->attributes()) {
        if (a.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            if (format.isValid() && a.length > 0) preeditFormats.append({a.start, a.length, format});
        } else if (a.type == QInputMethodEvent::Cursor) {
            preeditCursor = std::clamp(a.start, 0, static_cast<int>(composing.size()));
            preeditCaretShown = a.length != 0;
        } else if (a.type == QInputMethodEvent::Selection && composing.isEmpty()) {
            // Relative to the text the input method was given.
            const qsizetype base = SurroundingStart();
            setSelection(base + a.start, base + a.start + a.length);
        }
    }
    preedit = composing;
    laidOut.clear();
    UpdateScrollBars();
    if (!preedit.isEmpty()) EnsureCursorVisible();
    viewport()->update();
    updateMicroFocus();
}

qsizetype WorkTextEdit::SurroundingStart() const {
    const qsizetype start = lineStartOf(lineOf(cursor));
    return cursor - start <= kSurrounding ? start : previousCharacter(nextCharacter(cursor - kSurrounding));
}

qsizetype WorkTextEdit::SurroundingEnd() const {
    const qsizetype end = lineEndOf(lineOf(cursor));
    return end - cursor <= kSurrounding ? end : previousCharacter(nextCharacter(cursor + kSurrounding));
}

// What an input method asks, as Qt's editors answer it: positions are text
// positions relative to the surrounding text, the cursor's line (a long one
// cut kSurrounding characters either side of the cursor).
QVariant WorkTextEdit::inputMethodQuery(Qt::InputMethodQuery query) const {
    const auto caretRect = [&](qreal x, qsizetype position) {
        const qreal y = static_cast<qreal>(lineOf(position) - verticalScrollBar()->value()) * lineHeight;
        return QRectF(kLeftMargin + x - ContentLeft(), y, 1, lineHeight).toAlignedRect().translated(viewport()->pos());
    };
    switch (query) {
        case Qt::ImEnabled:
            return true;
        case Qt::ImCursorRectangle:
            return caretRect(CaretX(), cursor);
        case Qt::ImAnchorRectangle:
            return caretRect(XOf(anchor), anchor);
        case Qt::ImFont:
            return font();
        case Qt::ImSurroundingText: {
            const qsizetype from = SurroundingStart();
            return text.mid(from, SurroundingEnd() - from);
        }
        case Qt::ImCursorPosition:
            return AsInt(cursor - SurroundingStart());
        case Qt::ImAnchorPosition: {
            // Kept within the surrounding text, which some input methods check.
            const qsizetype from = SurroundingStart();
            return AsInt(std::clamp(anchor, from, SurroundingEnd()) - from);
        }
        case Qt::ImAbsolutePosition:
            return AsInt(cursor);
        case Qt::ImCurrentSelection: {
            // The part within the surrounding text: never a whole hex text per question.
            const qsizetype from = std::max(selectionStart(), SurroundingStart());
            const qsizetype to = std::min(selectionEnd(), SurroundingEnd());
            return to > from ? text.mid(from, to - from) : QString();
        }
        case Qt::ImTextBeforeCursor: {
            const qsizetype from = std::max(SurroundingStart(), Snap(cursor - 1024));
            return text.mid(from, cursor - from);
        }
        case Qt::ImTextAfterCursor:
            return text.mid(cursor, std::min(SurroundingEnd(), Snap(cursor + 1024)) - cursor);
        case Qt::ImMaximumTextLength:
            return QVariant();  // no limit
        default:
            return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// --- mouse and menu ---------------------------------------------------------

void WorkTextEdit::mousePressEvent(QMouseEvent* event) {
    if (!preedit.isEmpty()) QGuiApplication::inputMethod()->commit();  // a click ends the composition
    const qsizetype at = positionAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        selectingWithMouse = true;
        setCursorPosition(at, event->modifiers() & Qt::ShiftModifier);
    } else if (event->button() == Qt::MiddleButton) {
        const QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) PasteAt(at, clipboard->text(QClipboard::Selection));
    }
}

void WorkTextEdit::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) setCursorPosition(positionAt(event->position().toPoint()), true);
}

void WorkTextEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !selectingWithMouse) return;
    selectingWithMouse = false;
    if (hasSelection()) primaryUpdate.start(0, this);
}

void WorkTextEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const qsizetype at = positionAt(event->position().toPoint());
    qsizetype from = at, to = at;
    while (from > 0 && IsWordChar(CharacterBefore(from))) from = previousCharacter(from);
    while (to < text.size() && IsWordChar(CharacterAt(to))) to = nextCharacter(to);
    setSelection(from, to);
}

void WorkTextEdit::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect caret = characterRect(cursor);
        const QPoint at =
            viewport()->rect().contains(caret.center()) ? caret.bottomLeft() : viewport()->rect().center();
        return ShowContextMenu(viewport()->mapToGlobal(at));
    }
    ShowContextMenu(event->globalPos());
}

void WorkTextEdit::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("WorkTextMenu"));
    auto add = [&](const QString& caption, QKeySequence::StandardKey key, void (WorkTextEdit::*slot)(), bool enabled) {
        const QString keys = QKeySequence(key).toString(QKeySequence::NativeText);
        QAction* action = menu.addAction(keys.isEmpty() ? caption : caption + u'\t' + keys, this, slot);
        action->setEnabled(enabled);
    };
    add(tr("&Undo"), QKeySequence::Undo, &WorkTextEdit::undo, isUndoAvailable());
    add(tr("&Redo"), QKeySequence::Redo, &WorkTextEdit::redo, isRedoAvailable());
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, &WorkTextEdit::cut, hasSelection());
    add(tr("&Copy"), QKeySequence::Copy, &WorkTextEdit::copy, hasSelection());
    add(tr("&Paste"), QKeySequence::Paste, &WorkTextEdit::paste, !QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    add(tr("Select &All"), QKeySequence::SelectAll, &WorkTextEdit::selectAll, !text.isEmpty());
    menu.exec(globalPos);
}

// --- view -------------------------------------------------------------------

void WorkTextEdit::UpdateMetrics() {
    const QFontMetricsF metrics(font());
    cellWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
    cellUnits = std::max(1, static_cast<int>(std::lround(cellWidth * kUnitsPerPixel)));
    lineHeight = std::max<qreal>(1, metrics.lineSpacing());
    ascent = metrics.ascent();
    fixedPitch = QFontInfo(font()).fixedPitch();
    // Every width depends on the face.
    bmpWidths.clear();
    otherWidths.clear();
    for (qsizetype line = 0; line < lineCount(); ++line) MeasureLine(line);
    UpdateWidest();
    ForgetLayouts();
    UpdateScrollBars();
}

void WorkTextEdit::UpdateScrollBars() {
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / lineHeight);
    const qsizetype columns = static_cast<qsizetype>(viewport()->width() / cellWidth);
    const qint64 units = widest + (preedit.isEmpty() ? 0 : WidthOf(preedit));
    const qsizetype widestCells = static_cast<qsizetype>((units + cellUnits - 1) / cellUnits);
    constexpr qsizetype kMax = std::numeric_limits<int>::max() - 1;
    verticalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(lineCount() - rows, 0, kMax)));
    verticalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, rows)));
    horizontalScrollBar()->setRange(0, static_cast<int>(std::clamp<qsizetype>(widestCells + 1 - columns, 0, kMax)));
    horizontalScrollBar()->setPageStep(static_cast<int>(std::max<qsizetype>(1, columns)));
    // The bar counts cells; a wheel step moves about as far as in Qt's own editors.
    horizontalScrollBar()->setSingleStep(std::max(1, qRound(kWheelStepPixels / cellWidth)));
}

void WorkTextEdit::ensurePositionVisible(qsizetype position) {
    position = Snap(position);
    const qsizetype rows = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->height() / lineHeight));
    const qsizetype columns = std::max<qsizetype>(1, static_cast<qsizetype>(viewport()->width() / cellWidth));
    const qsizetype line = lineOf(position);
    const auto cell = static_cast<qsizetype>(std::floor(XOf(position) / cellWidth));
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    if (line < v->value()) v->setValue(static_cast<int>(line));
    if (line >= v->value() + rows) v->setValue(static_cast<int>(line - rows + 1));
    if (cell < h->value()) h->setValue(static_cast<int>(std::max<qsizetype>(0, cell - columns / 4)));
    if (cell >= h->value() + columns) h->setValue(static_cast<int>(cell - columns + columns / 4 + 1));
}

void WorkTextEdit::scrollContentsBy(int, int) {
    viewport()->update();
    updateMicroFocus();  // the caret moved on the screen
}

void WorkTextEdit::PaintLaid(QPainter& painter, const Laid& laid, qreal top) const {
    const QPalette& pal = palette();
    const qsizetype start = lineStartOf(laid.line);
    const qsizetype from = std::max(selectionStart(), start + laid.from);
    const qsizetype to = std::min(selectionEnd(), start + laid.to);
    QList<QTextLayout::FormatRange> selection;
    if (from < to) {
        // Drawn by the layout in the glyphs' own places: joined letters and
        // right-to-left runs do not move when a selection covers part of them.
        QTextCharFormat format;
        format.setBackground(pal.highlight());
        format.setForeground(pal.highlightedText());
        const int at = LayoutPosition(laid, from);
        selection.append({at, LayoutPosition(laid, to) - at, format});
    }
    const QTextLine row = laid.layout.lineAt(0);
    painter.setPen(pal.color(QPalette::Text));
    // On the grid's baseline, whatever the fallback faces' heights.
    laid.layout.draw(&painter, QPointF(kLeftMargin + laid.x - ContentLeft(), top + ascent - row.ascent()), selection);
}

void WorkTextEdit::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.setFont(font());
    const QPalette& pal = palette();
    const qsizetype firstLine = verticalScrollBar()->value();
    const qsizetype firstCell = horizontalScrollBar()->value();
    const qreal left = ContentLeft(), width = viewport()->width();
    const qsizetype rows = static_cast<qsizetype>(viewport()->height() / lineHeight) + 1;
    const qsizetype columns = static_cast<qsizetype>(width / cellWidth) + 2;
    const qsizetype selFrom = selectionStart(), selTo = selectionEnd();

    for (qsizetype row = 0; row < rows && firstLine + row < lineCount(); ++row) {
        const qsizetype line = firstLine + row;
        const qsizetype start = lineStartOf(line);
        const qsizetype end = lineEndOf(line);
        const qreal top = static_cast<qreal>(row) * lineHeight;
        qreal lineEndX = 0;  // where the line ends on the screen
        if (IsGrid(line)) {
            // The cells in view, in at most three runs: before, in and after the selection.
            const qsizetype from = start + std::min(firstCell, end - start);
            const qsizetype to = std::min(end, from + columns);
            const qreal x0 = kLeftMargin + static_cast<qreal>(from - start - firstCell) * cellWidth;
            const qsizetype a = std::clamp(selFrom, from, to), b = std::clamp(selTo, from, to);
            if (a < b)
                painter.fillRect(QRectF(x0 + static_cast<qreal>(a - from) * cellWidth, top,
                                        static_cast<qreal>(b - a) * cellWidth + 0.5, lineHeight),
                                 pal.highlight());
            const qsizetype cuts[] = {from, a, b, to};
            for (int part = 0; part < 3; ++part) {
                if (cuts[part] >= cuts[part + 1]) continue;
                painter.setPen(pal.color(part == 1 ? QPalette::HighlightedText : QPalette::Text));
                painter.drawText(QPointF(x0 + static_cast<qreal>(cuts[part] - from) * cellWidth, top + ascent),
                                 text.mid(cuts[part], cuts[part + 1] - cuts[part]));
            }
            lineEndX = kLeftMargin + static_cast<qreal>(end - start - firstCell) * cellWidth;
        } else {
            // The laid-out parts in view: the whole line, or the chunks of a long one.
            const Laid* laid = &LaidAtX(line, left);
            lineEndX = width;  // unless it is in view
            for (;;) {
                PaintLaid(painter, *laid, top);
                if (start + laid->to >= end) {
                    lineEndX = kLeftMargin + laid->x + laid->layout.lineAt(0).naturalTextWidth() - left;
                    break;
                }
                laid = &LaidAt(line, start + laid->to);
                if (laid->x > left + width) break;
            }
        }
        if (selTo > end && end >= selFrom && lineEndX < width)  // the line break
            painter.fillRect(QRectF(lineEndX, top, cellWidth / 2, lineHeight), pal.highlight());
    }
    // The caret (inside the composition where the input method puts it there).
    if (hasFocus() && caretShown && (preedit.isEmpty() || preeditCaretShown)) {
        const qsizetype line = lineOf(cursor);
        if (line >= firstLine && line < firstLine + rows) {
            const qreal x = kLeftMargin + CaretX() - left;
            painter.fillRect(QRectF(x - 0.5, static_cast<qreal>(line - firstLine) * lineHeight, 1.5, lineHeight),
                             pal.color(QPalette::Text));
        }
    }
}

void WorkTextEdit::RestartBlink() {
    caretShown = true;
    const int interval = QGuiApplication::styleHints()->cursorFlashTime() / 2;
    if (hasFocus() && interval > 0)
        blink.start(interval, this);
    else
        blink.stop();
}

void WorkTextEdit::timerEvent(QTimerEvent* event) {
    if (event->timerId() == primaryUpdate.timerId()) {
        primaryUpdate.stop();
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (hasSelection() && clipboard->supportsSelection()) clipboard->setText(selectedText(), QClipboard::Selection);
        return;
    }
    if (event->timerId() != blink.timerId()) return QAbstractScrollArea::timerEvent(event);
    caretShown = !caretShown;
    viewport()->update();
}

void WorkTextEdit::focusInEvent(QFocusEvent* event) {
    RestartBlink();
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void WorkTextEdit::focusOutEvent(QFocusEvent* event) {
    blink.stop();
    selectingWithMouse = false;
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void WorkTextEdit::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void WorkTextEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) UpdateMetrics();
    QAbstractScrollArea::changeEvent(event);
}

}  // namespace quelvane
