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
// Owned by the box it guards.
class CodePageGuard : public QObject {
public:
    explicit CodePageGuard(QPlainTextEdit* box);

private:
    void noteChange(int position, int charsRemoved, int charsAdded);
    void fixNewText();

    QPlainTextEdit* box_;
    int changeStart_ = 0; // the text added by the last edit
    int changeEnd_ = 0;
    bool fixing_ = false;
};

// The same rule for single-line boxes: the validator replaces, and never
// refuses.
class CodePageValidator : public QValidator {
public:
    explicit CodePageValidator(QObject* parent);
    State validate(QString& input, int& pos) const override;
};

} // namespace qal
