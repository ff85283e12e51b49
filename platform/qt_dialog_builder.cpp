#include "platform/qt_dialog_builder.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <cstring>

#include "platform/qt_link_label.h"
#include "platform/qt_list_box.h"
#include "platform/qt_tab_control.h"

namespace {

QString CleanName(QString text) {
    text.remove(QLatin1Char('&'));
    while (text.endsWith(QChar(0xFF1A)) || text.endsWith(QLatin1Char(':'))) {
        text.chop(1);
    }
    return text.trimmed();
}

// Whether a group box frames an item. A drop-down list counts with its closed height only
// (its template height includes the open list).
bool Frames(const DialogItem& box, const DialogItem& item) {
    constexpr int kClosedComboHeight = 14;
    const DialogRect& outer = box.rect;
    const DialogRect& inner = item.rect;
    const int height =
        item.kind == ItemKind::ComboList ? std::min(inner.cy, kClosedComboHeight) : inner.cy;
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + height <= outer.y + outer.cy;
}

QWidget* CreateItem(const DialogItem& item, QWidget* parent, const DialogUnits& units) {
    using namespace ItemStyle;
    const QString text = QString::fromUtf8(item.text);
    QWidget* w = nullptr;
    switch (item.kind) {
        case ItemKind::PushButton: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            button->setDefault((item.style & Default) != 0);
            w = button;
            break;
        }
        case ItemKind::GroupBox: {
            auto* box = new QGroupBox(text, parent);
            // Like a native group box: a frame drawn behind the controls it surrounds, which
            // never takes their clicks.
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            w = box;
            break;
        }
        case ItemKind::Label:
            w = new QLabel(text, parent);
            break;
        case ItemKind::GrayFrame: {
            auto* frame = new QFrame(parent);
            frame->setFrameShape(QFrame::Box);
            frame->setFrameShadow(QFrame::Plain);
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, QColor(160, 160, 160));
            frame->setPalette(palette);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            w = frame;
            break;
        }
        case ItemKind::Icon: {
            auto* label = new QLabel(parent);
            label->setPixmap(QApplication::windowIcon().pixmap(32, 32));
            w = label;
            break;
        }
        case ItemKind::ComboList: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(false);
            combo->setProperty("sorted", (item.style & Sorted) != 0);
            w = combo;
            break;
        }
        case ItemKind::ListBox: {
            auto* list = new QtListBox(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            w = list;
            break;
        }
        case ItemKind::Edit:
            if (item.style & Multiline) {
                auto* edit = new QPlainTextEdit(parent);
                edit->setReadOnly((item.style & ReadOnly) != 0);
                edit->setLineWrapMode((item.style & WordWrap) ? QPlainTextEdit::WidgetWidth
                                                              : QPlainTextEdit::NoWrap);
                edit->setVerticalScrollBarPolicy((item.style & VScroll) ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAsNeeded);
                edit->setTabChangesFocus(true);
                if (!(item.style & Border)) {
                    edit->setFrameShape(QFrame::NoFrame);
                }
                w = edit;
            } else {
                auto* edit = new QLineEdit(parent);
                edit->setReadOnly((item.style & ReadOnly) != 0);
                edit->setFrame((item.style & Border) != 0);
                if (item.style & Number) {
                    edit->setValidator(new QRegularExpressionValidator(
                        QRegularExpression(QStringLiteral("[0-9]*")), edit));
                }
                w = edit;
            }
            break;
        case ItemKind::RadioButton:
            w = new QRadioButton(text, parent);
            break;
        case ItemKind::CheckBox:
            w = new QCheckBox(text, parent);
            break;
        case ItemKind::TabControl:
            w = new QtTabControl(parent);
            break;
        case ItemKind::Link:
            w = new QtLinkLabel(text, parent);
            break;
    }

    QRect geometry = units.Map(item.rect);
    if (item.kind == ItemKind::ComboList) {
        // The template height of a drop-down list includes its open list; the closed box is
        // as high as the font needs.
        geometry.setHeight(std::min(geometry.height(), w->sizeHint().height()));
    }
    geometry.setWidth(std::max(1, geometry.width()));
    geometry.setHeight(std::max(1, geometry.height()));
    w->setGeometry(geometry);
    if (item.style & Hidden) {
        w->setHidden(true);
    }
    if (item.style & Disabled) {
        w->setEnabled(false);
    }
    return w;
}

}  // namespace

