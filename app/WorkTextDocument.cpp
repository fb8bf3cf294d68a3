// SPDX-License-Identifier: MIT
#include "app/WorkTextDocument.h"

#include <QTextBoundaryFinder>
#include <bit>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace quelvane {

namespace {

constexpr std::size_t kUndoSteps = 500;
constexpr qsizetype kClusterReach = 256;  // how far back a grapheme cluster is looked for

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
    return !before.isEmpty() && !after.isEmpty() && WorkTextDocument::IsWordChar(FirstCharacter(after)) &&
           !WorkTextDocument::IsWordChar(LastCharacter(before));
}

}  // namespace

// Eight at a time where the processor allows.
qsizetype WorkTextDocument::NextSlow(const char16_t* p, qsizetype from, qsizetype n) noexcept {
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

QString WorkTextDocument::Normalized(const QString& plain) {
    QString out = plain;
    if (out.contains(u'\r')) {
        out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        out.replace(u'\r', u'\n');
    }
    out.replace(QChar::ParagraphSeparator, u'\n');
    out.replace(QChar::LineSeparator, u'\n');
    return out;
}

bool WorkTextDocument::IsWordChar(char32_t c) { return c == U'_' || QChar::isLetterOrNumber(c); }

// --- text and line index ----------------------------------------------------

void WorkTextDocument::SetText(const QString& plain) {
    body = plain;
    // One pass finds the lines and whether the text needs the box's line breaks first.
    if (!IndexLines()) {
        body = Normalized(plain);
        IndexLines();
    }
    caret = anchorAt = 0;
    undoSteps.clear();
    redoSteps.clear();
    stepOpen = false;
}

QString WorkTextDocument::range(qsizetype from, qsizetype to) const {
    from = std::clamp<qsizetype>(from, 0, body.size());
    to = std::clamp<qsizetype>(to, from, body.size());
    return body.mid(from, to - from);
}

bool WorkTextDocument::IndexLines() {
    lineStart.assign(1, 0);
    const auto* p = reinterpret_cast<const char16_t*>(body.constData());
    const qsizetype n = body.size();
    if (measure.FixedPitch()) {
        // One pass: runs of cells at once, and between them a line break, a
        // character that needs the box's line breaks first, or one measured alone.
        const int cellUnits = measure.CellUnits();
        lineUnits.assign(1, 0);
        lineSlow.assign(1, 0);
        for (qsizetype i = 0;;) {
            const qsizetype at = NextSlow(p, i, n);
            lineUnits.back() += static_cast<qint64>(at - i) * cellUnits;
            if (at >= n) break;
            const char16_t u = p[at];
            if (u == u'\r' || u == 0x2028 || u == 0x2029) return false;
            if (u == u'\n') {
                lineStart.push_back(at + 1);
                lineUnits.push_back(0);
                lineSlow.push_back(0);
                i = at + 1;
                continue;
            }
            const qsizetype units = QChar::isHighSurrogate(u) && at + 1 < n && QChar::isLowSurrogate(p[at + 1]) ? 2 : 1;
            lineUnits.back() += measure.WidthOf(QStringView(p + at, units));
            lineSlow.back() += units;
            i = at + units;
        }
    } else {
        for (qsizetype at = NextSpecial(p, 0, n); at < n; at = NextSpecial(p, at + 1, n)) {
            if (p[at] == u'\n') lineStart.push_back(at + 1);
            if (p[at] == u'\r' || p[at] == 0x2028 || p[at] == 0x2029) return false;
        }
        lineUnits.assign(lineStart.size(), 0);
        lineSlow.assign(lineStart.size(), 0);
        for (qsizetype line = 0; line < lineCount(); ++line) MeasureLine(line);
    }
    UpdateWidest();
    return true;
}

void WorkTextDocument::Remeasure() {
    for (qsizetype line = 0; line < lineCount(); ++line) MeasureLine(line);
    UpdateWidest();
}

void WorkTextDocument::MeasureLine(qsizetype line) {
    const qsizetype start = lineStartOf(line);
    const QStringView piece = QStringView(body).mid(start, lineEndOf(line) - start);
    lineUnits[static_cast<std::size_t>(line)] = measure.WidthOf(piece);
    lineSlow[static_cast<std::size_t>(line)] = SlowUnits(piece);
}

void WorkTextDocument::UpdateWidest() { widestUnits = *std::max_element(lineUnits.begin(), lineUnits.end()); }

WorkTextDocument::Change WorkTextDocument::Reindex(qsizetype from, const QString& removed, const QString& inserted) {
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
        const qsizetype before = from > 0 && body[from - 1].isHighSurrogate() ? 1 : 0;
        const qsizetype after = insertedEnd < body.size() && body[insertedEnd].isLowSurrogate() ? 1 : 0;
        const QString was = body.mid(from - before, before) + removed + body.mid(insertedEnd, after);
        const qint64 old = lineUnits[first - 1];
        lineUnits[first - 1] +=
            measure.WidthOf(QStringView(body).mid(from - before, before + inserted.size() + after)) -
            measure.WidthOf(was);
        lineSlow[first - 1] += SlowUnits(inserted) - SlowUnits(removed);
        if (lineUnits[first - 1] >= widestUnits)
            widestUnits = lineUnits[first - 1];
        else if (old == widestUnits)
            UpdateWidest();
        return {from, removed, inserted, line, false, lineUnits[first - 1] - old};
    }
    // Line breaks came or went: the lines the edit touched are measured again.
    const auto gone = static_cast<std::ptrdiff_t>(removedBreaks);
    const auto at = static_cast<std::ptrdiff_t>(first);
    lineStart.erase(lineStart.begin() + at, lineStart.begin() + at + gone);
    lineUnits.erase(lineUnits.begin() + at, lineUnits.begin() + at + gone);
    lineSlow.erase(lineSlow.begin() + at, lineSlow.begin() + at + gone);
    for (std::size_t i = first; i < lineStart.size(); ++i) lineStart[i] += delta;
    std::vector<qsizetype> starts;
    for (qsizetype k = inserted.indexOf(u'\n'); k >= 0; k = inserted.indexOf(u'\n', k + 1))
        starts.push_back(from + k + 1);
    lineStart.insert(lineStart.begin() + at, starts.begin(), starts.end());
    lineUnits.insert(lineUnits.begin() + at, starts.size(), 0);
    lineSlow.insert(lineSlow.begin() + at, starts.size(), 0);
    for (qsizetype l = line; l <= line + insertedBreaks; ++l) MeasureLine(l);
    UpdateWidest();
    return {from, removed, inserted, line, true, 0};
}

