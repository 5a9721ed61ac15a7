#include "IniFile.h"

#include "RuntimeError.h"
#include "TextCodec.h"

namespace IniFile {

namespace {

// A CR, an LF or a CR LF ends a line; the last line needs no end.
template <typename Text> QList<Text> linesOf(const Text &text)
{
    QList<Text> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines << text.mid(start, i - start);
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

} // namespace

QStringList splitLines(const QString &text)
{
    return linesOf(text);
}

bool belongsTo(const QString &line, const QString &key)
{
    return line.startsWith(key, Qt::CaseSensitive);
}

static QString trimSpaces(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString valueOf(const QString &line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return trimSpaces(eq < 0 ? line : line.mid(eq + 1));
}

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    return linesOf(bytes);
}

std::optional<QString> read(const QByteArray &file, const QString &key)
{
    std::optional<QString> result;
    for (const QString &line : TextCodec::decodeLines(file)) {
        if (belongsTo(line, key))
            result = valueOf(line);
    }
    return result;
}

QByteArray rewrite(const QByteArray &file, const QString &key, const QString &value)
{
    QByteArray out;
    for (const QByteArray &bytes : splitLines(file)) {
        const QString line = TextCodec::decode(bytes);
        if (belongsTo(line, key)) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            out += (eq < 0 ? value : line.left(eq + 1) + value).toUtf8();
        } else {
            out += bytes;
        }
        out += "\r\n";
    }
    return out;
}

bool toBool(const std::optional<QString> &value)
{
    if (!value)
        return false;
    const QString v = value->trimmed();
    if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double number = v.toDouble(&ok);
    if (ok)
        return number != 0.0;
    throw RuntimeError(Err::TypeMismatch, QStringLiteral("Type mismatch: \"%1\" is not a truth value").arg(*value));
}

} // namespace IniFile
