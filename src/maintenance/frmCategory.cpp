#include "frmCategory.h"
#include "app/PlainText.h"

#include "FormSupport.h"
#include "MaintenanceRules.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "data/BoundControls.h"
#include "data/CategoryColumn.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kNoun = QStringLiteral("Category");
const QString kNewCategory = QStringLiteral("New Category");
const QString kNoCategories = QStringLiteral("No Categories");
const QString kInUse = QStringLiteral("Can't delete this category because it is currently in use.");

QString dataErrorMessage(const QString &text)
{
    return QStringLiteral("Data error event hit err:") + text;
}

} // namespace

frmCategory::frmCategory(QWidget *parent) : RecordEditor({kNoun, kNewCategory, kNoCategories}, parent)
{
    setObjectName(QStringLiteral("frmCategory"));
    setWindowTitle(QStringLiteral("Category"));

    const char *captions[] = {"Name:", "Description:"};
    const char *fields[] = {"Name", "Description"};
    const int limits[] = {30, 50};
    for (int i = 0; i < 2; ++i) {
        lblLabels[i] = new QLabel(QLatin1String(captions[i]), this);
        lblLabels[i]->setObjectName(QStringLiteral("lblLabels(%1)").arg(i));
        txtFields[i] = new BoundTextBox(this);
        txtFields[i]->setObjectName(QStringLiteral("txtFields(%1)").arg(i));
        txtFields[i]->setCharacterLimit(limits[i]);
        txtFields[i]->bind(datPrimaryRS, QLatin1String(fields[i]));
        Maintenance::labelFor(lblLabels[i], txtFields[i]);
    }
    txtFields[0]->setFixedHeight(Screen::twipsToPixels(285));
    txtFields[1]->setFixedHeight(Screen::twipsToPixels(780));
    txtFields[1]->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    cmdRefresh = makeButtonStrip("cmdRefresh", QStringLiteral("&Refresh"));

    auto *grid = new QGridLayout;
    grid->addWidget(lblLabels[0], 0, 0);
    grid->addWidget(txtFields[0], 0, 1);
    grid->addWidget(lblLabels[1], 1, 0, Qt::AlignTop);
    grid->addWidget(txtFields[1], 1, 1);
    grid->setColumnStretch(1, 1);
    auto *page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addWidget(picButtons);
    page->addWidget(datPrimaryRS);

    QWidget *order[] = {txtFields[0], txtFields[1], cmdAdd, cmdDelete, cmdRefresh, cmdUpdate, cmdClose};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    resize(Screen::twipsToPixels(5535), Screen::twipsToPixels(1890));

    connect(cmdRefresh, &QPushButton::clicked, this, &frmCategory::cmdRefresh_Click);
    connectHandlers();

    Form_Initialize();
    PlainText::apply(this); // what the labels show is data, never markup
}

void frmCategory::Form_Initialize()
{
    // The rows come in name order at every opening and after every refresh.
    datPrimaryRS->setRecordSource(QStringLiteral("select * from [Category] order by [Name]"));
}

void frmCategory::Form_Load()
{
    // The table is read afresh at every opening.
    datPrimaryRS->setDatabaseName(Module1::DatabasePath);
    try {
        datPrimaryRS->Refresh();
    } catch (const RuntimeError &e) {
        MsgBox::show(e.text(), this);
    }
}

void frmCategory::cmdDelete_Click()
{
    const RecordsetPtr rs = datPrimaryRS->Recordset();
    if (!rs)
        return;
    try {
        if (rs->EditMode() == Recordset::EditAdd) {
            // A new category not yet saved has nothing stored to delete: it is dropped.
            rs->CancelUpdate();
            return;
        }
        if (!rs->hasCurrentRow())
            return; // no saved category is current: nothing to delete
        // The name as stored counts, not one typed over it and refused.
        if (Maintenance::isInViewCategories(rs->OriginalValue(CategoryColumn::Name).toString(),
                                            Module1::ViewCategories)) {
            MsgBox::show(kInUse, this);
            return;
        }
        rs->Delete();
        rs->MoveNext();
        // After the last category in name order, the new last one becomes current; after the
        // only one, the empty table is shown as such.
        if (rs->EOF_() && rs->RecordCount() > 0)
            rs->MoveLast();
    } catch (const RuntimeError &e) {
        Screen::setMousePointer(Screen::Default);
        MsgBox::show(dataErrorMessage(e.text()), this);
    }
}

void frmCategory::cmdRefresh_Click()
{
    try {
        datPrimaryRS->Refresh();
    } catch (const RuntimeError &e) {
        MsgBox::show(dataErrorMessage(e.text()), this);
    }
}

QString frmCategory::saveErrorMessage(const RuntimeError &error) const
{
    // A name the database refuses (empty, too long, taken) stays pending as typed.
    return dataErrorMessage(error.text());
}

void frmCategory::datPrimaryRS_Error(int DataErr, int &Response)
{
    MsgBox::show(dataErrorMessage(Maintenance::engineErrorText(datPrimaryRS, DataErr)), this);
    Response = 0;
    // The move that failed raised the hourglass; no Reposition follows to take it away.
    Screen::setMousePointer(Screen::Default);
}
