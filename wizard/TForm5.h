#pragma once
// The message and confirmation dialog (Unit5): the upload sequence's message box with a drawn OK
// button. In its richest use the user re-selects the MIDI ports and OK then asks the amp for its
// version to confirm that the new firmware runs.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QToolButton>

#include "CircleShape.h"
#include "EditableList.h"
#include "WizardHost.h"

namespace kaldo {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    TForm5(WizardHost& host, QWidget* mainWindow);

    // Its four uses, each modal; every one replaces Label1's text.
    void dialogMessage(const QString& text);
    // A yes/no question answered by the check box "Setup USB.".
    bool dialogQuestion(const QString& text);
    // Port selection; with confirm, OK checks the ports and confirms the amp's new revision.
    void dialogPortSelection(const QString& text, bool confirm);

    // OK runs the port check and the revision confirmation instead of closing.
    bool confirmMode = false;

    void Shape1MouseDown(Qt::MouseButton button);
    void Shape1MouseUp(Qt::MouseButton button);
    void ComboBox1Enter();
    void ComboBox2Enter();
    void ComboBox1Change();
    void ComboBox2Change();
    void SpeedButton1Click();

    QLabel* Image1;  // background
    QLabel* Label1;  // the message
    QLabel* Image2;  // OK, normal look
    QLabel* Image3;  // OK, pressed look
    CircleShape* Shape1;  // OK hit area
    QLabel* Label2;  // "Midi In"
    QLabel* Label3;  // "Midi Out"
    EditableList* ComboBox2;  // MIDI in device
    EditableList* ComboBox1;  // MIDI out device
    QCheckBox* CheckBox1;
    QLabel* Label4;  // "Setup USB."
    QToolButton* SpeedButton1;  // close glyph

private:
    void showModal(const QString& text);
    void setPortListsVisible(bool visible);
    void confirmRevision();

    WizardHost& host_;
    QWidget* mainWindow_;
    // The device lists are filled the first time each is reached and kept for the whole run.
    bool outListPending_ = true;
    bool inListPending_ = true;
    // A confirmation is waiting for the amp; another OK meanwhile must not start a second one.
    bool confirming_ = false;
};

}  // namespace kaldo
