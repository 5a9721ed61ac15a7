// The main window's display: the station shown on the black panel, its band light, its
// category in the status bar, and the list's focus colour.
#include "tuner/frmMain.h"

#include "tuner/StationRecord.h"
#include "tuner/StatusBar.h"
#include "tuner/WindowLayout.h"

#include "app/Accessibility.h"
#include "data/BoundControls.h"

#include <QLabel>

void frmMain::showCategoryOf(const RecordsetPtr &rs)
{
    const QString category = StationRecord::onRow(rs) ? StationRecord::text(rs, StationColumn::Category) : QString();
    StatusBar1->setText(category.isEmpty() ? QStringLiteral("No Category") : category);
}

// What a preset or the stepper brought to the display is said aloud: the focus stays on the
// button, so a screen reader would not read the display by itself.
void frmMain::speakStation(const RecordsetPtr &rs)
{
    if (!StationRecord::onRow(rs))
        return;
    QStringList parts;
    for (int column : {StationColumn::SName, StationColumn::Frequency, StationColumn::Location}) {
        const QString part = StationRecord::text(rs, column);
        if (!part.isEmpty())
            parts << part;
    }
    Accessibility::speak(Label2, parts.join(QStringLiteral(", ")));
}

void frmMain::UpdateDisplay(const RecordsetPtr &rs)
{
    if (!StationRecord::onRow(rs))
        return;
    showCategoryOf(rs);
    lblFrequency->setText(StationRecord::text(rs, StationColumn::Frequency));
    lblLocation->setText(StationRecord::text(rs, StationColumn::Location));

    static const QString bands[4] = {QStringLiteral("FM"), QStringLiteral("AM"), QStringLiteral("TV"),
                                     QStringLiteral("NET")};
    const QString type = StationRecord::text(rs, StationColumn::Type);
    int lit = -1;
    for (int i = 0; i < 4 && lit < 0; ++i) {
        if (type == bands[i]) // exact and case-sensitive
            lit = i;
    }
    for (int i = 0; i < 4; ++i) {
        QPalette palette = lblType[i]->palette();
        palette.setColor(QPalette::WindowText, i == lit ? WindowLayout::Green : WindowLayout::DarkGreen);
        lblType[i]->setPalette(palette);
        const QString name = Accessibility::lightName(lblType[i]->text(), i == lit);
        if (lblType[i]->accessibleName() != name)
            lblType[i]->setAccessibleName(name);
    }
}

void frmMain::showListFocus(bool focused)
{
    // The keyboard focus shows on the black list: its station lights up bright green while the
    // list has the focus and stays dark green while it has not.
    QPalette palette = DBList1->palette();
    palette.setColor(QPalette::Highlight, focused ? WindowLayout::Green : WindowLayout::DarkGreen);
    palette.setColor(QPalette::HighlightedText, WindowLayout::Black);
    DBList1->setPalette(palette);
}
