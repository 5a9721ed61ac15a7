// The main window's station list: the filter that fills it, tuning its stations, the band
// buttons and the two steppers.
#include "guide/GuideStatus.h"
#include "tuner/frmMain.h"

#include "tuner/StationFilter.h"
#include "tuner/StationRecord.h"
#include "tuner/UpDown.h"

#include "app/Module1.h"
#include "app/PlainText.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Database.h"
#include "data/StationLinks.h"
#include "directory/DirectoryClient.h"
#include "health/StationVerdicts.h"
#include "player/RealAudio.h"

#include <QAction>

using StationRecord::isEmpty;
using StationRecord::onRow;

void frmMain::vbFilter(QString &categories)
{
    const QString criteria = categoryCriteria(categories, Module1::FilterField);
    if (!m_databaseOk)
        return;

    // Each step goes on when the one before failed: criteria the parser refuses leave the
    // list unfiltered, an empty result leaves the display as it was.
    // The table is reread from the file when it changed, so changes made in other windows show;
    // while it is unchanged, a band's list is filtered and sorted only the first time.
    RecordsetPtr table;
    try {
        table = m_stationTable.open(Data1->DatabaseName(), Data1->RecordSource(), Data1->ReadOnly());
    } catch (const std::exception &) {
        // An unreadable table leaves the list as it was (checked just below).
    }
    if (!table)
        return;
    const QString byName = QStringLiteral("SName");
    RecordsetPtr filtered;
    try {
        filtered = m_stationTable.derived(byName, criteria);
    } catch (const std::exception &) {
        // Refused criteria: every station shows, still in name order.
        try {
            filtered = m_stationTable.derived(byName, QString());
        } catch (const std::exception &) {
            filtered = table;
        }
    }
    m_refreshing = true;
    try {
        Data1->setRecordset(filtered);
    } catch (const std::exception &) {
        // The list keeps the set it had; the filter never reports an error.
    }
    m_refreshing = false;
    try {
        if (RecordsetPtr rs = Data1->Recordset(); rs && !(rs->BOF() && rs->EOF_()))
            rs->MoveFirst();
    } catch (const std::exception &) {
        // No first station to go to: the display keeps what it showed.
    }
}

// ---- Tuning ----------------------------------------------------------------------------------

void frmMain::DBList1_Click()
{
    RecordsetPtr rs = stations();
    if (!rs)
        return;
    rs->FindFirst(stationNameCriteria(DBList1->Text()));
    UpdateDisplay(rs);
}

void frmMain::DBList1_DblClick()
{
    vbTuneIn();
}

void frmMain::vbTuneIn()
{
    RecordsetPtr rs = stations();
    if (!rs || (rs->BOF() && rs->EOF_()))
        return;
    if (rs->EOF_())
        rs->MoveLast();
    if (rs->BOF())
        rs->MoveFirst();
    if (!onRow(rs))
        return;

    mnuViewWebPage->setEnabled(!isEmpty(rs->Fields(StationColumn::WebPage)));
    const QVariant stream = rs->Fields(StationColumn::RAMFile);
    if (isEmpty(stream))
        return;
    playStation(DBList1->Text(), stream.toString());
    countDirectoryClick(rs->Fields(StationColumn::SName).toString());
}

void frmMain::playStation(const QString &name, const QString &address)
{
    setWindowTitle(startCaption() + QStringLiteral(" [") + name + QLatin1Char(']'));
    RealAudio1[Picture]->setStationName(name);
    RealAudio1[Picture]->setSource(address);
    RealAudio1[Picture]->DoPlay();
    if (m_guideStatus)
        m_guideStatus->tuned(name);
    // The list's tool tip says when the tuned station last failed a station check.
    QString note;
    try {
        note = StationVerdicts::failureNote(*Database::open(Module1::DatabasePath), name);
    } catch (const RuntimeError &) {
    }
    DBList1->setToolTip(note.isEmpty() ? QString() : PlainText::toolTip(QStringLiteral("\"%1\": %2").arg(name, note)));
}

void frmMain::countDirectoryClick(const QString &stationName)
{
    QString uuid;
    try {
        uuid = StationLinks::uuidFor(*Database::open(Module1::DatabasePath), stationName);
    } catch (const RuntimeError &) {
        return; // no link to read: nothing to count
    }
    if (uuid.isEmpty())
        return;
    if (!m_directory)
        m_directory = new DirectoryClient(DirectoryServers::session(), this);
    m_directory->countClick(uuid);
}

void frmMain::tuneStation(const QString &name, const QString &address)
{
    if (RecordsetPtr rs = stations(); rs && !rs->BOF_and_EOF()) {
        try {
            rs->FindFirst(stationNameCriteria(name));
            if (!rs->NoMatch()) {
                vbTuneIn();
                return;
            }
        } catch (const std::exception &) {
            // Not found in the list: played by its address below.
        }
    }
    if (!address.isEmpty())
        playStation(name, address);
}

void frmMain::Data1_Reposition()
{
    if (m_refreshing)
        return;
    RecordsetPtr rs = stations();
    if (!rs)
        return;
    UpdateDisplay(rs);
    if (onRow(rs)) {
        const QVariant name = rs->Fields(StationColumn::SName);
        if (!isEmpty(name))
            DBList1->setText(name.toString());
    }
}

// ---- Bands and stepping ----------------------------------------------------------------------

QString frmMain::bandCategories()
{
    return Module1::RadioMode ? Module1::ViewCategories : QStringLiteral("Television");
}

void frmMain::selectBand(bool radio)
{
    UpDown1->setEnabled(!radio);
    UpDown2->setEnabled(radio);
    Module1::RadioMode = radio;
    applyPresetStates();
    QString categories = bandCategories();
    vbFilter(categories);
}

void frmMain::optTuner_Click()
{
    selectBand(true);
}

void frmMain::optTV_Click()
{
    selectBand(false);
}

void frmMain::stepStation(bool forward)
{
    RecordsetPtr rs = stations();
    if (!rs || (forward ? rs->EOF_() : rs->BOF()))
        return;
    if (forward)
        rs->MoveNext();
    else
        rs->MovePrevious();
    vbTuneIn();
    speakStation(rs);
}

// The channel stepper stands upright: its upper arrow goes back in the list.
void frmMain::UpDown1_UpClick()
{
    stepStation(false);
}

void frmMain::UpDown1_DownClick()
{
    stepStation(true);
}

// The station stepper lies flat: its right-hand ("up") arrow goes on in the list.
void frmMain::UpDown2_UpClick()
{
    stepStation(true);
}

void frmMain::UpDown2_DownClick()
{
    stepStation(false);
}
