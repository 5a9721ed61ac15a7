#pragma once

#include "StationExport.h"
#include "StationListDialog.h"

class QCheckBox;

// "Export To File": writes every station of the database to a station file, a web page table or
// a playlist other players open.
class frmExport : public StationListDialog
{
    Q_OBJECT
public:
    explicit frmExport(QWidget *parent = nullptr);
    ~frmExport() override;

    QCheckBox *Check1;
    // Bound to SName, Location, CallLetters, Frequency, Type, RAMFile, Category, WebPage.
    BoundTextBox *Text1, *Text2, *Text3, *Text4, *Text5, *Text6, *Text7, *Text8;

public slots:
    void Command1_Click();
    void Command3_Click();

protected:
    void resetForm() override;

private:
    // Writes the file, showing the progress; false when it failed (already reported) or was
    // cancelled.
    bool exportTo(const StationExport::Choices &choices);
};
