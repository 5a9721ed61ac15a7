#include "frmViewCategory.h"
#include "app/PlainText.h"

#include "FormSupport.h"
#include "MaintenanceRules.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "app/RuntimeError.h"
#include "app/Screen.h"
#include "data/CategoryColumn.h"
#include "data/Collation.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace {
// Both lists keep their entries in alphabetical order, as every list of names is sorted.
class SortedItem : public QListWidgetItem
{
public:
    explicit SortedItem(const QString &text) : QListWidgetItem(text) {}
    bool operator<(const QListWidgetItem &other) const override { return Collation::compare(text(), other.text()) < 0; }
};

QListWidget *makeList(const char *name, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(true);
    return list;
}

} // namespace

frmViewCategory::frmViewCategory(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmViewCategory"));
    setWindowTitle(QStringLiteral("Select Categories to view..."));
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Available:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    List1 = makeList("List1", this);
    Maintenance::labelFor(Label1, List1);
    Label2 = new QLabel(QStringLiteral("Selected:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    List2 = makeList("List2", this);
    Maintenance::labelFor(Label2, List2);

    Command1 = Maintenance::makeButton("Command1", QStringLiteral(">>"), this);
    Command2 = Maintenance::makeButton("Command2", QStringLiteral(">"), this);
    Command3 = Maintenance::makeButton("Command3", QStringLiteral("<<"), this);
    Command4 = Maintenance::makeButton("Command4", QStringLiteral("<"), this);
    Command1->setAccessibleName(QStringLiteral("Select all"));
    Command2->setAccessibleName(QStringLiteral("Select highlighted"));
    Command3->setAccessibleName(QStringLiteral("Remove all"));
    Command4->setAccessibleName(QStringLiteral("Remove highlighted"));
    Command5 = Maintenance::makeButton("Command5", QStringLiteral("&Cancel"), this);
    Command6 = Maintenance::makeButton("Command6", QStringLiteral("&Ok"), this);

    Data1 = new Data(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setRecordSource(QStringLiteral("Category"));
    Data1->setVisible(false);

    auto *moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton *b : {Command1, Command2, Command3, Command4})
        moves->addWidget(b);
    moves->addStretch();

    auto *closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(Command5);
    closing->addWidget(Command6);

    auto *grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(List1, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(List2, 1, 2);
    grid->addLayout(closing, 2, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(2, 1);

    setTabOrder(List1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, Command4);
    setTabOrder(Command4, Command5);
    setTabOrder(Command5, Command6);
    setTabOrder(Command6, List2);

    resize(Screen::twipsToPixels(6030), Screen::twipsToPixels(3360));

    connect(Command1, &QPushButton::clicked, this, &frmViewCategory::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmViewCategory::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmViewCategory::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &frmViewCategory::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &frmViewCategory::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &frmViewCategory::Command6_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &frmViewCategory::List1_DblClick);
    connect(List2, &QListWidget::itemDoubleClicked, this, &frmViewCategory::List2_DblClick);
    // Enter, on the main keys or the keypad, moves the highlighted category as a double click does.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        connect(new QShortcut(QKeySequence(key), List1, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
                this, &frmViewCategory::List1_DblClick);
        connect(new QShortcut(QKeySequence(key), List2, nullptr, nullptr, Qt::WidgetShortcut), &QShortcut::activated,
                this, &frmViewCategory::List2_DblClick);
    }
    PlainText::apply(this); // what the labels show is data, never markup
}

void frmViewCategory::setVisible(bool visible)
{
    // Each opening starts afresh from the database and the view list.
    if (visible && !m_loaded) {
        m_loaded = true;
        Form_Load();
        Form_Activate();
    } else if (!visible) {
        m_loaded = false;
    }
    QDialog::setVisible(visible);
}

void frmViewCategory::Form_Load()
{
    List1->clear();
    List2->clear();
    Data1->setDatabaseName(Module1::DatabasePath);
    try {
        Data1->Refresh();
    } catch (const RuntimeError &e) {
        MsgBox::show(e.text(), this); // both lists stay empty
    }
}

void frmViewCategory::Form_Activate()
{
    const RecordsetPtr rs = Data1->Recordset();
    if (!rs)
        return; // the database could not be opened: both lists stay empty
    while (!rs->EOF_()) {
        const QString name = rs->Fields(CategoryColumn::Name).toString();
        addEntry(Maintenance::isInViewCategories(name, Module1::ViewCategories) ? List2 : List1, name);
        rs->MoveNext();
    }
}

QStringList frmViewCategory::entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

void frmViewCategory::addEntry(QListWidget *list, const QString &text)
{
    list->addItem(new SortedItem(text));
}

void frmViewCategory::moveAll(QListWidget *from, QListWidget *to)
{
    for (const QString &text : entries(from))
        addEntry(to, text);
    from->clear();
}

void frmViewCategory::moveSelected(QListWidget *from, QListWidget *to)
{
    // Collect first, then move: taking entries out while walking the list would skip some.
    const QList<QListWidgetItem *> chosen = from->selectedItems();
    for (QListWidgetItem *item : chosen) {
        addEntry(to, item->text());
        delete from->takeItem(from->row(item));
    }
}

void frmViewCategory::moveCurrent(QListWidget *from, QListWidget *to)
{
    QListWidgetItem *item = from->currentItem();
    if (!item)
        return;
    addEntry(to, item->text());
    delete from->takeItem(from->row(item));
}

void frmViewCategory::Command1_Click()
{
    moveAll(List1, List2);
}
void frmViewCategory::Command2_Click()
{
    moveSelected(List1, List2);
}
void frmViewCategory::Command3_Click()
{
    moveAll(List2, List1);
}
void frmViewCategory::Command4_Click()
{
    moveSelected(List2, List1);
}
void frmViewCategory::List1_DblClick()
{
    moveCurrent(List1, List2);
}
void frmViewCategory::List2_DblClick()
{
    moveCurrent(List2, List1);
}

void frmViewCategory::Command5_Click()
{
    reject();
}

void frmViewCategory::Command6_Click()
{
    Module1::ViewCategories = Maintenance::joinViewCategories(entries(List2));
    accept();
}
