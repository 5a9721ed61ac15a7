#include "CommonDialog.h"

#include <QFileDialog>
#include <QStringList>
#include <deque>
#include <optional>

namespace {
std::deque<QString> g_presets;
QString g_lastTitle;
QString g_lastFilter;
} // namespace

QString CommonDialog::convertFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString desc = parts[i];
        // A description that already lists its patterns in brackets keeps them once.
        const int bracket = desc.indexOf(QLatin1Char('('));
        if (bracket > 0)
            desc = desc.left(bracket).trimmed();
        out << QStringLiteral("%1 (%2)").arg(desc, patterns.simplified());
    }
    return out.join(QStringLiteral(";;"));
}

void CommonDialog::presetNextFileName(const QString &name)
{
    g_presets.push_back(name);
}
void CommonDialog::clearPresets()
{
    g_presets.clear();
}
bool CommonDialog::hasPreset()
{
    return !g_presets.empty();
}
QString CommonDialog::lastTitle()
{
    return g_lastTitle;
}
QString CommonDialog::lastFilter()
{
    return g_lastFilter;
}

bool CommonDialog::ShowOpen(QWidget *parent)
{
    return run(parent, false);
}
bool CommonDialog::ShowSave(QWidget *parent)
{
    return run(parent, true);
}

bool CommonDialog::run(QWidget *parent, bool save)
{
    g_lastTitle = DialogTitle;
    g_lastFilter = Filter;
    QString chosen;
    if (!g_presets.empty()) {
        chosen = g_presets.front();
        g_presets.pop_front();
    } else {
        const QStringList filters = convertFilter(Filter).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
        QString selected;
        if (FilterIndex >= 1 && FilterIndex <= filters.size())
            selected = filters[FilterIndex - 1];
        QString start = FileName;
        if (!InitDir.isEmpty())
            start = InitDir + QLatin1Char('/') + FileName;
        const QString qtFilter = filters.join(QStringLiteral(";;"));
        chosen = save ? QFileDialog::getSaveFileName(parent, DialogTitle, start, qtFilter, &selected)
                      : QFileDialog::getOpenFileName(parent, DialogTitle, start, qtFilter, &selected);
        const int index = filters.indexOf(selected);
        if (index >= 0)
            FilterIndex = index + 1;
    }
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}
