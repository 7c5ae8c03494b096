#pragma once

#include <QObject>
#include <QValidator>

class QPlainTextEdit;

namespace qal {

// Keeps a multi-line box to what the files can hold. A character that
// Windows-1252 lacks, typed, pasted or dropped, shows as "?" as soon as it
// arrives, so what the student sees is what gets written. The cursor keeps
// its place in the text. Undo cannot bring such a character back either: an
// undone replacement is replaced again.
//
// Only what a person puts in is checked: the text the program itself sets
// comes from the code page and goes in through setProgramText unchecked, so
// a command that fills the box with megabytes pays nothing for the guard.
//
// Owned by the box it guards.
class CodePageGuard : public QObject {
    Q_OBJECT

public:
    explicit CodePageGuard(QPlainTextEdit* box);

    // Replaces the whole text of the box with text that holds only what the
    // box may hold (as fromCoreText gives it), without checking it; a box
    // without a guard simply gets the text.
    static void setProgramText(QPlainTextEdit* box, const QString& text);

private:
    void noteChange(int position, int charsRemoved, int charsAdded);
    void fixNewText();

    QPlainTextEdit* box_;
    int changeStart_ = 0; // the text added by the last edit
    int changeEnd_ = 0;
    bool fixing_ = false; // the guard's own edit, or the program's text
};

// The same rule for single-line boxes: the validator replaces, and never
// refuses.
class CodePageValidator : public QValidator {
public:
    explicit CodePageValidator(QObject* parent);
    State validate(QString& input, int& pos) const override;
};

} // namespace qal
