#include "frmExport.h"

#include "ExchangeProgress.h"
#include "StationFormats.h"
#include "app/AppInfo.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

const char *const kStationFileTip =
    "Use this for Comma Delimited Text files or files exported by this program.";

// Output is handed to the file in pieces of about this size.
constexpr qsizetype kChunk = 1 << 20;

} // namespace

frmExport::frmExport(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmExport"));
    setWindowTitle(QStringLiteral("Export To File"));

    Label1 = new QLabel(QStringLiteral("Export to File:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    txtFile = new QLineEdit(this);
    txtFile->setObjectName(QStringLiteral("txtFile"));
    txtFile->setAccessibleName(Label1->text());
    Label1->setBuddy(txtFile);
    Command1 = new QPushButton(QStringLiteral("..."), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAccessibleName(QStringLiteral("Browse"));
    Command1->setToolTip(QStringLiteral("Choose the file to write"));

    Frame1 = new QGroupBox(QStringLiteral("File Type"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    optFileType[0] = new QRadioButton(QStringLiteral("Halcyrix Station List"), Frame1);
    optFileType[0]->setObjectName(QStringLiteral("optFileType(0)"));
    optFileType[0]->setToolTip(QString::fromLatin1(kStationFileTip));
    optFileType[1] = new QRadioButton(QStringLiteral("Web Page Table"), Frame1);
    optFileType[1]->setObjectName(QStringLiteral("optFileType(1)"));
    Check1 = new QCheckBox(QStringLiteral("Incude LIVE link"), Frame1);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto *frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addWidget(optFileType[0]);
    frameLayout->addWidget(optFileType[1]);
    auto *checkRow = new QHBoxLayout;
    checkRow->addSpacing(20);
    checkRow->addWidget(Check1);
    frameLayout->addLayout(checkRow);

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

    // The fields of the current station, in the order the text boxes are numbered.
    const char *const fields[] = {"SName",   "Location", "CallLetters", "Frequency",
                                  "Type",    "RAMFile",  "Category",    "WebPage"};
    BoundTextBox **boxes[] = {&Text1, &Text2, &Text3, &Text4, &Text5, &Text6, &Text7, &Text8};
    for (int i = 0; i < 8; ++i) {
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
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command3);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fileRow);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->addWidget(StatusBar1);
    resize(420, sizeHint().height());

    // A fresh dialog: no file, the station file chosen, no live link.
    optFileType[0]->setChecked(true);
    Check1->setChecked(false);
    // The live link belongs to the web page only, so it is offered only while that is chosen.
    Check1->setEnabled(false);
    connect(optFileType[1], &QRadioButton::toggled, Check1, &QCheckBox::setEnabled);

    connect(Command1, &QPushButton::clicked, this, &frmExport::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frmExport::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmExport::Command3_Click);

    Form_Load();
}

frmExport::~frmExport() = default;

void frmExport::Form_Load()
{
    // The record set opens when the dialog shows (or at first use).
    Data1->setDatabaseName(Module1::DatabasePath);
}

void frmExport::Command1_Click()
{
    if (m_running)
        return;
    CommonDialog1.DialogTitle = QStringLiteral("Export To File");
    CommonDialog1.Filter =
        QStringLiteral("Halcyrix Station Files (*.hcs)|*.hcs|HTML Files (*.htm;*.html)|*.htm;*.html");
    CommonDialog1.FileName = txtFile->text();
    if (!CommonDialog1.ShowSave(this))
        return;
    txtFile->setText(CommonDialog1.FileName);
    optFileType[StationList::exportNameIsWebPage(CommonDialog1.FileName) ? 1 : 0]->setChecked(true);
}

void frmExport::Command2_Click()
{
    if (m_running) {
        m_cancel = true;   // the loop stops after the current station and closes the dialog
        return;
    }
    QDialog::reject();
}

void frmExport::reject()
{
    Command2_Click();
}

void frmExport::Command3_Click()
{
    if (m_running)
        return;
    const QString fileName = txtFile->text();
    if (fileName.trimmed().isEmpty()) {
        accept();
        return;
    }
    const bool written = exportTo(fileName, optFileType[1]->isChecked());
    if (m_cancel)
        QDialog::reject();
    else if (written)
        accept();
    // A file that could not be written was reported; the dialog stays for another name.
}

bool frmExport::exportTo(const QString &fileName, bool webPage)
{
    RecordsetPtr rs = Data1->Recordset();
    if (!rs) {
        MsgBox::show(QStringLiteral("The station database could not be opened, so nothing was exported."),
                     this);
        return false;
    }

    // The file is written beside its final place and takes that place only when complete, so
    // a failure or a cancel leaves an earlier file of that name as it was.
    QSaveFile file(fileName);
    auto failed = [&](const QString &reason) {
        file.cancelWriting();
        MsgBox::show(QStringLiteral("Could not write the file \"%1\":\n%2").arg(fileName, reason), this);
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return failed(file.errorString());

    m_running = true;
    m_cancel = false;
    Command1->setEnabled(false);
    Command3->setEnabled(false);
    struct Done
    {
        frmExport *dlg;
        ~Done()
        {
            dlg->m_running = false;
            dlg->Command1->setEnabled(true);
            dlg->Command3->setEnabled(true);
        }
    } done{this};

    ExchangeProgress progress(StatusBar1, ProgressBar1);
    const qint64 total = rs->RecordCount();
    progress.start(total);

    QByteArray out;
    out.reserve(kChunk + 4096);
    if (webPage)
        out += StationList::webPageHeader();
    const bool live = Check1->checkState() != Qt::Unchecked;

    // The hidden bound boxes need not follow every station; they catch up once at the end.
    struct Quiet
    {
        RecordsetPtr rs;
        QSignalBlocker blocker;
        ~Quiet()
        {
            blocker.unblock();
            emit rs->currentChanged();
        }
    } quiet{rs, QSignalBlocker(rs.get())};
    if (total > 0) {
        rs->MoveLast();
        rs->MoveFirst();
    }
    StationList::Station s;
    qint64 n = 0;
    while (total > 0 && !rs->EOF_()) {
        auto text = [&rs](int i) { return rs->Fields(i).toString(); };
        s.SName = text(0);
        s.Frequency = text(1);
        s.Type = text(2);
        s.CallLetters = text(3);
        s.Location = text(4);
        s.RAMFile = text(5);
        s.Category = text(6);
        s.WebPage = text(7);
        if (webPage)
            StationList::appendWebPageRow(out, s, live);
        else
            StationList::appendStationLine(out, s);
        progress.step(n++, QStringLiteral("Exporting..."), s.SName);
        if (m_cancel) {
            file.cancelWriting();
            return false;
        }
        if (out.size() >= kChunk) {
            if (file.write(out) != out.size())
                return failed(file.errorString());
            out.clear();
        }
        rs->MoveNext();
    }
    progress.finish(QStringLiteral("Done."));
    if (webPage)
        out += StationList::webPageFooter(App::title(), App::major(), App::minor(), StationList::homePage());
    if (file.write(out) != out.size())
        return failed(file.errorString());
    if (!file.commit())
        return failed(file.errorString());
    return true;
}
