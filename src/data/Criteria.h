#pragma once

#include "data/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <vector>

// Criteria texts: tests of the form  Field = 'value'  joined by OR and AND (AND binds more
// tightly; parentheses group). A quote inside a value is written doubled. Field names may be
// written in brackets ([SName]); the words OR and AND in any letter case. Text equality
// ignores letter case in every alphabet, as names are compared everywhere (Collation); a null
// field equals nothing.
//
// A criteria text is read by this parser and evaluated in memory: nothing of it, and no
// field value, ever becomes part of an SQL statement.

// Doubles every single quote of value, so that "SName='" + criteriaQuote(name) + "'" finds
// a name holding a quote. The caller adds the outer quotes.
QString criteriaQuote(const QString &value);

class Criteria
{
public:
    struct Test
    {
        QString field;
        QString value;
    };

    Criteria();

    bool isEmpty() const;
    // The field names the criteria compares, in the order they appear.
    QStringList fieldNames() const;
    // The tests in the order they appear (for display and tests).
    std::vector<Test> tests() const;

    // Resolves the field names against a record layout (letter case ignored). Raises error
    // 3070 naming the field when the layout has no such field.
    void bind(const QStringList &layoutFields);
    // Whether a row of the bound layout satisfies the criteria; row points at its values.
    bool matches(const QVariant *row) const;
    // Whether the row satisfies the criteria with every text spelled exactly as the criteria
    // spell it, letter case included.
    bool matchesExactly(const QVariant *row) const;

    struct Node;

private:
    friend Criteria parseCriteria(const QString &text);
    std::shared_ptr<Node> m_root;
    bool m_bound = false;
};

// Reads a criteria text. Raises error 3075 (text quoting the criteria) when it is malformed:
// an unbalanced quote, a missing value or operator, a dangling OR or AND, or an empty text.
Criteria parseCriteria(const QString &text);
