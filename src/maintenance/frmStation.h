#pragma once

#include "app/CommonDialog.h"

#include <QDialog>
#include <array>

class BoundComboBox;
class BoundTextBox;
class Data;
class DBCombo;
class QLabel;
class QPushButton;
class QWidget;

// "Edit Stations": browses, adds, changes and deletes the stations the main list shows.
// It has no station record set of its own: each opening takes over the record set of the
// main window's station data control, so every move, addition and deletion is the main list's.
// One object serves the whole run; AddingRecord outlives the closing of the window.
class frmStation : public QDialog
{
    Q_OBJECT
public:
    frmStation(Data *mainStations, QWidget *parent = nullptr);

    // txtFields(0) name, (1) frequency, (2) web page, (3) call letters, (4) location,
    // (5) metafile; lblLabels(0..5) label the first five boxes and the type box.
    std::array<BoundTextBox *, 6> txtFields{};
    std::array<QLabel *, 6> lblLabels{};
    BoundComboBox *Combo1;
    QPushButton *Command1;
    QLabel *Label1;
    DBCombo *DBCombo1;
    QLabel *Label2;
    QWidget *picButtons;
    QPushButton *cmdAdd;
    QPushButton *cmdDelete;
    QPushButton *cmdUpdate;
    QPushButton *cmdClose;
    Data *datPrimaryRS;
    Data *Data1;
    CommonDialog CommonDialog1;

    // Set when a new row is begun, never cleared while the program runs.
    bool AddingRecord = false;

    void setVisible(bool visible) override;
    void done(int result) override;

public slots:
    void Form_Load();
    void Form_Unload(int &Cancel);
    void cmdAdd_Click();
    void cmdDelete_Click();
    void cmdUpdate_Click();
    void cmdClose_Click();
    void Command1_Click();
    void datPrimaryRS_Validate(int Action, int &Save);
    void datPrimaryRS_Reposition();
    void datPrimaryRS_Error(int DataErr, int &Response);

private:
    Data *m_mainStations;
    bool m_loaded = false;
};
