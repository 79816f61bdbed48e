// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextRoom.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>

namespace parcelo::test {

namespace {

// A button's or label's text as drawn: "&&" is an ampersand, a single "&" marks the mnemonic.
QString shownText(const QString& text) {
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size())
            ++i;
        shown += text[i];
    }
    return shown;
}

QString describe(const QWidget& w, const QString& text, int needs, int has) {
    return QStringLiteral("%1 %2 '%3': needs %4, has %5")
        .arg(QString::fromLatin1(w.metaObject()->className()), w.objectName(), text)
        .arg(needs)
        .arg(has);
}

int advance(const QWidget& w, const QString& text) {
    return w.fontMetrics().horizontalAdvance(text);
}

void checkCombo(const QComboBox& combo, QStringList& out) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    option.subControls = QStyle::SC_All;
    option.iconSize = combo.iconSize();
    // The style draws the current item's text one pixel inside the edit field on each side.
    const int room =
        combo.style()
            ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &combo)
            .width() -
        2;
    for (int i = 0; i < combo.count(); ++i) {
        const QString text = combo.itemText(i);
        int needs = advance(combo, text);
        if (!combo.itemIcon(i).isNull())
            needs += combo.iconSize().width() + 4;
        if (needs > room)
            out << describe(combo, text, needs, room);
    }
}

void checkPushButton(const QPushButton& button, QStringList& out) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    if (button.autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button.isFlat())
        option.features |= QStyleOptionButton::Flat;
    QStyle* style = button.style();
    const int room = style->subElementRect(QStyle::SE_PushButtonContents, &option, &button).width();
    // The style's own margin around a button's label, as it sizes buttons.
    int needs = advance(button, shownText(button.text())) +
                style->pixelMetric(QStyle::PM_ButtonMargin, &option, &button);
    if (!button.icon().isNull())
        needs += button.iconSize().width() + 4;
    if (needs > room)
        out << describe(button, button.text(), needs, room);
}

void checkIndicatorButton(const QAbstractButton& button, QStyle::SubElement contents,
                          QStringList& out) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const int room = button.style()->subElementRect(contents, &option, &button).width();
    const int needs = advance(button, shownText(button.text()));
    if (needs > room)
        out << describe(button, button.text(), needs, room);
}

void checkLabel(const QLabel& label, QStringList& out) {
    if (label.text().isEmpty())
        return;
    const bool rich = label.textFormat() == Qt::RichText ||
                      (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
    QString text = rich ? [&] {
        QTextDocument document;
        document.setHtml(label.text());
        return document.toPlainText();
    }()
                        : label.text();
    if (label.buddy())
        text = shownText(text);
    int inset = label.margin() * 2;
    if (label.indent() > 0)
        inset += label.indent();
    else if (label.frameWidth() > 0)
        inset += label.fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
    const QRect room = label.contentsRect().adjusted(0, 0, -inset, -label.margin() * 2);
    const QRect needs = label.fontMetrics().boundingRect(
        QRect(0, 0, room.width(), 100000), label.wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine,
        text);
    if (needs.width() > room.width())
        out << describe(label, text, needs.width(), room.width());
    else if (needs.height() > room.height())
        out << describe(label, text, needs.height(), room.height()) + QStringLiteral(" (height)");
}

void checkGroup(const QGroupBox& group, QStringList& out) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.lineWidth = 1;
    const QRect title = group.style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                      QStyle::SC_GroupBoxLabel, &group);
    const int needs = advance(group, shownText(group.title()));
    if (needs > title.width() || !group.rect().contains(title))
        out << describe(group, group.title(), needs, group.rect().intersected(title).width());
}

void checkHeader(const QHeaderView& header, QStringList& out) {
    if (!header.model())
        return;
    const int margin = header.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &header);
    for (int section = 0; section < header.count(); ++section) {
        if (header.isSectionHidden(section))
            continue;
        const QString text =
            header.model()->headerData(section, header.orientation(), Qt::DisplayRole).toString();
        const int needs = advance(header, text) + 2 * margin;
        if (needs > header.sectionSize(section))
            out << describe(header, text, needs, header.sectionSize(section));
    }
}

void checkSpinBox(const QAbstractSpinBox& box, QStringList& out) {
    const QLineEdit* edit = box.findChild<QLineEdit*>();
    if (!edit)
        return;
    // A line edit keeps two pixels free on either side of its text.
    const int room = edit->contentsRect().width() - 4;
    const int needs = advance(*edit, edit->text());
    if (needs > room)
        out << describe(box, edit->text(), needs, room);
}

} // namespace

QStringList CutOffTexts(const QWidget& top, const QList<const QWidget*>& dataFields) {
    QStringList out;
    QList<const QWidget*> widgets{&top};
    for (const QWidget* child : top.findChildren<QWidget*>())
        widgets << child;
    for (const QWidget* w : widgets) {
        if (!w->isVisible() || (w->isWindow() && w != &top) || dataFields.contains(w))
            continue;
        if (const auto* combo = qobject_cast<const QComboBox*>(w))
            checkCombo(*combo, out);
        else if (const auto* push = qobject_cast<const QPushButton*>(w))
            checkPushButton(*push, out);
        else if (const auto* check = qobject_cast<const QCheckBox*>(w))
            checkIndicatorButton(*check, QStyle::SE_CheckBoxContents, out);
        else if (const auto* radio = qobject_cast<const QRadioButton*>(w))
            checkIndicatorButton(*radio, QStyle::SE_RadioButtonContents, out);
        else if (const auto* label = qobject_cast<const QLabel*>(w))
            checkLabel(*label, out);
        else if (const auto* group = qobject_cast<const QGroupBox*>(w))
            checkGroup(*group, out);
        else if (const auto* header = qobject_cast<const QHeaderView*>(w))
            checkHeader(*header, out);
        else if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(w))
            checkSpinBox(*spin, out);
    }
    return out;
}

QStringList MisplacedControls(const QWidget& area, int margin) {
    QStringList out;
    QList<const QWidget*> controls;
    for (const QWidget* child : area.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible() && !child->isWindow())
            controls << child;
    auto name = [](const QWidget* w) {
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        const auto* group = qobject_cast<const QGroupBox*>(w);
        return QStringLiteral("%1 '%2'").arg(QString::fromLatin1(w->metaObject()->className()),
                                             button  ? button->text()
                                             : group ? group->title()
                                                     : w->objectName());
    };
    // Where a group box's controls go: below its title, inside its frame.
    auto contents = [](const QWidget* w) {
        const auto* group = qobject_cast<const QGroupBox*>(w);
        if (!group)
            return QRect();
        QStyleOptionGroupBox option;
        option.initFrom(group);
        option.text = group->title();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        return group->style()
            ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, group)
            .translated(group->pos());
    };
    for (const QWidget* w : controls) {
        const QRect r = w->geometry();
        if (r.left() < margin || r.right() > area.width() - 1 - margin)
            out << QStringLiteral("%1 at x %2 to %3 of %4")
                       .arg(name(w))
                       .arg(r.left())
                       .arg(r.right())
                       .arg(area.width());
        for (qsizetype i = controls.indexOf(w) + 1; i < controls.size(); ++i) {
            const QWidget* other = controls[i];
            if (!r.intersects(other->geometry()) || contents(other).contains(r) ||
                contents(w).contains(other->geometry()))
                continue;
            out << QStringLiteral("%1 overlaps %2").arg(name(w), name(other));
        }
    }
    return out;
}

} // namespace parcelo::test
