#include "frmImport.h"
#include "app/PlainText.h"

#include "ExchangeProgress.h"
#include "StationFormats.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/BulkWriter.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <tuple>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

// The database refused this one station; anything else (a read-only or broken database)
// would refuse every station and stops the import.
bool refusesOneStation(int number)
{
    return number == DataErr::RequiredField || number == DataErr::DuplicateName ||
           number == DataErr::ValueTooLong || number == DataErr::InvalidArgument;
}

} // namespace

frmImport::frmImport(QWidget *parent)
    : StationListDialog(QStringLiteral("Import File"), QStringLiteral("File to Import:"),
                        QStringLiteral("Previous Version of Corvane"), parent)
{
    setObjectName(QStringLiteral("frmImport"));
    Command1->setToolTip(QStringLiteral("Choose the file to import"));

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

    const std::vector<BoundTextBox *> boxes =
        makeBoundBoxes({QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
                        QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"),
                        QStringLiteral("Category")});
    std::tie(Text1, Text2, Text3, Text4, Text5, Text6, Text7) =
        std::tie(boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6]);

    auto *frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    layOut(frames, 480);

    resetForm();

    connect(Command1, &QPushButton::clicked, this, &frmImport::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmImport::Command3_Click);
    for (int i = 0; i < 2; ++i)
        connect(optAction[i], &QRadioButton::clicked, this, [this, i] { optAction_Click(i); });

    Form_Load();
    PlainText::apply(this);   // what the labels show is data, never markup
}

frmImport::~frmImport() = default;

void frmImport::resetForm()
{
    StationListDialog::resetForm();
    // Keep mode; the question per station belongs to replace mode.
    optAction[0]->setChecked(true);
    chkPrompt->setChecked(false);
    optAction_Click(0);
}

void frmImport::optAction_Click(int Index)
{
    chkPrompt->setEnabled(Index == 1);
}

void frmImport::Command1_Click()
{
    if (running())
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

void frmImport::Command3_Click()
{
    if (running())
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

    const Running running(this);

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
