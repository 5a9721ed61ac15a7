#pragma once

#include <QDialog>
#include <QString>

class Data;
class QPushButton;
class QWidget;
class RuntimeError;

// What the station and category editors share: the data control over the rows they edit,
// the Add, Delete, Update and Close buttons below the boxes, and the handlers that keep the
// navigation bar's caption and the mouse pointer right while the user browses, adds and saves.
// The window loads when it is first shown and unloads when it closes; it can open again.
class RecordEditor : public QDialog
{
    Q_OBJECT
public:
    // The navigation bar's texts: the noun of "Station: 3 of 12", "New Station", "No Stations".
    struct Captions
    {
        QString noun;
        QString newRecord;
        QString noRecords;
    };

    // The rows being edited, with the navigation bar.
    Data *datPrimaryRS = nullptr;
    // Set when a new row is begun, never cleared while this object lives.
    bool AddingRecord = false;

    // The strip of buttons below the boxes.
    QWidget *picButtons = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdDelete = nullptr;
    QPushButton *cmdUpdate = nullptr;
    QPushButton *cmdClose = nullptr;

    void setVisible(bool visible) override;
    void done(int result) override;

public slots:
    virtual void Form_Load() = 0;
    virtual void Form_Unload(int &Cancel);
    void cmdAdd_Click();
    virtual void cmdDelete_Click() = 0;
    // Saves the boxes into the current or pending row and keeps the saved row in view.
    virtual void cmdUpdate_Click();
    void cmdClose_Click();
    void datPrimaryRS_Validate(int Action, int &Save);
    virtual void datPrimaryRS_Reposition();
    virtual void datPrimaryRS_Error(int DataErr, int &Response) = 0;

protected:
    RecordEditor(const Captions &captions, QWidget *parent);

    // Makes the strip of buttons: Add, Delete, an extra button when one is named (it is
    // returned, unconnected), Update, Close.
    QPushButton *makeButtonStrip(const char *extraName = nullptr, const QString &extraCaption = QString());
    // Connects the strip's buttons and the data control's events to their handlers; called
    // once the bound boxes are made, so that they hear of a move before the handlers do.
    void connectHandlers();
    // The message that reports a row the database refused to save.
    virtual QString saveErrorMessage(const RuntimeError &error) const = 0;

    const Captions m_captions;

private:
    bool m_loaded = false;
};
