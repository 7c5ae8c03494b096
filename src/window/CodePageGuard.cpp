#include "window/CodePageGuard.h"

#include "window/CoreText.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>
#include <vector>

namespace qal {

CodePageGuard::CodePageGuard(QPlainTextEdit* box) : QObject(box), box_(box)
{
    // contentsChange says where the new text is; the document may not be
    // edited while it is being delivered, so the fix waits for textChanged,
    // which comes once the edit is complete.
    connect(box->document(), &QTextDocument::contentsChange, this, &CodePageGuard::noteChange);
    connect(box, &QPlainTextEdit::textChanged, this, &CodePageGuard::fixNewText);
}

void CodePageGuard::setProgramText(QPlainTextEdit* box, const QString& text)
{
    auto* guard = box->findChild<CodePageGuard*>(QString(), Qt::FindDirectChildrenOnly);
    if (guard)
        guard->fixing_ = true;
    box->setPlainText(text);
    if (guard) {
        guard->fixing_ = false;
        guard->changeStart_ = guard->changeEnd_ = 0;
    }
}

void CodePageGuard::noteChange(int position, int /*charsRemoved*/, int charsAdded)
{
    if (fixing_)
        return;
    changeStart_ = position;
    changeEnd_ = position + charsAdded;
}

void CodePageGuard::fixNewText()
{
    if (fixing_ || changeEnd_ <= changeStart_)
        return;
    QTextDocument* doc = box_->document();
    const int start = changeStart_;
    const int end = changeEnd_;
    changeStart_ = changeEnd_ = 0;

    // Positions and lengths (in UTF-16 units) of the characters to replace.
    std::vector<std::pair<int, int>> bad;
    for (QTextBlock block = doc->findBlock(start); block.isValid() && block.position() < end; block = block.next()) {
        const QString text = block.text();
        const int base = block.position();
        const int from = std::max(start - base, 0);
        const int to = std::min(end - base, static_cast<int>(text.size()));
        for (int i = from; i < to; ++i) {
            const QChar c = text.at(i);
            char32_t u = c.unicode();
            int length = 1;
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                u = QChar::surrogateToUcs4(c, text.at(i + 1));
                length = 2;
            }
            if (!boxCanHold(u))
                bad.emplace_back(base + i, length);
            i += length - 1;
        }
    }
    if (bad.empty())
        return;

    fixing_ = true;
    QTextCursor edit(doc);
    edit.beginEditBlock();
    // From the back, so that earlier positions stay valid.
    for (auto it = bad.rbegin(); it != bad.rend(); ++it) {
        edit.setPosition(it->first);
        edit.setPosition(it->first + it->second, QTextCursor::KeepAnchor);
        edit.insertText(QStringLiteral("?"));
    }
    edit.endEditBlock();
    fixing_ = false;
}

CodePageValidator::CodePageValidator(QObject* parent) : QValidator(parent) {}

QValidator::State CodePageValidator::validate(QString& input, int& pos) const
{
    input = limitToCodePage(input, &pos);
    return Acceptable;
}

} // namespace qal
