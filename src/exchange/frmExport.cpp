#include "frmExport.h"
#include "app/PlainText.h"

#include "StationFormats.h"
#include "app/AppInfo.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "player/Metafile.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <tuple>

frmExport::frmExport(QWidget *parent)
    : StationListDialog(QStringLiteral("Export To File"), QStringLiteral("Export to File:"),
                        QStringLiteral("Web Page Table"), QStringLiteral("Playlist (.m3u)"), parent)
{
    setObjectName(QStringLiteral("frmExport"));
    Command1->setToolTip(QStringLiteral("Choose the file to write"));

    Check1 = new QCheckBox(QStringLiteral("Incude LIVE link"), Frame1);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto *checkRow = new QHBoxLayout;
    checkRow->addSpacing(20);
    checkRow->addWidget(Check1);
    static_cast<QBoxLayout *>(Frame1->layout())->insertLayout(2, checkRow); // under the web page

    const std::vector<BoundTextBox *> boxes =
        makeBoundBoxes({QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
                        QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"),
                        QStringLiteral("Category"), QStringLiteral("WebPage")});
    std::tie(Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8) =
        std::tie(boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5], boxes[6], boxes[7]);

    auto *frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    layOut(frames, 420);

    // The live link belongs to the web page only, so it is offered only while that is chosen.
    connect(optFileType[OtherType], &QRadioButton::toggled, Check1, &QCheckBox::setEnabled);
    resetForm();

    connect(Command1, &QPushButton::clicked, this, &frmExport::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &frmExport::Command3_Click);

    Form_Load();
    PlainText::apply(this); // what the labels show is data, never markup
}

frmExport::~frmExport() = default;

void frmExport::resetForm()
{
    StationListDialog::resetForm();
    Check1->setChecked(false);
    Check1->setEnabled(optFileType[OtherType]->isChecked());
}

void frmExport::Command1_Click()
{
    if (running())
        return;
    browse(QStringLiteral("Export To File"),
           QStringLiteral("Halcyrix Station Files (*.hcs)|*.hcs|HTML Files (*.htm;*.html)|*.htm;*.html"),
           QStringLiteral("Playlists (*.m3u)|*.m3u"), true, [](const QString &name) -> std::optional<FileType> {
               if (Metafile::kindFromName(name) == Metafile::Kind::M3u)
                   return PlaylistType;
               return StationList::exportNameIsWebPage(name) ? OtherType : StationFileType;
           });
}

void frmExport::Command3_Click()
{
    if (running())
        return;
    m_cancel = false; // a Cancel of an earlier run does not close this one
    const QString fileName = txtFile->text();
    if (fileName.trimmed().isEmpty()) {
        accept();
        return;
    }
    StationExport::Choices choices;
    choices.fileName = fileName;
    choices.format = fileType() == OtherType      ? StationExport::Format::WebPage
                     : fileType() == PlaylistType ? StationExport::Format::M3u
                                                  : StationExport::Format::StationFile;
    choices.liveLink = Check1->checkState() != Qt::Unchecked;
    choices.product = App::title();
    choices.major = App::major();
    choices.minor = App::minor();
    choices.homePage = App::homePage();
    const bool written = exportTo(choices);
    if (m_cancel)
        QDialog::reject();
    else if (written)
        accept();
    // A file that could not be written was reported; the dialog stays for another name.
}

bool frmExport::exportTo(const StationExport::Choices &choices)
{
    Work work(this, QStringLiteral("Exporting..."));
    ExchangeCallbacks callbacks;
    work.connect(callbacks);
    const StationExport::Result result = StationExport::run(choices, Data1->Recordset(), callbacks);
    if (result.written)
        work.finish(QStringLiteral("Done."));
    else if (!result.cancelled)
        MsgBox::show(result.error, this);
    return result.written;
}
