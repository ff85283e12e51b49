#include "platform/qt_dialog.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/qt_dialog_builder.h"

int AddComboString(QComboBox* combo, const QString& text, const QVariant& data) {
    int index = combo->count();
    if (combo->property("sorted").toBool()) {
        index = 0;
        while (index < combo->count() &&
               QString::compare(combo->itemText(index), text, Qt::CaseInsensitive) <= 0) {
            ++index;
        }
    }
    combo->insertItem(index, text, data);
    return index;
}

CDialog::CDialog(const DialogTemplate* t) : m_template(t) {}

CDialog::~CDialog() = default;

bool CDialog::Create(QWidget* parent) {
    if (m_created) {
        return true;
    }
    if (!m_template) {
        return false;
    }
    if (m_template->kind == DialogKind::Child) {
        setParent(parent, Qt::Widget);
    } else {
        setParent(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    }
    m_controls = BuildDialogTemplate(this, *m_template);
    for (const auto& [id, widget] : m_controls) {
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            connect(button, &QAbstractButton::clicked, this, [this, id = id] { OnCommand(id); });
        }
    }
    m_created = true;
    OnInitDialog();
    return true;
}

int CDialog::DoModal(QWidget* parent) {
    if (!Create(parent)) {
        return -1;
    }
    const int result = exec();
    DestroyWindow();
    return result;
}

void CDialog::EndDialog(int result) {
    done(result);
}

void CDialog::DestroyWindow() {
    if (!m_created || m_destroyed) {
        return;
    }
    m_destroyed = true;
    OnDestroy();
    hide();
}

QWidget* CDialog::GetDlgItem(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CDialog::SetDlgItemText(int id, const QString& text) {
    QWidget* w = GetDlgItem(id);
    if (!w) {
        return;
    }
    QString old;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        old = button->text();
        button->setText(text);
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        old = label->text();
        label->setText(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
        line->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        edit->setPlainText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        old = group->title();
        group->setTitle(text);
    } else {
        w->setWindowTitle(text);
    }
    if (!old.isEmpty() && w->accessibleName() == QString(old).remove(QLatin1Char('&'))) {
        w->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    }
}

void CDialog::ShowDlgItem(int id, bool show) {
    if (QWidget* w = GetDlgItem(id)) {
        w->setHidden(!show);
    }
}

void CDialog::EnableDlgItem(int id, bool enable) {
    if (QWidget* w = GetDlgItem(id)) {
        w->setEnabled(enable);
    }
}

void CDialog::OnCommand(int id) {
    if (id == 1) {
        OnOK();
    } else if (id == 2) {
        OnCancel();
    }
}

void CDialog::keyPressEvent(QKeyEvent* e) {
    const bool plain = (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && e->key() == Qt::Key_Escape) {
        e->accept();
        OnCommand(2);
        return;
    }
    if (plain && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        e->accept();
        // A focused push button of this dialog takes the key; otherwise the default button,
        // when it can be pressed; a dialog without one gets IDOK.
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        if (focused && focused->parentWidget() == this && focused->isEnabled()) {
            focused->click();
            return;
        }
        for (const auto& [id, widget] : m_controls) {
            if (auto* button = qobject_cast<QPushButton*>(widget); button && button->isDefault()) {
                if (button->isEnabled() && button->isVisibleTo(this)) {
                    button->click();
                }
                return;
            }
        }
        OnCommand(1);
        return;
    }
    QWidget::keyPressEvent(e);
}

void CDialog::closeEvent(QCloseEvent* e) {
    if (!isVisible() || m_destroyed) {
        e->accept();
        return;
    }
    // The window's close command is the cancel command; the dialog decides whether it ends.
    e->ignore();
    OnCommand(2);
}
