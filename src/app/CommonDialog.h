#pragma once

#include <QString>

class QWidget;

// The open and save file dialogs. Filters are written as "Description|*.x|Other|*.y;*.z"
// and converted to the toolkit's form. Tests preset the name the next dialog returns
// (an empty name stands for Cancel), so no real dialog opens.
class CommonDialog
{
public:
    QString DialogTitle;
    QString Filter;
    int FilterIndex = 1; // 1-based, as the filter text lists them
    QString FileName;    // in: proposed name; out: the chosen file
    QString InitDir;

    // True when the user chose a file (FileName holds it), false on Cancel.
    bool ShowOpen(QWidget *parent = nullptr);
    bool ShowSave(QWidget *parent = nullptr);

    static QString convertFilter(const QString &filter);

    static void presetNextFileName(const QString &name);
    static void clearPresets();
    static bool hasPreset();
    // The title and filter the last dialog was opened with (tests check them).
    static QString lastTitle();
    static QString lastFilter();

private:
    bool run(QWidget *parent, bool save);
};
