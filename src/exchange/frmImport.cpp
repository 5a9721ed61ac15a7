#include "frmImport.h"
#include "app/PlainText.h"

#include "Playlist.h"
#include "StationFormats.h"
#include "app/Module1.h"
#include "app/MsgBox.h"
#include "data/BoundControls.h"
#include "data/CategoryColumn.h"
#include "data/DataControl.h"
#include "data/Recordset.h"
#include "guide/GuideSources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <tuple>

frmImport::frmImport(QWidget *parent)
    : StationListDialog(QStringLiteral("Import File"), QStringLiteral("File to Import:"),
                        QStringLiteral("Previous Version of Corvane"),
                        QStringLiteral("Playlist (.m3u, .m3u8, .pls, .xspf)"), parent)
{
    setObjectName(QStringLiteral("frmImport"));
    Command1->setToolTip(QStringLiteral("Choose the file to import"));

    // A playlist names no category: its stations go to the one chosen here.
    lblCategory = new QLabel(QStringLiteral("Cate&gory:"), Frame1);
    lblCategory->setObjectName(QStringLiteral("lblCategory"));
    cboCategory = new QComboBox(Frame1);
    cboCategory->setObjectName(QStringLiteral("cboCategory"));
    cboCategory->setAccessibleName(QStringLiteral("Category"));
    lblCategory->setBuddy(cboCategory);
    auto *categoryRow = new QHBoxLayout;
    categoryRow->addSpacing(20);
    categoryRow->addWidget(lblCategory);
    categoryRow->addWidget(cboCategory, 1);
    static_cast<QBoxLayout *>(Frame1->layout())->addLayout(categoryRow);
    chkTelevision = new QCheckBox(QStringLiteral("&Television channels to the TV band"), Frame1);
    chkTelevision->setObjectName(QStringLiteral("chkTelevision"));
    chkTelevision->setToolTip(QStringLiteral("Entries of an IPTV playlist that are not marked as radio go to "
                                             "the category \"Television\""));
    auto *televisionRow = new QHBoxLayout;
    televisionRow->addSpacing(20);
    televisionRow->addWidget(chkTelevision);
    static_cast<QBoxLayout *>(Frame1->layout())->addLayout(televisionRow);
    for (QWidget *w : {static_cast<QWidget *>(lblCategory), static_cast<QWidget *>(cboCategory),
                       static_cast<QWidget *>(chkTelevision)})
        connect(optFileType[PlaylistType], &QRadioButton::toggled, w, &QWidget::setEnabled);

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

    const std::vector<BoundTextBox *> boxes = makeBoundBoxes(
        {QStringLiteral("SName"), QStringLiteral("Location"), QStringLiteral("CallLetters"),
         QStringLiteral("Frequency"), QStringLiteral("Type"), QStringLiteral("RAMFile"), QStringLiteral("Category")});
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
    PlainText::apply(this); // what the labels show is data, never markup
}

frmImport::~frmImport() = default;

void frmImport::resetForm()
{
    StationListDialog::resetForm();
    // Keep mode; the question per station belongs to replace mode.
    optAction[0]->setChecked(true);
    chkPrompt->setChecked(false);
    optAction_Click(0);
    fillCategories();
    lblCategory->setEnabled(optFileType[PlaylistType]->isChecked());
    cboCategory->setEnabled(optFileType[PlaylistType]->isChecked());
    chkTelevision->setChecked(true);
    chkTelevision->setEnabled(optFileType[PlaylistType]->isChecked());
}

void frmImport::fillCategories()
{
    // The existing categories in name order; the first one the radio band views comes first
    // chosen, else the first of the list.
    cboCategory->clear();
    QStringList names;
    try {
        if (RecordsetPtr stations = Data1->Recordset()) {
            RecordsetPtr table = Recordset::open(stations->database(), QStringLiteral("Category"), true);
            table->setSort(QStringLiteral("Name")); // the program's one order of names
            RecordsetPtr rs = table->OpenRecordset();
            for (; rs && !rs->EOF_(); rs->MoveNext()) {
                const QString name = rs->Fields(CategoryColumn::Name).toString();
                if (!name.isEmpty())
                    names << name;
            }
        }
    } catch (const std::exception &) {
        // No categories to offer: a playlist import says so when it is asked for.
    }
    cboCategory->addItems(names);
    const QString viewed = Module1::ViewCategories.section(QLatin1Char(','), 0, 0).trimmed();
    const int first = viewed.isEmpty() ? -1 : cboCategory->findText(viewed, Qt::MatchFixedString);
    cboCategory->setCurrentIndex(first >= 0 ? first : 0);
}

void frmImport::optAction_Click(int Index)
{
    chkPrompt->setEnabled(Index == 1);
}

