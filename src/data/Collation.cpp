#include "data/Collation.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>
#include <array>
#include <cstring>

namespace Collation {
namespace {

// The next code point of text at i (a lone surrogate stands for itself), advancing i.
inline char32_t nextCodePoint(QStringView text, qsizetype &i)
{
    const char16_t u = text[i++].unicode();
    if (QChar::isHighSurrogate(u) && i < text.size() && text[i].isLowSurrogate())
        return QChar::surrogateToUcs4(u, text[i++].unicode());
    return u;
}

inline char32_t fold(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    return QChar::toCaseFolded(c);
}

// Compares the folded texts code point by code point.
int foldedCompare(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t x = fold(nextCodePoint(a, i));
        const char32_t y = fold(nextCodePoint(b, j));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (i < a.size())
        return 1;
    return j < b.size() ? -1 : 0;
}

QLocale collationLocale()
{
    const QLocale locale;
    // The C locale orders by code point; a reader of no named language reads English order.
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

// The collation and, when the check below holds, the rank of each printable ASCII character:
// characters the collation orders alike share a rank; ranks start at 1.
struct Order
{
    QCollator collator;
    std::array<quint8, 128> rank{};
    bool asciiFast = false;

    Order() : collator(collationLocale())
    {
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        collator.setNumericMode(false);
        collator.setIgnorePunctuation(false);
        std::vector<QString> chars;
        for (char16_t c = 0x20; c < 0x7F; ++c)
            chars.emplace_back(QChar(c));
        std::stable_sort(chars.begin(), chars.end(),
                         [this](const QString &a, const QString &b) { return collator.compare(a, b) < 0; });
        quint8 next = 0;
        for (size_t k = 0; k < chars.size(); ++k) {
            if (k == 0 || collator.compare(chars[k - 1], chars[k]) != 0)
                ++next;
            rank[chars[k][0].unicode()] = next;
        }
        asciiFast = ranksAgree();
        if (!asciiFast)
            rank.fill(0);
    }

    // The ranks order names as the collation does when each character is weighed on its own.
    // A language whose collation joins letters (Danish "aa", Hungarian "cs") or weighs one
    // differently in some company fails this check for some pair, and then every name goes
    // through the collation itself.
    bool ranksAgree() const
    {
        std::vector<QString> pairs;
        pairs.reserve(95 * 95);
        for (char16_t a = 0x20; a < 0x7F; ++a)
            for (char16_t b = 0x20; b < 0x7F; ++b)
                pairs.push_back(QString(QChar(a)) + QChar(b));
        const auto key = [this](const QString &s) { return rank[s[0].unicode()] * 256 + rank[s[1].unicode()]; };
        std::stable_sort(pairs.begin(), pairs.end(),
                         [&](const QString &a, const QString &b) { return key(a) < key(b); });
        for (size_t k = 1; k < pairs.size(); ++k) {
            const int c = collator.compare(pairs[k - 1], pairs[k]);
            if (key(pairs[k - 1]) == key(pairs[k]) ? c != 0 : c >= 0)
                return false;
        }
        // A name comes before the same name made longer.
        for (char16_t a = 0x20; a < 0x7F; ++a)
            for (char16_t b = 0x20; b < 0x7F; ++b)
                if (collator.compare(QString(QChar(a)), QString(QChar(a)) + QChar(b)) >= 0)
                    return false;
        return true;
    }
};

Order &order()
{
    static Order o;
    return o;
}

// The order of names: the collation, then the folded text. 0 only for the same name.
int nameOrder(QStringView a, QStringView b)
{
    const int c = order().collator.compare(a, b);
    if (c != 0)
        return c < 0 ? -1 : 1;
    return foldedCompare(a, b);
}

} // namespace

bool sameName(QStringView a, QStringView b)
{
    // Simple case folding keeps every character within or outside the basic plane, so the
    // same names have the same length.
    return a.size() == b.size() && foldedCompare(a, b) == 0;
}

QString nameKey(QStringView name)
{
    QString key;
    key.reserve(name.size());
    for (qsizetype i = 0; i < name.size();) {
        const char32_t c = fold(nextCodePoint(name, i));
        if (QChar::requiresSurrogates(c)) {
            key += QChar(QChar::highSurrogate(c));
            key += QChar(QChar::lowSurrogate(c));
        } else {
            key += QChar(char16_t(c));
        }
    }
    return key;
}

int compare(QStringView a, QStringView b)
{
    return nameOrder(a, b);
}

bool asciiFastPath()
{
    return order().asciiFast;
}

void sort(std::vector<int> &entries, const std::vector<const QString *> &texts, bool descending)
{
    const Order &o = order();
    enum Kind : quint8 { Null, Ranked, Other };
    struct Entry
    {
        quint64 prefix; // the ranks of the first eight characters of a ranked name
        quint32 index;  // position before sorting: the same names keep their order
        Kind kind;
    };
    const size_t n = entries.size();
    std::vector<Entry> keys(n);
    std::vector<quint8> ranks; // the ranks of every ranked name, one after another
    std::vector<quint32> start(n + 1, 0);
    ranks.reserve(n * 16);
    for (size_t i = 0; i < n; ++i) {
        Entry &e = keys[i];
        e.index = quint32(i);
        e.prefix = 0;
        start[i] = quint32(ranks.size());
        const QString *text = texts[i];
        if (!text) {
            e.kind = Null;
            continue;
        }
        e.kind = o.asciiFast ? Ranked : Other;
        const qsizetype length = text->size();
        const QChar *p = text->constData();
        for (qsizetype k = 0; k < length && e.kind == Ranked; ++k) {
            const char16_t u = p[k].unicode();
            const quint8 r = u < 0x80 ? o.rank[u] : 0;
            if (r == 0)
                e.kind = Other; // not printable ASCII: the collation decides
            ranks.push_back(r);
            if (k < 8)
                e.prefix |= quint64(r) << (56 - 8 * k);
        }
        if (e.kind != Ranked)
            ranks.resize(start[i]);
    }
    start[n] = quint32(ranks.size());

    // The ranks after the first eight, compared as bytes; the shorter of two equal runs first.
    const auto compareTails = [&](quint32 a, quint32 b) {
        const quint32 fromA = std::min(start[a] + 8, start[a + 1]);
        const quint32 fromB = std::min(start[b] + 8, start[b + 1]);
        const quint32 lengthA = start[a + 1] - fromA;
        const quint32 lengthB = start[b + 1] - fromB;
        const quint32 common = std::min(lengthA, lengthB);
        const int c = common ? std::memcmp(ranks.data() + fromA, ranks.data() + fromB, common) : 0;
        if (c != 0)
            return c < 0 ? -1 : 1;
        return lengthA == lengthB ? 0 : (lengthA < lengthB ? -1 : 1);
    };
    const auto compareNames = [&](const Entry &a, const Entry &b) -> int {
        if (a.kind == Null || b.kind == Null)
            return int(a.kind != Null) - int(b.kind != Null);
        if (a.kind == Ranked && b.kind == Ranked) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix ? -1 : 1;
            if (const int c = compareTails(a.index, b.index))
                return c;
            return foldedCompare(*texts[a.index], *texts[b.index]);
        }
        return nameOrder(*texts[a.index], *texts[b.index]);
    };
    std::sort(keys.begin(), keys.end(), [&](const Entry &a, const Entry &b) {
        const int c = compareNames(a, b);
        if (c != 0)
            return descending ? c > 0 : c < 0;
        return a.index < b.index;
    });
    std::vector<int> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = entries[keys[i].index];
    entries.swap(sorted);
}

} // namespace Collation
