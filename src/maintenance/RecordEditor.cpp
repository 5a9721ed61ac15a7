#include "RecordEditor.h"

#include "FormSupport.h"
#include "MaintenanceRules.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QHBoxLayout>
#include <QPushButton>

RecordEditor::RecordEditor(const Captions &captions, QWidget *parent) : QDialog(parent), m_captions(captions)
{
    setModal(true);
    datPrimaryRS = new Data(this);
    datPrimaryRS->setObjectName(QStringLiteral("datPrimaryRS"));
}

QPushButton *RecordEditor::makeButtonStrip(const char *extraName, const QString &extraCaption)
{
    picButtons = new QWidget(this);
    picButtons->setObjectName(QStringLiteral("picButtons"));
    cmdAdd = Maintenance::makeButton("cmdAdd", QStringLiteral("&Add"), picButtons);
    cmdDelete = Maintenance::makeButton("cmdDelete", QStringLiteral("&Delete"), picButtons);
    QPushButton *extra = extraName ? Maintenance::makeButton(extraName, extraCaption, picButtons) : nullptr;
    cmdUpdate = Maintenance::makeButton("cmdUpdate", QStringLiteral("&Update"), picButtons);
    cmdClose = Maintenance::makeButton("cmdClose", QStringLiteral("&Close"), picButtons);
    auto *strip = new QHBoxLayout(picButtons);
    strip->setContentsMargins(0, 0, 0, 0);
    for (QPushButton *b : {cmdAdd, cmdDelete, extra, cmdUpdate, cmdClose}) {
        if (b)
            strip->addWidget(b);
    }
    return extra;
}

void RecordEditor::connectHandlers()
{
    connect(cmdAdd, &QPushButton::clicked, this, &RecordEditor::cmdAdd_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &RecordEditor::cmdDelete_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &RecordEditor::cmdUpdate_Click);
    connect(cmdClose, &QPushButton::clicked, this, &RecordEditor::cmdClose_Click);
    connect(datPrimaryRS, &Data::Validate, this, &RecordEditor::datPrimaryRS_Validate);
    connect(datPrimaryRS, &Data::Reposition, this, &RecordEditor::datPrimaryRS_Reposition);
    connect(datPrimaryRS, &Data::Error, this, &RecordEditor::datPrimaryRS_Error);
}

void RecordEditor::setVisible(bool visible)
{
    if (visible && !m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::setVisible(visible);
}

void RecordEditor::done(int result)
{
    if (m_loaded) {
        m_loaded = false;
        datPrimaryRS->unloadForm(); // Validate with the unload action; a changed row is saved
        int cancel = 0;
        Form_Unload(cancel);
    }
    QDialog::done(result);
}

void RecordEditor::Form_Unload(int &Cancel)
{
    Q_UNUSED(Cancel); // the editor always closes
    Screen::setMousePointer(Screen::Default);
}

void RecordEditor::cmdAdd_Click()
{
    const RecordsetPtr rs = datPrimaryRS->Recordset();
    if (!rs)
        return;
    rs->AddNew();
    datPrimaryRS->setCaption(m_captions.newRecord);
}

void RecordEditor::cmdUpdate_Click()
{
    const RecordsetPtr rs = datPrimaryRS->Recordset();
    if (!rs)
        return;
    try {
        datPrimaryRS->UpdateRecord();
        rs->setBookmark(rs->LastModified());
    } catch (const RuntimeError &e) {
        // A row the database refuses (a name already taken, say) stays pending as typed.
        Screen::setMousePointer(Screen::Default);
        MsgBox::show(saveErrorMessage(e), this);
    }
}

void RecordEditor::cmdClose_Click()
{
    Screen::setMousePointer(Screen::Default);
    close();
}

void RecordEditor::datPrimaryRS_Validate(int Action, int &Save)
{
    Q_UNUSED(Save); // changed values are saved on every move
    if (Action == Recordset::ActionAddNew) {
        AddingRecord = true;
        datPrimaryRS->setCaption(m_captions.newRecord);
    } else if (Action == Recordset::ActionClose) {
        Screen::setMousePointer(Screen::Default);
    }
    Screen::setMousePointer(Screen::Hourglass);
}

void RecordEditor::datPrimaryRS_Reposition()
{
    Screen::setMousePointer(Screen::Default);
    const RecordsetPtr rs = datPrimaryRS->Recordset();
    if (!rs) {
        datPrimaryRS->setCaption(m_captions.noRecords); // nothing to show
        return;
    }
    datPrimaryRS->setCaption(Maintenance::positionCaption(m_captions.noun, rs->AbsolutePosition(), rs->RecordCount()));
    if (rs->EOF_())
        datPrimaryRS->setCaption(m_captions.newRecord);
    if (rs->BOF() && rs->EOF_()) {
        datPrimaryRS->setCaption(m_captions.noRecords);
        // An empty set offers a new row to type into, unless one has been begun already.
        if (!AddingRecord)
            rs->AddNew();
    }
}
