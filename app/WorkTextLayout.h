// SPDX-License-Identifier: MIT
#pragma once
// Where the work text box's document is drawn, in pixels within each line.
// A line of plain single-width characters in a fixed-pitch face is a grid of
// cells and needs no layout; any other line is laid out and shaped by
// QTextLayout (right-to-left and mixed text, joined scripts, clusters, wide
// characters, emoji, font fallback, tabs to the next multiple of 8 cells), a
// long one in chunks of about kChunk characters, and only the parts asked for,
// kept in a small cache. An input method's composition is laid out at the
// caret and is no part of the text. A line whose first strong character is
// right-to-left aligns right. Also the document's Measure: the width
// of text in the face, an upper bound of what the layout makes of it.
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextLayout>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/WorkTextDocument.h"

namespace quelvane {

class WorkTextLayout : public WorkTextDocument::Measure {
public:
    // A line longer than kWholeLine is laid out in chunks of about kChunk characters.
    static constexpr qsizetype kWholeLine = 4096, kChunk = 1024;
    static constexpr qsizetype kTabCells = 8;
    static constexpr int kUnitsPerPixel = 64;  // width units: the layout's own fixed point

    // A laid-out part of a line: the whole line, or one chunk of a long one.
    struct Laid {
        qsizetype line, from, to;  // from and to relative to the line's start
        qsizetype preeditAt;  // where the composition stands in it (relative), or -1
        qreal x;  // where it starts in the line, in pixels, counted from the line's start
        bool rightToLeft;  // of the line, when it was laid out
        QTextLayout layout;
    };

    explicit WorkTextLayout(const WorkTextDocument& document) : doc(document) {}

    // The face. After a change every width is stale: the document is to be measured again.
    void SetFont(const QFont& face);
    const QFont& font() const { return face; }
    qreal cellWidth() const { return cell; }
    qreal lineHeight() const { return height; }
    qreal ascent() const { return rise; }

    qint64 WidthOf(QStringView piece) const override;
    int CellUnits() const override { return cellUnits; }
    bool FixedPitch() const override { return fixedPitch; }

    // The width right-to-left lines align right in, in pixels: the view's,
    // or the widest line's where that is wider.
    void SetViewWidth(std::function<qreal()> width) { viewWidth = std::move(width); }
    qreal ParagraphWidth() const;

    // The input method's composition at the caret ("" when none), its
    // formats and the caret within it.
    const QString& composition() const { return preedit; }
    int compositionCaret() const { return preeditCursor; }
    void SetComposition(const QString& text, const QList<QTextLayout::FormatRange>& formats, int caret);
    // The caret moved: a composition moves with it.
    void CaretMoved();

    bool IsGrid(qsizetype line) const;  // drawn as cells, no layout
    // The laid-out part of line holding position (a caret position), or the
    // one under x (pixels in the line).
    const Laid& LaidAt(qsizetype line, qsizetype position) const;
    const Laid& LaidAtX(qsizetype line, qreal x) const;
    // Where laid starts on its line, in pixels: a right-to-left line aligns
    // right, and the chunks of a long one run from right to left.
    qreal LeftOf(const Laid& laid) const;
    int LayoutPosition(const Laid& laid, qsizetype position) const;
    qsizetype TextPosition(const Laid& laid, int layoutPosition) const;
    qreal XOf(qsizetype position) const;  // of the caret at position, in pixels in its line
    qreal CaretX() const;  // the same, inside the composition when there is one
    qsizetype PositionAtX(qsizetype line, qreal x, QTextLine::CursorPosition how) const;
    // Where the whole cluster holding position is drawn in its line, left
    // edge and width in pixels; a cell wide at a line's end.
    std::pair<qreal, qreal> CharacterSpan(qsizetype position) const;
    // The widest line's width units, with the composition.
    qint64 ContentUnits() const;

    // After an edit of the document.
    void Apply(const WorkTextDocument::Change& change);
    void Forget(qsizetype line = -1);  // what was laid out of one line, or of all

private:
    // The chunks of a long line and where each starts, in width units.
    struct Chunks {
        qsizetype line;
        std::vector<qsizetype> from;  // relative to the line's start
        std::vector<qint64> x;
    };

    int CodeWidth(char32_t code) const;  // of one code point, in width units
    const Chunks& ChunksOf(qsizetype line) const;
    qsizetype ChunkCut(qsizetype lineStart, qsizetype lineEnd, qsizetype nominal) const;
    const Laid& LayOut(qsizetype line, qsizetype from, qsizetype to, qreal x) const;
    // After an edit within line (at relative to its start, no line break).
    void ShiftLayouts(qsizetype line, qsizetype at, qsizetype removed, qsizetype inserted, qint64 widthDelta);

    const WorkTextDocument& doc;
    QFont face;
    qreal cell = 8, height = 16, rise = 12;
    int cellUnits = 512;  // cell in width units
    std::function<qreal()> viewWidth = [] { return qreal(0); };
    bool fixedPitch = true;
    QString preedit;
    QList<QTextLayout::FormatRange> preeditFormats;  // relative to the composition
    int preeditCursor = 0;
    mutable std::vector<std::unique_ptr<Laid>> laidOut;
    mutable std::vector<Chunks> chunks;
    mutable std::vector<int> bmpWidths;  // CodeWidth of the Basic Multilingual Plane, -1 unknown
    mutable QHash<char32_t, int> otherWidths;
};

}  // namespace quelvane
