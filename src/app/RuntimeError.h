#pragma once

#include <QString>
#include <stdexcept>

// A run-time error: a number and a text, as the user sees them in the error report.
class RuntimeError : public std::runtime_error
{
public:
    RuntimeError(int number, const QString &text)
        : std::runtime_error(text.toStdString()), m_number(number), m_text(text)
    {
    }

    int number() const { return m_number; }
    QString text() const { return m_text; }

    // "Run-time error '53':\n\nFile not found: /path/Tuner.ini"
    QString report() const { return QStringLiteral("Run-time error '%1':\n\n%2").arg(m_number).arg(m_text); }

private:
    int m_number;
    QString m_text;
};

// Error numbers of the runtime that the program raises itself.
namespace Err {
constexpr int TypeMismatch = 13;
constexpr int FileNotFound = 53;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int ReadOnlyProperty = 383;
} // namespace Err
