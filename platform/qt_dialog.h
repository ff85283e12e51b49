#pragma once
// A dialog built from a dialog template: the controls are created by Create (or DoModal),
// then OnInitDialog runs. Button clicks arrive as commands (OnCommand with the control number);
// the Escape key and the window's close command are the cancel command (IDCANCEL), the Enter
// key the command of the default button (IDOK when there is none). Child templates become
// child widgets of the given parent; popup templates are top-level windows.

#include <QDialog>
#include <QString>
#include <QVariant>
#include <map>

#include "platform/dialog_template.h"

class QComboBox;

// Adds an entry to a combo box with its item data; a combo built as sorted keeps its entries in
// case-insensitive order. Returns the entry's index.
int AddComboString(QComboBox* combo, const QString& text, const QVariant& data);

class CDialog : public QDialog {
    Q_OBJECT
public:
    // `t` is the template to build (the application's resources look it up by number); with
    // nullptr, Create fails.
    explicit CDialog(const DialogTemplate* t);
    // The template registered under this number (platform/dialog_template.h).
    explicit CDialog(int templateId) : CDialog(FindDialogTemplate(templateId)) {}
    ~CDialog() override;

    // Builds the controls and runs OnInitDialog; a child dialog becomes a child of `parent`.
    // Returns false when the template does not exist. Does nothing the second time.
    bool Create(QWidget* parent = nullptr);
    // Creates the dialog if needed, runs it modally, then destroys it; returns the result
    // that EndDialog was given.
    int DoModal(QWidget* parent = nullptr);
    // Ends a modal run with `result` and hides the dialog.
    void EndDialog(int result);
    // Runs OnDestroy once and hides the dialog; the widgets stay until the object goes.
    void DestroyWindow();

    bool IsCreated() const { return m_created; }
    bool IsDestroyed() const { return m_destroyed; }
    const DialogTemplate* Template() const { return m_template; }

    // The control with this number, or nullptr (before Create, or when there is none).
    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* Item(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }
    // Sets the text of a control; its accessible name follows when it came from that text.
    void SetDlgItemText(int id, const QString& text);
    // Shows/hides and enables/disables a control; unknown numbers are ignored.
    void ShowDlgItem(int id, bool show);
    void EnableDlgItem(int id, bool enable);

protected:
    virtual bool OnInitDialog() { return true; }
    // A click on button `id`, the Enter key (default button) or Escape / close (IDCANCEL).
    // The default ends the dialog on IDOK and IDCANCEL through OnOK and OnCancel.
    virtual void OnCommand(int id);
    virtual void OnOK() { EndDialog(1); }
    virtual void OnCancel() { EndDialog(2); }
    virtual void OnDestroy() {}

    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void accept() override { OnCommand(1); }
    void reject() override { OnCommand(2); }

private:
    const DialogTemplate* m_template;
    std::map<int, QWidget*> m_controls;
    bool m_created = false;
    bool m_destroyed = false;
};