qsizetype WorkTextDocument::SlowUnits(QStringView piece) {
    const auto* p = reinterpret_cast<const char16_t*>(piece.utf16());
    const qsizetype n = piece.size();
    qsizetype count = 0;
    for (qsizetype i = NextSlow(p, 0, n); i < n; i = NextSlow(p, i + 1, n)) ++count;
    return count;
}

bool WorkTextDocument::IsRightToLeft(qsizetype line) const {
    if (isPlainLine(line)) return false;  // cells hold no right-to-left letter
    const qsizetype start = lineStartOf(line);
    return QStringView(body).mid(start, std::min(lineEndOf(line) - start, kDirectionReach)).isRightToLeft();
}

// --- positions --------------------------------------------------------------

qsizetype WorkTextDocument::lineOf(qsizetype position) const {
    const auto it = std::upper_bound(lineStart.begin(), lineStart.end(), position);
    return std::max<qsizetype>(0, static_cast<qsizetype>(it - lineStart.begin()) - 1);
}

qsizetype WorkTextDocument::lineEndOf(qsizetype line) const {
    return line + 1 < lineCount() ? lineStart[static_cast<std::size_t>(line + 1)] - 1 : body.size();
}

// Below U+0300 no unit joins a cluster with the unit before or after it, so
// between two such units there is always a boundary; only elsewhere does the
// boundary finder run, over a window of the line around the position, from a
// place where a boundary is sure.
qsizetype WorkTextDocument::nextCharacter(qsizetype position) const {
    const qsizetype n = body.size();
    if (position >= n) return n;
    if (position < 0) return 0;
    const auto* p = reinterpret_cast<const char16_t*>(body.constData());
    if (p[position] == u'\n' || (p[position] < 0x300 && (position + 1 == n || p[position + 1] < 0x300)))
        return position + 1;
    return ClusterBoundary(position, true);
}

qsizetype WorkTextDocument::previousCharacter(qsizetype position) const {
    if (position <= 0) return 0;
    position = std::min(position, body.size());
    const auto* p = reinterpret_cast<const char16_t*>(body.constData());
    const qsizetype before = position - 1;
    if (p[before] == u'\n' || (p[before] < 0x300 && (before == 0 || p[before - 1] < 0x300))) return before;
    return ClusterBoundary(position, false);
}

