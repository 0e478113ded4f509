#pragma once

#include <QDialog>
#include <functional>

class QGridLayout;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

// A dialog that asks for one name: "&Name:" and its field on top, an optional row of the
// dialog's own below it, the dialog's body, and OK and Cancel at the bottom right. Enter
// presses OK, Escape cancels. A refused name is reported in a plain box and the field keeps
// its text and gets the focus back.
class NameDialog : public QDialog {
    Q_OBJECT
public:
    QLineEdit* edtName = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

protected:
    NameDialog(const QString& title, const QString& objectName, QWidget* parent);

    // A button beside a field; Enter never presses it.
    QPushButton* sideButton(const QString& caption, const char* objectName);
    // The row `label` [field][button] under the name.
    void addChoiceRow(const QString& label, QWidget* field, QPushButton* button);
    // Where the body goes, between the rows and the buttons.
    QVBoxLayout* bodyLayout() const { return layout_; }
    // OK and Cancel, created last so that they come last in the tab order.
    void addOKCancel();

    void refuse(const QString& message);
    // Runs a change of the library; an error it throws is shown in an error box, the name
    // field gets the focus back, and the result is false.
    bool tryChange(const std::function<void()>& change);

    // Runs at each showing (not when the window merely comes back from being minimised).
    virtual void FormShow() = 0;
    virtual void cmdOKClick() = 0;

    void showEvent(QShowEvent* event) override;

private:
    QGridLayout* fields_ = nullptr;
    QVBoxLayout* layout_ = nullptr;
};
