#include "frmStation.h"
#include "app/PlainText.h"

#include "FormSupport.h"
#include "MaintenanceRules.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kNoun = QStringLiteral("Station");
const QString kNewStation = QStringLiteral("New Station");
const QString kNoStations = QStringLiteral("No Stations");
const QString kNeedCategory = QStringLiteral("Must specify a Category.");

} // namespace

frmStation::frmStation(Data *mainStations, QWidget *parent)
    : RecordEditor({kNoun, kNewStation, kNoStations}, parent), m_mainStations(mainStations)
{
    setObjectName(QStringLiteral("frmStation"));
    setWindowTitle(QStringLiteral("Edit Stations"));

    datPrimaryRS->setRecordSource(QStringLiteral("Station"));

    Data1 = new Data(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setRecordSource(QStringLiteral("Category"));
    Data1->setReadOnly(true);
    Data1->setVisible(false);

    // Box index, label caption, bound field, most characters.
    struct BoxSpec
    {
        int index;
        const char *caption;
        const char *field;
        int maxLength;
    };
    const BoxSpec boxes[] = {
        {NameBox, "Station Name:", "SName", 30},    {FrequencyBox, "Frequency:", "Frequency", 5},
        {WebPageBox, "Web Page:", "WebPage", 100},  {CallLettersBox, "Call Letters:", "CallLetters", 4},
        {LocationBox, "Location:", "Location", 50}, {RAMFileBox, ".RAM File:", "RAMFile", 100},
    };
    for (const BoxSpec &b : boxes) {
        auto *box = new BoundTextBox(this);
        box->setObjectName(QStringLiteral("txtFields(%1)").arg(b.index));
        box->setCharacterLimit(b.maxLength);
        box->bind(datPrimaryRS, QLatin1String(b.field));
        txtFields[b.index] = box;
    }
    const char *labelCaptions[] = {"Station Name:", "Frequency:", "Type:", "Call Letters:", "Location:", ".RAM File:"};
    for (int i = 0; i < 6; ++i) {
        lblLabels[i] = new QLabel(QLatin1String(labelCaptions[i]), this);
        lblLabels[i]->setObjectName(QStringLiteral("lblLabels(%1)").arg(i));
    }

    Combo1 = new BoundComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    // The four types are offered once, before any station is shown: changing the item list
    // later would replace the shown type and count as an edit of the station.
    for (const char *type : {"FM", "AM", "NET", "TV"})
        Combo1->addItem(QLatin1String(type));
    Combo1->bind(datPrimaryRS, QStringLiteral("Type"));

    Command1 = Maintenance::makeButton("Command1", QStringLiteral("..."), this);
    Command1->setToolTip(QStringLiteral("Browse"));
    Command1->setAccessibleName(QStringLiteral("Browse"));

    Label1 = new QLabel(QStringLiteral("Category:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    DBCombo1 = new DBCombo(this);
    DBCombo1->setObjectName(QStringLiteral("DBCombo1"));
    DBCombo1->setEditable(false); // the user picks one of the category names
    DBCombo1->setRowSource(Data1);
    DBCombo1->setListField(QStringLiteral("Name"));
    DBCombo1->setDataSource(datPrimaryRS);
    DBCombo1->setDataField(QStringLiteral("Category"));

    Label2 = new QLabel(QStringLiteral("Web Page:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));

    Maintenance::labelFor(lblLabels[0], txtFields[NameBox]);
    Maintenance::labelFor(lblLabels[1], txtFields[FrequencyBox]);
    Maintenance::labelFor(lblLabels[2], Combo1);
    Maintenance::labelFor(lblLabels[3], txtFields[CallLettersBox]);
    Maintenance::labelFor(lblLabels[4], txtFields[LocationBox]);
    Maintenance::labelFor(lblLabels[5], txtFields[RAMFileBox]);
    Maintenance::labelFor(Label1, DBCombo1);
    Maintenance::labelFor(Label2, txtFields[WebPageBox]);

    makeButtonStrip();

    // Rows: name; call letters, frequency and type; location; metafile and browse;
    // category; web page; the buttons; the navigation bar.
    auto *grid = new QGridLayout;
    grid->addWidget(lblLabels[0], 0, 0);
    grid->addWidget(txtFields[NameBox], 0, 1, 1, 2);
    // Call letters and frequency get room for what they hold; the type box takes the rest.
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('W'));
    txtFields[CallLettersBox]->setMinimumWidth(charWidth * 5);
    txtFields[FrequencyBox]->setMinimumWidth(charWidth * 5);
    Command1->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral(" ... ")) + charWidth);
    auto *row1 = new QHBoxLayout;
    row1->addWidget(txtFields[CallLettersBox]);
    row1->addWidget(lblLabels[1]);
    row1->addWidget(txtFields[FrequencyBox]);
    row1->addWidget(lblLabels[2]);
    row1->addWidget(Combo1, 1);
    grid->addWidget(lblLabels[3], 1, 0);
    grid->addLayout(row1, 1, 1, 1, 2);
    grid->addWidget(lblLabels[4], 2, 0);
    grid->addWidget(txtFields[LocationBox], 2, 1, 1, 2);
    grid->addWidget(lblLabels[5], 3, 0);
    grid->addWidget(txtFields[RAMFileBox], 3, 1);
    grid->addWidget(Command1, 3, 2);
    grid->addWidget(Label1, 4, 0);
    grid->addWidget(DBCombo1, 4, 1, 1, 2);
    grid->addWidget(Label2, 5, 0);
    grid->addWidget(txtFields[WebPageBox], 5, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addWidget(picButtons);
    page->addWidget(datPrimaryRS);

    QWidget *order[] = {txtFields[NameBox],
                        txtFields[CallLettersBox],
                        txtFields[FrequencyBox],
                        Combo1,
                        txtFields[LocationBox],
                        txtFields[RAMFileBox],
                        DBCombo1,
                        txtFields[WebPageBox],
                        Command1,
                        cmdAdd,
                        cmdDelete,
                        cmdUpdate,
                        cmdClose};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    resize(Screen::twipsToPixels(5280), Screen::twipsToPixels(2880));

    CommonDialog1.DialogTitle = QStringLiteral(".RAM File ");
    CommonDialog1.Filter = QStringLiteral("RAM Files (*.ram)|*.ram|All Files (*.*)|*.*|");

    connect(Command1, &QPushButton::clicked, this, &frmStation::Command1_Click);
    connectHandlers();
    PlainText::apply(this); // what the labels show is data, never markup
}

void frmStation::Form_Load()
{
    // The category names are read again at every opening (the list fills itself from them).
    Data1->setDatabaseName(Module1::DatabasePath);
    try {
        Data1->Refresh();
    } catch (const RuntimeError &e) {
        MsgBox::show(e.text(), this); // the category box stays empty
    }
    datPrimaryRS->setRecordset(m_mainStations ? m_mainStations->Recordset() : RecordsetPtr());
    if (!datPrimaryRS->Recordset())
        datPrimaryRS_Reposition(); // no stations to show: say so
}

void frmStation::Form_Unload(int &Cancel)
{
    // The record set goes back to the main window alone: moves made there while the editor is
    // closed must not reach the editor's handlers. The main window's record set is left
    // updatable: the editor takes it over again at its next opening and must save there too.
    datPrimaryRS->setRecordset(nullptr);
    RecordEditor::Form_Unload(Cancel);
}

void frmStation::cmdDelete_Click()
{
    // Each step runs even when an earlier one failed (no current row, say); none is reported.
    const RecordsetPtr rs = datPrimaryRS->Recordset();
    if (rs && rs->EditMode() == Recordset::EditAdd) {
        // A new station not yet saved has nothing stored to delete: what was typed is
        // dropped, and a set at its end again offers an empty new station.
        try {
            rs->CancelUpdate();
            if (rs->EOF_())
                rs->AddNew();
        } catch (const RuntimeError &) {
        }
    } else if (rs) {
        try {
            rs->Delete();
        } catch (const RuntimeError &) {
        }
        try {
            rs->MoveNext();
        } catch (const RuntimeError &) {
        }
        try {
            if (rs->EOF_())
                rs->AddNew();
        } catch (const RuntimeError &) {
        }
    }
    Screen::setMousePointer(Screen::Default);
}

void frmStation::cmdUpdate_Click()
{
    if (DBCombo1->Text().isEmpty()) {
        MsgBox::show(kNeedCategory, this);
        return;
    }
    RecordEditor::cmdUpdate_Click();
}

QString frmStation::saveErrorMessage(const RuntimeError &error) const
{
    return Maintenance::databaseErrorMessage(error.number(), error.text());
}

void frmStation::Command1_Click()
{
    // Cancelling the dialog changes nothing. A path longer than the field holds is refused
    // whole: a path cut short would name another file.
    if (!CommonDialog1.ShowOpen(this))
        return;
    const QString path = CommonDialog1.FileName;
    const int limit = txtFields[RAMFileBox]->characterLimit();
    if (limit > 0 && characterCount(path) > limit) {
        MsgBox::show(
            QStringLiteral("The file name is too long for the field .RAM File (RAMFile): at most %1 characters "
                           "are allowed, and \"%2\" has %3.\n\nMove or rename the file, or type a web address.")
                .arg(limit)
                .arg(path)
                .arg(characterCount(path)),
            this);
        return;
    }
    txtFields[RAMFileBox]->setText(path);
}

void frmStation::datPrimaryRS_Reposition()
{
    RecordEditor::datPrimaryRS_Reposition();
    // A new row begun on an empty set raised the hourglass: the editor waits for typing.
    if (datPrimaryRS->Recordset())
        Screen::setMousePointer(Screen::Default);
}

void frmStation::datPrimaryRS_Error(int DataErr, int &Response)
{
    if (DataErr == ::DataErr::RequiredField)
        MsgBox::show(kNeedCategory, this);
    else if (DataErr != Err::ReadOnlyProperty)
        MsgBox::show(Maintenance::databaseErrorMessage(DataErr, Maintenance::engineErrorText(datPrimaryRS, DataErr)),
                     this);
    Response = 0;
    Screen::setMousePointer(Screen::Default);
}