qsizetype WorkTextDocument::ClusterBoundary(qsizetype position, bool forward) const {
    const auto* p = reinterpret_cast<const char16_t*>(body.constData());
    const qsizetype line = lineOf(forward ? position : position - 1);
    const qsizetype start = lineStartOf(line);
    qsizetype from = forward ? position : position - 1;
    while (from > start && position - from < kClusterReach && !(p[from] < 0x300 && p[from - 1] < 0x300)) --from;
    // Looking back, what follows position does not matter.
    const qsizetype to = forward ? std::min(lineEndOf(line), position + kClusterReach) : position;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, body.constData() + from, to - from);
    finder.setPosition(position - from);
    const qsizetype found = forward ? finder.toNextBoundary() : finder.toPreviousBoundary();
    return found < 0 ? (forward ? to : from) : from + found;
}

qsizetype WorkTextDocument::PreviousCodePoint(qsizetype position) const {
    if (position <= 0) return 0;
    position = std::min(position, body.size());
    if (body[position - 1].isLowSurrogate() && position >= 2 && body[position - 2].isHighSurrogate())
        return position - 2;
    return position - 1;
}

qsizetype WorkTextDocument::Snap(qsizetype position) const {
    position = std::clamp<qsizetype>(position, 0, body.size());
    if (position > 0 && position < body.size() && body[position].isLowSurrogate() &&
        body[position - 1].isHighSurrogate())
        return position - 1;
    return position;
}

char32_t WorkTextDocument::CharacterAt(qsizetype position) const {
    if (position + 1 < body.size() && body[position].isHighSurrogate() && body[position + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(body[position], body[position + 1]);
    return body[position].unicode();
}

char32_t WorkTextDocument::CharacterBefore(qsizetype position) const {
    return CharacterAt(previousCharacter(position));
}

qsizetype WorkTextDocument::WordStart(qsizetype position) const {
    qsizetype p = position;
    while (p > 0 && !IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    while (p > 0 && IsWordChar(CharacterBefore(p))) p = previousCharacter(p);
    return p;
}

qsizetype WorkTextDocument::WordEnd(qsizetype position) const {
    qsizetype p = position;
    while (p < body.size() && !IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    while (p < body.size() && IsWordChar(CharacterAt(p))) p = nextCharacter(p);
    return p;
}

void WorkTextDocument::Select(qsizetype anchorPosition, qsizetype cursorPosition) {
    anchorAt = Snap(anchorPosition);
    caret = Snap(cursorPosition);
    stepOpen = false;
}

// --- editing --------------------------------------------------------------

void WorkTextDocument::Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind,
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

std::optional<WorkTextDocument::Change> WorkTextDocument::Replace(qsizetype from, qsizetype to, const QString& insert,
                                                                  EditKind kind, unsigned long keyTime, bool record) {
    from = std::clamp<qsizetype>(from, 0, body.size());
    to = std::clamp<qsizetype>(to, from, body.size());
    QString removed = body.mid(from, to - from);
    if (removed.isEmpty() && insert.isEmpty()) return std::nullopt;
    if (record) Record(from, removed, insert, kind, keyTime);
    body.replace(from, to - from, insert);
    Change change = Reindex(from, removed, insert);
    // Joining two lone halves of a pair must not leave the cursor between them.
    caret = anchorAt = Snap(from + insert.size());
    return change;
}

std::optional<WorkTextDocument::Change> WorkTextDocument::Undo() {
    if (undoSteps.empty()) return std::nullopt;
    const Edit step = undoSteps.back();
    undoSteps.pop_back();
    std::optional<Change> change =
        Replace(step.at, step.at + step.inserted.size(), step.removed, EditKind::Other, 0, false);
    redoSteps.push_back(step);
    stepOpen = false;
    return change;
}

std::optional<WorkTextDocument::Change> WorkTextDocument::Redo() {
    if (redoSteps.empty()) return std::nullopt;
    const Edit step = redoSteps.back();
    redoSteps.pop_back();
    std::optional<Change> change =
        Replace(step.at, step.at + step.removed.size(), step.inserted, EditKind::Other, 0, false);
    undoSteps.push_back(step);
    stepOpen = false;
    return change;
}

}  // namespace quelvane
