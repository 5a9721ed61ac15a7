// The main window's ten preset buttons: their hints, their states, storing the list's
// station in one, and tuning the station one holds.
#include "tuner/frmMain.h"

#include "tuner/StationRecord.h"
#include "tuner/StatusBar.h"

#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/PlainText.h"
#include "app/RuntimeError.h"
#include "player/RealAudio.h"

#include <QPushButton>

using StationRecord::isEmpty;
using StationRecord::onRow;

void frmMain::vbGetPreset()
{
    RecordsetPtr rs = presets();
    int rows = 0;
    if (rs) {
        try {
            if (!(rs->BOF() && rs->EOF_()))
                rs->MoveFirst();
            for (; rows < 10 && !rs->EOF_(); ++rows) {
                const QString name = StationRecord::text(rs, StationColumn::SName);
                setPresetHint(rows, name.isEmpty() ? QStringLiteral("[None]") : name);
                rs->MoveNext();
            }
        } catch (const RuntimeError &) {
            // An unreadable preset row ends the labelling: the buttons from it on are disabled below.
        }
    }
    // Buttons without a preset row are disabled and say so.
    for (int i = rows; i < 10; ++i)
        setPresetHint(i, QStringLiteral("[None]"));
    m_presetRows = rows;
    applyPresetStates();
}

void frmMain::setPresetHint(int index, const QString &hint)
{
    Preset[index]->setToolTip(PlainText::toolTip(hint));
    // Read as its number and the station it holds: "3, BBC World Service".
    const QString name = QStringLiteral("%1, %2").arg(index).arg(hint);
    if (Preset[index]->accessibleName() != name)
        Preset[index]->setAccessibleName(name);
}

void frmMain::applyPresetStates()
{
    for (int i = 0; i < 10; ++i)
        Preset[i]->setEnabled(Module1::RadioMode && i < m_presetRows);
    cmdSet->setEnabled(Module1::RadioMode);
}

void frmMain::cmdSet_Click()
{
    if (!Module1::PresetArmed) {
        Module1::PresetArmed = true;
        StatusBar1->showPrompt(QStringLiteral("Select Number To Preset..."));
    } else {
        Module1::PresetArmed = false;
        showCategoryOf(stations());
    }
}

void frmMain::Preset_Click(int Index)
{
    RecordsetPtr presetRows = presets();
    if (!presetRows || Index < 0 || Index >= m_presetRows)
        return;
    presetRows->MoveLast();
    presetRows->MoveFirst();
    presetRows->Move(Index);

    if (Module1::PresetArmed) {
        RecordsetPtr station = stations();
        if (!onRow(station)) {
            MsgBox::show(tr("No station is selected in the list, so nothing was stored in preset %1.\n\n"
                            "Select a station, then press the preset button again.")
                             .arg(Index),
                         this);
            return;
        }
        presetRows->Edit();
        try {
            // A preset row holds a whole station, field by field.
            for (int p = 0; p < StationColumn::Count; ++p)
                presetRows->setField(p, station->Fields(p));
            presetRows->Update();
        } catch (...) {
            presetRows->CancelUpdate();
            throw;
        }
        setPresetHint(Index, presetRows->Fields(StationColumn::SName).toString());
        showCategoryOf(station);
        Module1::PresetArmed = false;
    } else {
        UpdateDisplay(presetRows);
        speakStation(presetRows);
        const QVariant stream = presetRows->Fields(StationColumn::RAMFile);
        if (!isEmpty(stream)) {
            RealAudio1[Picture]->setStationName(presetRows->Fields(StationColumn::SName).toString());
            RealAudio1[Picture]->setSource(stream.toString());
        }
    }
}