QFont DialogFont(const char* fontName, int pointSize) {
    QFont font;
    if (std::strcmp(fontName, "MS Shell Dlg") == 0 ||
        std::strcmp(fontName, "MS Shell Dlg 2") == 0) {
        font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK"),
                          QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Sans Serif")});
    } else {
        font.setFamily(QString::fromUtf8(fontName));
    }
    font.setPointSize(pointSize);
    return font;
}

DialogUnits DialogUnits::Of(const QFont& font) {
    // The average width of the Latin letters, as the platform's dialog manager measures it,
    // rather than the font's overall average, which CJK glyphs would inflate.
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogUnits units;
    units.baseX = std::max(1, (width / 26 + 1) / 2);
    units.baseY = std::max(1, metrics.height());
    return units;
}

QString AccessibleNameOf(const DialogTemplate& t, std::size_t index) {
    const DialogItem& item = t.items[index];
    if (item.accessibleName) {
        return QString::fromUtf8(item.accessibleName);
    }
    if (item.kind != ItemKind::Edit && item.kind != ItemKind::ComboList &&
        item.kind != ItemKind::ListBox && item.kind != ItemKind::TabControl && *item.text) {
        return CleanName(QString::fromUtf8(item.text));
    }
    if (index > 0) {
        const DialogItem& previous = t.items[index - 1];
        if (previous.kind == ItemKind::Label && *previous.text) {
            return CleanName(QString::fromUtf8(previous.text));
        }
    }
    const DialogItem* frame = nullptr;
    for (const DialogItem& other : t.items) {
        if (&other != &item && other.kind == ItemKind::GroupBox && *other.text &&
            Frames(other, item) &&
            (!frame || other.rect.cx * other.rect.cy < frame->rect.cx * frame->rect.cy)) {
            frame = &other;
        }
    }
    return frame ? CleanName(QString::fromUtf8(frame->text)) : QString();
}

std::map<int, QWidget*> BuildDialogTemplate(QWidget* dialog, const DialogTemplate& t) {
    const QFont font = DialogFont(t.fontName, t.pointSize);
    dialog->setFont(font);
    const DialogUnits units = DialogUnits::Of(font);
    const QSize size(units.X(t.cx), units.Y(t.cy));
    if (t.kind == DialogKind::Popup) {
        dialog->setWindowTitle(QString::fromUtf8(t.caption));
        dialog->setFixedSize(size);
    } else {
        dialog->resize(size);
    }

    std::map<int, QWidget*> controls;
    std::vector<QWidget*> frames;
    for (std::size_t i = 0; i < t.items.size(); ++i) {
        const DialogItem& item = t.items[i];
        QWidget* w = CreateItem(item, dialog, units);
        w->setProperty("templateIndex", static_cast<int>(i));
        const QString name = AccessibleNameOf(t, i);
        if (!name.isEmpty()) {
            w->setAccessibleName(name);
        }
        if (item.kind == ItemKind::GroupBox || item.kind == ItemKind::GrayFrame) {
            frames.push_back(w);
        }
        if (item.id != IDC_STATIC) {
            w->setProperty(kControlIdProperty, item.id);
            w->setObjectName(QStringLiteral("control%1").arg(item.id));
            controls.emplace(item.id, w);
        }
    }
    // Frames are drawn behind everything else, whatever their place in the template.
    for (QWidget* frame : frames) {
        frame->lower();
    }
    return controls;
}

QWidget* FindControl(const QWidget* dialog, int id) {
    if (!dialog) {
        return nullptr;
    }
    for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant value = child->property(kControlIdProperty);
        if (value.isValid() && value.toInt() == id) {
            return child;
        }
    }
    return nullptr;
}
