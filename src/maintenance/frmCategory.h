#pragma once

#include "RecordEditor.h"

#include <array>

class BoundTextBox;
class QLabel;
class QPushButton;

// "Category": browses, adds, renames, describes and deletes categories, in name order.
// A category chosen for viewing in the radio band cannot be deleted.
class frmCategory : public RecordEditor
{
    Q_OBJECT
public:
    explicit frmCategory(QWidget *parent = nullptr);

    std::array<BoundTextBox *, 2> txtFields{}; // (0) name, (1) description
    std::array<QLabel *, 2> lblLabels{};
    QPushButton *cmdRefresh;

public slots:
    void Form_Initialize();
    void Form_Load() override;
    void cmdDelete_Click() override;
    void cmdRefresh_Click();
    void datPrimaryRS_Error(int DataErr, int &Response) override;

protected:
    QString saveErrorMessage(const RuntimeError &error) const override;
};
