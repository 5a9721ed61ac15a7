#include "frmImport.h"

#include "ExchangeProgress.h"
#include "StationFormats.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/BulkWriter.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const char *const kStationFileTip =
    "Use this for Comma Delimited Text files or files exported by this program.";

// The database refused this one station; anything else (a read-only or broken database)
// would refuse every station and stops the import.
bool refusesOneStation(int number)
{
    return number == DataErr::RequiredField || number == DataErr::DuplicateName ||
           number == DataErr::ValueTooLong || number == DataErr::InvalidArgument;
}

} // namespace

frmImport::frmImport(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmImport"));
    setWindowTitle(QStringLiteral("Import File"));

    Label1 = new QLabel(QStringLiteral("File to Import:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setAccessibleName(Label1->text());
    Label1->setBuddy(txtFile);
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(QStringLiteral("Browse"));
    Command1->setToolTip(QStringLiteral("Choose the file to import"));

    Frame1 = new QGroupBox(QStringLiteral("File Type"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    optFileType[0] = new QRadioButton(QStringLiteral("Halcyrix Station List"), Frame1);
    optFileType[0]->setObjectName(QStringLiteral("optFileType(0)"));
    optFileType[0]->setToolTip(QString::fromLatin1(kStationFileTip));
    optFileType[1] = new QRadioButton(QStringLiteral("Previous Version of Corvane"), Frame1);
    optFileType[1]->setObjectName(QStringLiteral("optFileType(1)"));
    auto *typeLayout = new QVBoxLayout(Frame1);
    typeLayout->addWidget(optFileType[0]);
    typeLayout->addWidget(optFileType[1]);

    Frame2 = new QGroupBox(QStringLiteral("Actions"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    optAction[0] = new QRadioButton(QStringLiteral("Keep Existing stations"), Frame2);
    optAction[0]->setObjectName(QStringLiteral("optAction(0)"));
    optAction[1] = new QRadioButton(QStringLiteral("Replace Existing stations"), Frame2);
    optAction[1]->setObjectName(QStringLiteral("optAction(1)"));
    chkPrompt = new QCheckBox(QStringLiteral("Prompt for each"), Frame2);
    chkPrompt->setObjectName(QStringLiteral("chkPrompt"));
    auto *actionLayout = new QVBoxLayout(Frame2);
    actionLayout->addWidget(optAction[0]);
    actionLayout->addWidget(optAction[1]);
    auto *promptRow = new QHBoxLayout;
    promptRow->addSpacing(20);
    promptRow->addWidget(chkPrompt);
    actionLayout->addLayout(promptRow);

    Command3 = new QPushButton(QStringLiteral("&Ok"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setDefault(true);
    Command2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    ProgressBar1 = new QProgressBar(StatusBar1);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Progress"));
    ProgressBar1->setMaximumWidth(120);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setVisible(false);
    StatusBar1->addPermanentWidget(ProgressBar1);

    Data1 = new Data(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setRecordSource(QStringLiteral("Station"));
    Data1->setVisible(false);

    const char *const fields[] = {"SName", "Location", "CallLetters", "Frequency",
                                  "Type",  "RAMFile",  "Category"};
    BoundTextBox **boxes[] = {&Text1, &Text2, &Text3, &Text4, &Text5, &Text6, &Text7};
    for (int i = 0; i < 7; ++i) {
        auto *box = new BoundTextBox(this);
        box->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        box->setAccessibleName(QString::fromLatin1(fields[i]));
        box->bind(Data1, QString::fromLatin1(fields[i]));
        box->setVisible(false);
        *boxes[i] = box;
    }

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(Label1);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(Command1);
    auto *frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addLayout(frames);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);
    resize(480, sizeHint().height());

    // A fresh dialog: no file, the station file and keep mode chosen.
    optFileType[0]->setChecked(true);
    optAction[0]->setChecked(true);
    chkPrompt->setEnabled(false);

    connect(Command1, &QPushButton::clicked, this, &frmImport::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmImport::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmImport::Command3_Click);
    for (int i = 0; i < 2; ++i)
        connect(optAction[i], &QRadioButton::clicked, this, [this, i] { optAction_Click(i); });

    Form_Load();
}

frmImport::~frmImport() = default;

void frmImport::Form_Load()
{
    // The record set opens when the dialog shows (or at first use).
    Data1->setDatabaseName(Module1::DatabasePath);
}

void frmImport::optAction_Click(int Index)
{
    chkPrompt->setEnabled(Index == 1);
}

void frmImport::Command1_Click()
{
    if (m_running)
        return;
    CommonDialog1.DialogTitle = QStringLiteral("Import File");
    CommonDialog1.Filter = QStringLiteral("Halcyrix Station Files (*.hcs)|*.hcs|Corvane Files (*.lst)|*.lst");
    CommonDialog1.FileName = txtFile->text();
    if (!CommonDialog1.ShowOpen(this))
        return;
    txtFile->setText(CommonDialog1.FileName);
    if (StationList::importNameIsCorvane(CommonDialog1.FileName))
        optFileType[1]->setChecked(true);
}

void frmImport::Command2_Click()
{
    if (m_running) {
        m_cancel = true;   // the loop stops after the current station and closes the dialog
        return;
    }
    QDialog::reject();
}

void frmImport::reject()
{
    Command2_Click();
}

void frmImport::Command3_Click()
{
    if (m_running)
        return;
    const bool replace = !optAction[0]->isChecked();
    const bool imported = importFile(txtFile->text(), optFileType[1]->isChecked(), replace,
                                     replace && chkPrompt->isChecked());
    if (imported && m_counts.cancelled)
        QDialog::reject();
    else if (imported)
        accept();
    // A file that could not be read was reported and nothing was added; the dialog stays
    // open for another name.
}

bool frmImport::importFile(const QString &fileName, bool corvane, bool replace, bool prompt)
{
    m_counts = Counts();
    auto fail = [this](const QString &text) {
        MsgBox::show(text, this);
        return false;
    };
    if (fileName.trimmed().isEmpty())
        return fail(QStringLiteral("Choose the file to import first."));
    if (QFileInfo(fileName).isDir())
        return fail(QStringLiteral("\"%1\" is a folder, not a station file.").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Could not read the file \"%1\":\n%2").arg(fileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("Could not read the file \"%1\":\n%2").arg(fileName, file.errorString()));
    file.close();

    StationList::StationReader reader(corvane ? StationList::StationReader::CorvaneList
                                              : StationList::StationReader::StationFile,
                                      bytes);
    if (reader.atEnd())
        return fail(QStringLiteral("The file \"%1\" holds no stations.").arg(fileName));

    RecordsetPtr rs = Data1->Recordset();
    if (!rs)
        return fail(QStringLiteral("The station database could not be opened, so nothing was imported."));

    m_running = true;
    m_cancel = false;
    Command1->setEnabled(false);
    Command3->setEnabled(false);
    struct Done
    {
        frmImport *dlg;
        ~Done()
        {
            dlg->m_running = false;
            dlg->Command1->setEnabled(true);
            dlg->Command3->setEnabled(true);
        }
    } done{this};

    ExchangeProgress progress(StatusBar1, ProgressBar1);
    progress.start(reader.size());
    try {
        // The stations go straight to the table through statements prepared once, in one
        // transaction; the dialog's record set only opened the database. Fields in the order
        // of the supplied bits of a station.
        BulkWriter writer(rs->database(), QStringLiteral("Station"),
                          {QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
                           QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"),
                           QStringLiteral("Category")});
        Transaction transaction(rs->database());
        QVariantList values;
        StationList::Station s;
        bool askEach = prompt;
        while (!m_cancel) {
            values.clear();   // before reading, so the station's texts can be reused
            if (!reader.next(s))
                break;
            progress.step(reader.position(), QStringLiteral("Importing..."), s.SName);
            // Empty text stores no value, as an empty text box does.
            for (const QString *field : {&s.SName, &s.Location, &s.CallLetters, &s.Frequency, &s.Type,
                                         &s.RAMFile, &s.Category})
                values << (field->isEmpty() ? QVariant() : QVariant(*field));

            // In replace mode a station whose name is there already has its fields replaced
            // by those the file gives (the web page, which no file gives, stays).
            const qint64 rowid = replace && !s.SName.isEmpty() ? writer.find(0, s.SName) : -1;
            if (rowid >= 0 && askEach) {
                const MsgBox::Answer answer = MsgBox::askYesNoAllCancel(
                    QStringLiteral("The station \"%1\" is already in the list.\n"
                                   "Replace it with the station from the file?")
                        .arg(s.SName),
                    this);
                if (answer == MsgBox::Answer::Cancel) {
                    m_cancel = true;
                    break;
                }
                if (answer == MsgBox::Answer::No) {
                    ++m_counts.passedOver;
                    continue;
                }
                if (answer == MsgBox::Answer::YesToAll)
                    askEach = false;
            }
            // A station the database refuses (no category, a value too long, a name that is
            // there already) is passed over and the import goes on.
            try {
                if (rowid >= 0) {
                    writer.update(rowid, values, s.supplied & 0x7Fu);
                    ++m_counts.replaced;
                } else {
                    writer.insert(values);
                    ++m_counts.added;
                }
            } catch (const RuntimeError &e) {
                if (!refusesOneStation(e.number()))
                    throw;
                ++m_counts.passedOver;
            }
        }
        // A cancelled import keeps the stations read so far.
        transaction.commit();
    } catch (const RuntimeError &e) {
        // The transaction was rolled back: nothing of this import stays.
        m_counts = Counts();
        progress.finish(QString());
        MsgBox::show(QStringLiteral("The stations could not be stored, so nothing was imported:\n%1").arg(e.text()),
                     this);
        return false;
    }
    m_counts.cancelled = m_cancel;
    progress.finish(QStringLiteral("Done."));
    return true;
}
