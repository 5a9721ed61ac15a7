#pragma once

#include <QString>

// Text cut to a length in UTF-16 units never ends in half of a character beyond the basic plane
// (an emoji, a rarer CJK character): the cut moves back to before that character.
namespace TextCut {

// The length of the first n units of text, less one when the cut falls inside a surrogate pair.
inline qsizetype wholeLength(const QString &text, qsizetype n)
{
    if (n >= text.size())
        return text.size();
    if (n <= 0)
        return 0;
    return text[n - 1].isHighSurrogate() && text[n].isLowSurrogate() ? n - 1 : n;
}

inline QString left(const QString &text, qsizetype n)
{
    return text.left(wholeLength(text, n));
}

} // namespace TextCut