void frmImport::Command1_Click()
{
    if (running())
        return;
    // Any other name keeps the type chosen.
    browse(QStringLiteral("Import File"),
           QStringLiteral("Halcyrix Station Files (*.hcs)|*.hcs|Corvane Files (*.lst)|*.lst"),
           QStringLiteral("Playlists (*.m3u;*.m3u8;*.pls;*.xspf)|*.m3u;*.m3u8;*.pls;*.xspf"), false,
           [](const QString &name) -> std::optional<FileType> {
               if (StationList::importNameIsCorvane(name))
                   return OtherType;
               if (Playlist::isPlaylistName(name))
                   return PlaylistType;
               return std::nullopt;
           });
}

void frmImport::Command3_Click()
{
    if (running())
        return;
    StationImport::Choices choices;
    choices.fileName = txtFile->text();
    choices.format = fileType() == OtherType      ? StationImport::Format::Corvane
                     : fileType() == PlaylistType ? StationImport::Format::Playlist
                                                  : StationImport::Format::StationFile;
    choices.replace = !optAction[0]->isChecked();
    choices.prompt = choices.replace && chkPrompt->isChecked();
    choices.category = cboCategory->currentText();
    if (chkTelevision->isChecked())
        choices.tvCategory = QStringLiteral("Television");
    const bool imported = importFile(choices);
    // A playlist's entries are named by the import, so what did not fit as it stood is told.
    if (imported && choices.format == StationImport::Format::Playlist &&
        (m_counts.television > 0 || m_counts.shortened > 0 || m_counts.leftOut > 0 || m_counts.notStreams > 0 ||
         m_counts.passedOver > 0)) {
        QStringList notes;
        if (m_counts.television > 0)
            notes << QStringLiteral("%1 television channels went to the TV band.").arg(m_counts.television);
        if (m_counts.shortened > 0)
            notes << QStringLiteral("%1 station names were longer than %2 characters and were shortened.")
                         .arg(m_counts.shortened)
                         .arg(Playlist::NameLength);
        if (m_counts.leftOut > 0)
            notes << QStringLiteral("%1 entries were left out: their address is longer than %2 characters.")
                         .arg(m_counts.leftOut)
                         .arg(Playlist::AddressLength);
        if (m_counts.notStreams > 0)
            notes << QStringLiteral("%1 entries were left out: their address is no stream a player opens.")
                         .arg(m_counts.notStreams);
        if (m_counts.passedOver > 0)
            notes << QStringLiteral("%1 entries were passed over: a station of that name is there already, "
                                    "or the database refused it.")
                         .arg(m_counts.passedOver);
        MsgBox::show(
            QStringLiteral("%1 stations were added from the playlist.\n\n").arg(m_counts.added + m_counts.replaced) +
                notes.join(QLatin1Char('\n')),
            this);
    }
    if (imported && m_counts.cancelled)
        QDialog::reject();
    else if (imported)
        accept();
    // A file that could not be read was reported and nothing was added; the dialog stays
    // open for another name.
}

bool frmImport::importFile(const StationImport::Choices &choices)
{
    Work work(this, QStringLiteral("Importing..."));
    StationImport::Callbacks callbacks;
    work.connect(callbacks);
    callbacks.replace = [this](const QString &name) {
        switch (MsgBox::askYesNoAllCancel(QStringLiteral("The station \"%1\" is already in the list.\n"
                                                         "Replace it with the station from the file?")
                                              .arg(name),
                                          this)) {
        case MsgBox::Answer::Cancel:
            m_cancel = true;
            return StationImport::Answer::Cancel;
        case MsgBox::Answer::No:
            return StationImport::Answer::No;
        case MsgBox::Answer::YesToAll:
            return StationImport::Answer::YesToAll;
        default:
            return StationImport::Answer::Yes;
        }
    };

    StationImport import(choices, callbacks);
    bool imported = import.readFile();
    if (imported) {
        // The dialog's record set only opens the database.
        RecordsetPtr rs = Data1->Recordset();
        imported = import.store(rs ? rs->database() : nullptr);
    }
    m_counts = import.counts();
    if (imported)
        offerGuides(import.guideAddresses());
    work.finish(imported ? QStringLiteral("Done.") : QString());
    if (!imported)
        MsgBox::show(import.error(), this);
    return imported;
}

void frmImport::offerGuides(const QStringList &addresses)
{
    // A guide address is outside text: it becomes a source only when the user agrees.
    const QStringList fresh = GuideSources::missing(addresses);
    if (fresh.isEmpty())
        return;
    QStringList shown;
    for (const QString &address : fresh)
        shown << QStringLiteral("  ") + address;
    if (MsgBox::askYesNo(QStringLiteral("The playlist names %1 TV guide(s):\n%2\n\n"
                                        "Add them to the sources of the TV guide?")
                             .arg(fresh.size())
                             .arg(shown.join(QLatin1Char('\n'))),
                         this) == MsgBox::Answer::Yes)
        GuideSources::add(fresh);
}
