#pragma once

#include "StationImport.h"
#include "StationListDialog.h"

class QCheckBox;
class QComboBox;

// "Import File": adds the stations of a station file, of a Corvane list file or of another
// player's playlist to the database.
class frmImport : public StationListDialog
{
    Q_OBJECT
public:
    explicit frmImport(QWidget *parent = nullptr);
    ~frmImport() override;

    QGroupBox *Frame2;
    std::array<QRadioButton *, 2> optAction;
    QCheckBox *chkPrompt;
    // The category a playlist's stations go to: one of the existing categories.
    QLabel *lblCategory;
    QComboBox *cboCategory;
    // An IPTV playlist's television entries go to the TV band ("Television").
    QCheckBox *chkTelevision;
    // Bound to SName, Location, CallLetters, Frequency, Type, RAMFile, Category.
    BoundTextBox *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7;

    // What the last import did (shown nowhere; the tests read it).
    using Counts = StationImport::Counts;
    Counts lastCounts() const { return m_counts; }

public slots:
    void Command1_Click();
    void Command3_Click();
    void optAction_Click(int Index);

protected:
    void resetForm() override;

private:
    // Runs the import, showing its progress; false when it failed (already reported).
    bool importFile(const StationImport::Choices &choices);
    void fillCategories();
    // Asks whether the guides an IPTV playlist names become guide sources.
    void offerGuides(const QStringList &addresses);

    Counts m_counts;
};
