#include "SystemLookup.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace SystemLookup {
namespace {

QByteArray textData(const QString &text)
{
    QByteArray data = text.toLocal8Bit();
    data.append('\0');
    return data;
}

// Answers the two keys of the system information tool from the programs on PATH.
class SystemValues : public Lookup
{
public:
    bool hasKey(std::uint32_t root, const QString &key) const override
    {
        if (root != HKEY_LOCAL_MACHINE)
            return false;
        if (key.compare(SysInfoKey, Qt::CaseInsensitive) != 0 && key.compare(SysInfoLocKey, Qt::CaseInsensitive) != 0)
            return false;
        return !findSysInfoProgram().isEmpty();
    }

    std::optional<Value> value(std::uint32_t root, const QString &key, const QString &name) const override
    {
        if (!hasKey(root, key))
            return std::nullopt;
        const QString program = findSysInfoProgram();
        if (key.compare(SysInfoKey, Qt::CaseInsensitive) == 0 && name.compare(SysInfoValue, Qt::CaseInsensitive) == 0)
            return Value{REG_SZ, textData(program)};
        if (key.compare(SysInfoLocKey, Qt::CaseInsensitive) == 0 &&
            name.compare(SysInfoLocValue, Qt::CaseInsensitive) == 0)
            return Value{REG_SZ, textData(QFileInfo(program).absolutePath())};
        return std::nullopt;
    }
};

const SystemValues g_system;
const Lookup *g_lookup = nullptr;

} // namespace

QStringList sysInfoPrograms()
{
    return {QStringLiteral("hardinfo2"),
            QStringLiteral("hardinfo"),
            QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor"),
            QStringLiteral("mate-system-monitor"),
            QStringLiteral("xfce4-taskmanager"),
            QStringLiteral("lxtask")};
}

QString findSysInfoProgram()
{
    const QStringList dirs = qEnvironmentVariable("PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts);
    if (dirs.isEmpty())
        return QString();
    for (const QString &name : sysInfoPrograms()) {
        const QString found = QStandardPaths::findExecutable(name, dirs);
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

const Lookup &current()
{
    return g_lookup ? *g_lookup : g_system;
}

void setLookup(const Lookup *lookup)
{
    g_lookup = lookup;
}

} // namespace SystemLookup
