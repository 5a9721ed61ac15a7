#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// A small read-only look-up of the system values the About box asks for, in the shape of a
// registry: keys under a root hold named values with a type and raw data. The system
// look-up answers the two keys that locate the system information tool from the programs
// found on PATH.
namespace SystemLookup {

constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr int REG_SZ = 1;    // text, stored with its closing 0
constexpr int REG_DWORD = 4; // 32-bit number, low byte first

// Where the About box looks for the system information tool.
inline const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
inline const QString SysInfoValue = QStringLiteral("PATH"); // full path of the program
inline const QString SysInfoLocKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
inline const QString SysInfoLocValue = QStringLiteral("MSINFO"); // folder that holds it

struct Value
{
    int type = 0;
    QByteArray data;
};

class Lookup
{
public:
    virtual ~Lookup() = default;
    virtual bool hasKey(std::uint32_t root, const QString &key) const = 0;
    virtual std::optional<Value> value(std::uint32_t root, const QString &key, const QString &name) const = 0;
};

// System information programs, in the order they are preferred.
QStringList sysInfoPrograms();

// The first of sysInfoPrograms() found on PATH (the PATH of the moment), or empty text.
QString findSysInfoProgram();

// The look-up in use: the system's, unless a test installed its own (nullptr restores it).
const Lookup &current();
void setLookup(const Lookup *lookup);

} // namespace SystemLookup
