#pragma once

#include "RecordEditor.h"
#include "app/CommonDialog.h"

#include <array>

class BoundComboBox;
class BoundTextBox;
class Data;
class DBCombo;
class QLabel;
class QPushButton;

// "Edit Stations": browses, adds, changes and deletes the stations the main list shows.
// It has no station record set of its own: each opening takes over the record set of the
// main window's station data control, so every move, addition and deletion is the main list's.
// One object serves the whole run; AddingRecord outlives the closing of the window.
class frmStation : public RecordEditor
{
    Q_OBJECT
public:
    frmStation(Data *mainStations, QWidget *parent = nullptr);

    // txtFields(0) name, (1) frequency, (2) web page, (3) call letters, (4) location,
    // (5) metafile; lblLabels(0..5) label the first five boxes and the type box.
    std::array<BoundTextBox *, 6> txtFields{};
    // The boxes by what they hold.
    enum Box { NameBox = 0, FrequencyBox = 1, WebPageBox = 2, CallLettersBox = 3, LocationBox = 4, RAMFileBox = 5 };
    std::array<QLabel *, 6> lblLabels{};
    BoundComboBox *Combo1;
    QPushButton *Command1;
    QLabel *Label1;
    DBCombo *DBCombo1;
    QLabel *Label2;
    Data *Data1;
    CommonDialog CommonDialog1;

public slots:
    void Form_Load() override;
    void Form_Unload(int &Cancel) override;
    void cmdDelete_Click() override;
    void cmdUpdate_Click() override;
    void Command1_Click();
    void datPrimaryRS_Reposition() override;
    void datPrimaryRS_Error(int DataErr, int &Response) override;

protected:
    QString saveErrorMessage(const RuntimeError &error) const override;

private:
    Data *m_mainStations;
};
