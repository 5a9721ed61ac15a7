// Feeds arbitrary bytes to the settings file reader and rewrite.
#include "app/IniFile.h"
#include "app/RuntimeError.h"
#include "app/TextCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const char *key : {"DataBase", "ShowBanner", "Categories"}) {
        const auto value = IniFile::read(text, QString::fromLatin1(key));
        try {
            IniFile::toBool(value);
        } catch (const RuntimeError &) {
        }
        const QByteArray rewritten = IniFile::rewrite(text, QString::fromLatin1(key), QStringLiteral("x=y"));
        // The rewrite keeps one line per line read, and what it wrote reads back.
        const QByteArray &again = rewritten;
        if (IniFile::splitLines(again).size() != IniFile::splitLines(text).size())
            __builtin_trap();
        // A key whose lines all hold '=' reads back exactly the value written.
        bool allWithEquals = value.has_value();
        for (const QByteArray &bytes : IniFile::splitLines(text))
            if (const QString line = TextCodec::decode(bytes);
                IniFile::belongsTo(line, QString::fromLatin1(key)) && !line.contains(QLatin1Char('=')))
                allWithEquals = false;
        if (allWithEquals && IniFile::read(again, QString::fromLatin1(key)) != QStringLiteral("x=y"))
            __builtin_trap();
    }
    return 0;
}
