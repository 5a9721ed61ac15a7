#include "data/Criteria.h"

#include "data/Collation.h"
#include "data/Database.h"

struct Criteria::Node
{
    enum Kind { Or, And, Test } kind = Test;
    // The operands of OR and AND, in order: a long chain of tests stays one level deep, so
    // reading, binding and evaluating it never recurses once per test.
    std::vector<std::shared_ptr<Node>> operands;
    QString field;
    QString value;
    int column = -1;
};

namespace {

[[noreturn]] void malformed(const QString &text, const QString &why)
{
    throw RuntimeError(DataErr::MalformedCriteria,
                       QStringLiteral("The search condition (%1) is not well formed: %2.").arg(text, why));
}

// Recursive descent over the criteria text:
//   or   := and ( OR and )*
//   and  := term ( AND term )*
//   term := '(' or ')' | field '=' 'value'
class Parser
{
public:
    explicit Parser(const QString &text) : m_text(text) {}

    std::shared_ptr<Criteria::Node> parse()
    {
        skipBlanks();
        if (atEnd())
            malformed(m_text, QStringLiteral("it is empty"));
        auto root = parseOr();
        skipBlanks();
        if (!atEnd())
            malformed(m_text, QStringLiteral("unexpected text \"%1\"").arg(m_text.mid(m_pos)));
        return root;
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek() const { return atEnd() ? QChar() : m_text[m_pos]; }

    void skipBlanks()
    {
        while (!atEnd() && m_text[m_pos].isSpace())
            ++m_pos;
    }

    static bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

    // Consumes the keyword (OR, AND) when it stands next as a whole word.
    bool keyword(QLatin1StringView word)
    {
        skipBlanks();
        const qsizetype n = word.size();
        if (m_pos + n > m_text.size() || QStringView(m_text).mid(m_pos, n).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        if (m_pos + n < m_text.size() && isWordChar(m_text[m_pos + n]))
            return false;
        m_pos += n;
        return true;
    }

    // Parentheses deeper than this are refused rather than read by ever deeper recursion.
    static constexpr int MaxNesting = 100;

    std::shared_ptr<Criteria::Node> parseOr()
    {
        return parseJoined(Criteria::Node::Or, QLatin1StringView("OR"), &Parser::parseAnd);
    }

    std::shared_ptr<Criteria::Node> parseAnd()
    {
        return parseJoined(Criteria::Node::And, QLatin1StringView("AND"), &Parser::parseTerm);
    }

    // Operands read by operand, joined by word: one node of kind, or the one operand alone.
    std::shared_ptr<Criteria::Node> parseJoined(Criteria::Node::Kind kind, QLatin1StringView word,
                                                std::shared_ptr<Criteria::Node> (Parser::*operand)())
    {
        auto first = (this->*operand)();
        if (!keyword(word))
            return first;
        auto node = std::make_shared<Criteria::Node>();
        node->kind = kind;
        node->operands.push_back(std::move(first));
        do
            node->operands.push_back((this->*operand)());
        while (keyword(word));
        return node;
    }

    std::shared_ptr<Criteria::Node> parseTerm()
    {
        skipBlanks();
        if (atEnd())
            malformed(m_text, QStringLiteral("a test is missing at the end"));
        if (peek() == QLatin1Char('(')) {
            if (m_nesting == MaxNesting)
                malformed(m_text, QStringLiteral("its parentheses are nested too deeply"));
            ++m_pos;
            ++m_nesting;
            auto inner = parseOr();
            --m_nesting;
            skipBlanks();
            if (peek() != QLatin1Char(')'))
                malformed(m_text, QStringLiteral("a closing parenthesis is missing"));
            ++m_pos;
            return inner;
        }
        auto node = std::make_shared<Criteria::Node>();
        node->field = parseField();
        skipBlanks();
        if (peek() != QLatin1Char('='))
            malformed(m_text, QStringLiteral("\"=\" is missing after the field %1").arg(node->field));
        ++m_pos;
        skipBlanks();
        node->value = parseValue();
        return node;
    }

    QString parseField()
    {
        if (peek() == QLatin1Char('[')) {
            const qsizetype close = m_text.indexOf(QLatin1Char(']'), m_pos + 1);
            if (close < 0)
                malformed(m_text, QStringLiteral("a closing bracket is missing"));
            const QString name = m_text.mid(m_pos + 1, close - m_pos - 1).trimmed();
            if (name.isEmpty())
                malformed(m_text, QStringLiteral("a field name is empty"));
            m_pos = close + 1;
            return name;
        }
        const qsizetype start = m_pos;
        while (!atEnd() && isWordChar(m_text[m_pos]))
            ++m_pos;
        if (m_pos == start)
            malformed(m_text, QStringLiteral("a field name is expected at \"%1\"").arg(m_text.mid(start)));
        const QString name = m_text.mid(start, m_pos - start);
        if (name.compare(QLatin1String("OR"), Qt::CaseInsensitive) == 0 ||
            name.compare(QLatin1String("AND"), Qt::CaseInsensitive) == 0)
            malformed(m_text, QStringLiteral("a test is missing before %1").arg(name));
        return name;
    }

    // 'text' with '' standing for one quote.
    QString parseValue()
    {
        if (peek() != QLatin1Char('\''))
            malformed(m_text, QStringLiteral("a value in single quotes is expected"));
        ++m_pos;
        QString value;
        for (;;) {
            if (atEnd())
                malformed(m_text, QStringLiteral("a closing quote is missing"));
            const QChar c = m_text[m_pos++];
            if (c == QLatin1Char('\'')) {
                if (peek() == QLatin1Char('\'')) {
                    value += c;
                    ++m_pos;
                    continue;
                }
                return value;
            }
            value += c;
        }
    }

    const QString &m_text;
    qsizetype m_pos = 0;
    int m_nesting = 0;
};

void collect(const std::shared_ptr<Criteria::Node> &node, std::vector<Criteria::Test> &out)
{
    if (!node)
        return;
    if (node->kind == Criteria::Node::Test) {
        out.push_back({node->field, node->value});
        return;
    }
    for (const auto &operand : node->operands)
        collect(operand, out);
}

void bindNode(Criteria::Node &node, const QStringList &fields)
{
    if (node.kind != Criteria::Node::Test) {
        for (const auto &operand : node.operands)
            bindNode(*operand, fields);
        return;
    }
    node.column = -1;
    for (int i = 0; i < fields.size(); ++i) {
        if (fields[i].compare(node.field, Qt::CaseInsensitive) == 0) {
            node.column = i;
            break;
        }
    }
    if (node.column < 0)
        throw RuntimeError(
            DataErr::UnknownCriteriaField,
            QStringLiteral("The search condition names the field \"%1\", which this record set does not have.")
                .arg(node.field));
}

bool equal(const QVariant &field, const QString &value, bool exactly)
{
    if (!field.isValid())
        return false;
    if (field.typeId() == QMetaType::QString) {
        const QString &s = *static_cast<const QString *>(field.constData());
        return exactly ? s == value : Collation::sameName(s, value);
    }
    const QString text = field.toString();
    return exactly ? text == value : Collation::sameName(text, value);
}

// value(column) gives the row's value of a field.
template <typename Value> bool evaluate(const Criteria::Node &node, const Value &value, bool exactly)
{
    switch (node.kind) {
    case Criteria::Node::Or:
        for (const auto &operand : node.operands)
            if (evaluate(*operand, value, exactly))
                return true;
        return false;
    case Criteria::Node::And:
        for (const auto &operand : node.operands)
            if (!evaluate(*operand, value, exactly))
                return false;
        return true;
    case Criteria::Node::Test:
        break;
    }
    if (node.column < 0)
        return false;
    return equal(value(node.column), node.value, exactly);
}

} // namespace

QString criteriaQuote(const QString &value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return quoted;
}

Criteria::Criteria() = default;

bool Criteria::isEmpty() const
{
    return !m_root;
}

std::vector<Criteria::Test> Criteria::tests() const
{
    std::vector<Test> out;
    collect(m_root, out);
    return out;
}

QStringList Criteria::fieldNames() const
{
    QStringList names;
    for (const Test &t : tests())
        names << t.field;
    return names;
}

void Criteria::bind(const QStringList &layoutFields)
{
    if (m_root)
        bindNode(*m_root, layoutFields);
    m_bound = true;
}

bool Criteria::matches(const QVariant *row) const
{
    if (!m_root)
        return true;
    Q_ASSERT(m_bound);
    return evaluate(
        *m_root, [row](int c) -> const QVariant & { return row[c]; }, false);
}

bool Criteria::matchesExactly(const QVariant *row) const
{
    if (!m_root)
        return true;
    Q_ASSERT(m_bound);
    return evaluate(
        *m_root, [row](int c) -> const QVariant & { return row[c]; }, true);
}

Criteria parseCriteria(const QString &text)
{
    Criteria c;
    c.m_root = Parser(text).parse();
    return c;
}
