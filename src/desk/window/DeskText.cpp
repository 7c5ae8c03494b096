#include "desk/window/DeskText.h"

#include <QDir>
#include <QStringList>

namespace qal {

QStringList textsOf(const std::vector<std::string>& utf8)
{
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(utf8.size()));
    for (const std::string& text : utf8)
        texts.append(textOf(text));
    return texts;
}

std::vector<std::string> utf8Of(const QStringList& texts)
{
    std::vector<std::string> utf8;
    utf8.reserve(static_cast<std::size_t>(texts.size()));
    for (const QString& text : texts)
        utf8.push_back(utf8Of(text));
    return utf8;
}

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace qal
