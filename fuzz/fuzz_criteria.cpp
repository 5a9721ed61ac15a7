// Feeds arbitrary text to the criteria parser and evaluates what it accepts against a row.
// Input: the criteria text, then optionally a NUL byte and the row's values separated by TABs.
#include "app/RuntimeError.h"
#include "data/Criteria.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    const QStringList values = nul < 0 ? QStringList() : QString::fromUtf8(bytes.mid(nul + 1)).split(QLatin1Char('\t'));

    Criteria criteria;
    try {
        criteria = parseCriteria(text);
    } catch (const RuntimeError &e) {
        if (e.number() != 3075)
            __builtin_trap();
        return 0;
    }
    if (criteria.isEmpty())
        __builtin_trap(); // an empty text is malformed, never an empty criteria

    const QStringList layout = {QStringLiteral("SName"),       QStringLiteral("Frequency"), QStringLiteral("Type"),
                                QStringLiteral("CallLetters"), QStringLiteral("Location"),  QStringLiteral("RAMFile"),
                                QStringLiteral("Category"),    QStringLiteral("WebPage")};
    try {
        criteria.bind(layout);
    } catch (const RuntimeError &e) {
        if (e.number() != DataErr::UnknownCriteriaField)
            __builtin_trap();
        return 0;
    }
    QVariant row[8];
    for (int i = 0; i < 8; ++i) {
        if (i < values.size() && !(i == 7 && values[i].isEmpty()))
            row[i] = values[i];
    }
    // A row that matches with every text spelled exactly also matches ignoring letter case.
    if (criteria.matchesExactly(row) && !criteria.matches(row))
        __builtin_trap();

    // A single test built by the program from a field's own value always finds that row.
    if (!values.isEmpty() && !values[0].isEmpty()) {
        Criteria own = parseCriteria(QStringLiteral("SName='") + criteriaQuote(values[0]) + QLatin1Char('\''));
        own.bind(layout);
        if (!own.matches(row))
            __builtin_trap();
    }
    return 0;
}
