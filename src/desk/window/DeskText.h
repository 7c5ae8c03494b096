#pragma once

#include <QString>

#include <string>
#include <vector>

namespace qal {

// The desk's logic speaks UTF-8; its window speaks QString. Here they meet.
inline QString textOf(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}
inline std::string utf8Of(const QString& text)
{
    return text.toStdString();
}
QStringList textsOf(const std::vector<std::string>& utf8);
std::vector<std::string> utf8Of(const QStringList& texts);

// A path as the instructor's file manager shows it (backslashes on Windows).
QString shownPath(const QString& path);

} // namespace qal
