// SPDX-License-Identifier: MIT
#pragma once
// The work text box's text and nothing it shows: the text with "\n" line
// breaks, its line index (where each line starts, how wide it is, how much of
// it needs shaping), the caret and the selection, the character and word
// boundaries, and the undo steps grown from runs of typing. Widths come from a
// Measure (the layout, which knows the face), so this holds no font and no
// widget and its edits cost what the edit touched, not a pass over the text.
#include <QString>
#include <QStringView>
#include <algorithm>
#include <optional>
#include <vector>

namespace quelvane {

class WorkTextDocument {
public:
    // How wide text is, in width units (1/64 pixel): an upper bound of what
    // the layout makes of it, summed code point by code point, so an edit
    // changes a line's width by the difference of what it took and what it put.
    class Measure {
    public:
        virtual ~Measure() = default;
        virtual qint64 WidthOf(QStringView piece) const = 0;
        virtual int CellUnits() const = 0;  // of a cell unit, when FixedPitch()
        virtual bool FixedPitch() const = 0;
    };

    // How an edit came about: runs of typing, of Backspace and of Delete
    // grow one undo step; anything else is a step of its own.
    enum class EditKind { Other, Typing, Backspace, Delete };

    // What an edit did, for those who keep something per line.
    struct Change {
        qsizetype from;
        QString removed, inserted;
        qsizetype line;  // the line holding from
        bool breaks;  // line breaks came or went
        qint64 widthDelta;  // of line, when no break came or went
    };

    static constexpr unsigned long kTypingPauseMs = 1000;  // a typing step ends after such a pause
    static constexpr qsizetype kDirectionReach = 4096;  // how far a line's first strong character is looked for

    explicit WorkTextDocument(const Measure& measure) : measure(measure) {}

    const QString& text() const { return body; }
    qsizetype size() const { return body.size(); }
    bool isEmpty() const { return body.isEmpty(); }
    QString range(qsizetype from, qsizetype to) const;  // clamped to the text
    // Sets the text (its line breaks made "\n"), puts the caret at the start
    // and forgets the undo steps.
    void SetText(const QString& plain);
    // Every width again (the face changed).
    void Remeasure();

    qsizetype lineCount() const { return static_cast<qsizetype>(lineStart.size()); }
    qsizetype lineOf(qsizetype position) const;  // binary search over the line starts
    qsizetype lineStartOf(qsizetype line) const { return lineStart[static_cast<std::size_t>(line)]; }
    qsizetype lineEndOf(qsizetype line) const;  // before its "\n"
    qint64 lineWidth(qsizetype line) const { return lineUnits[static_cast<std::size_t>(line)]; }
    // True when every unit of the line is a cell unit.
    bool isPlainLine(qsizetype line) const { return lineSlow[static_cast<std::size_t>(line)] == 0; }
    qint64 widest() const { return widestUnits; }
    bool IsRightToLeft(qsizetype line) const;  // its first strong character

    // Grapheme cluster boundaries, code points and words.
    qsizetype nextCharacter(qsizetype position) const;
    qsizetype previousCharacter(qsizetype position) const;
    qsizetype PreviousCodePoint(qsizetype position) const;
    qsizetype Snap(qsizetype position) const;  // clamped, and never inside a surrogate pair
    char32_t CharacterAt(qsizetype position) const;  // the code point at position
    char32_t CharacterBefore(qsizetype position) const;  // the first of the cluster before position
    qsizetype WordStart(qsizetype position) const;
    qsizetype WordEnd(qsizetype position) const;

    qsizetype cursor() const { return caret; }
    qsizetype anchor() const { return anchorAt; }
    bool hasSelection() const { return anchorAt != caret; }
    qsizetype selectionStart() const { return std::min(anchorAt, caret); }
    qsizetype selectionEnd() const { return std::max(anchorAt, caret); }
    QString selectedText() const { return body.mid(selectionStart(), selectionEnd() - selectionStart()); }
    // Both snapped; the open undo step closes.
    void Select(qsizetype anchorPosition, qsizetype cursorPosition);

    // Replaces text[from, to) and puts the caret after what was put; recorded
    // as an undo step (or grown into the last one) unless record is false.
    // Nothing when nothing changed.
    std::optional<Change> Replace(qsizetype from, qsizetype to, const QString& insert, EditKind kind = EditKind::Other,
                                  unsigned long keyTime = 0, bool record = true);
    std::optional<Change> Undo();
    std::optional<Change> Redo();
    bool isUndoAvailable() const { return !undoSteps.empty(); }
    bool isRedoAvailable() const { return !redoSteps.empty(); }
    void CloseStep() { stepOpen = false; }

    // CR LF, a lone CR and the Unicode line and paragraph separators made "\n".
    static QString Normalized(const QString& plain);
    static bool IsWordChar(char32_t c);
    // A unit the cell grid draws as it is: printable, below the combining
    // marks (so no cluster, no joining, no right-to-left).
    static constexpr bool IsCellUnit(char16_t u) noexcept {
        return u >= 0x20 && u < 0x300 && !(u >= 0x7F && u <= 0x9F) && u != 0xAD;
    }
    // The index of the first unit at or after from that is no cell unit; n
    // when there is none.
    static qsizetype NextSlow(const char16_t* p, qsizetype from, qsizetype n) noexcept;

private:
    struct Edit {
        qsizetype at;
        QString removed, inserted;
        EditKind kind;
        unsigned long lastKeyTime;  // of the step's last key (0: unknown)
    };

    void Record(qsizetype from, const QString& removed, const QString& insert, EditKind kind, unsigned long keyTime);
    // Brings the line index up to date after text[from...] was replaced: only
    // the lines the edit touched are measured again.
    Change Reindex(qsizetype from, const QString& removed, const QString& inserted);
    // Finds the line starts and measures every line; false when the text
    // still holds a CR or a line or paragraph separator.
    bool IndexLines();
    void MeasureLine(qsizetype line);
    void UpdateWidest();
    static qsizetype SlowUnits(QStringView piece);
    // The grapheme cluster boundary after (or before) position, where the
    // units around it leave it open.
    qsizetype ClusterBoundary(qsizetype position, bool forward) const;

    const Measure& measure;
    QString body;
    std::vector<qsizetype> lineStart{0};
    std::vector<qint64> lineUnits{0};  // width units
    std::vector<qsizetype> lineSlow{0};  // units that need the layout
    qint64 widestUnits = 0;
    qsizetype caret = 0, anchorAt = 0;
    std::vector<Edit> undoSteps, redoSteps;
    bool stepOpen = false;  // the last undo step may still grow
};

}  // namespace quelvane
