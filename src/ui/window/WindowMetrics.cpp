// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/WindowMetrics.h"

#include "filters/FilterCodes.h"
#include "ui/controls/CRichEditCtrlEx.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <algorithm>

namespace parcelo::ui {

namespace {

// The width a drop-down list needs to show any of texts when closed, as the style draws it.
int comboWidthFor(const QComboBox& combo, const QStringList& texts) {
    const QFontMetrics metrics = combo.fontMetrics();
    int text = 0;
    for (const QString& entry : texts)
        text = std::max(text, metrics.horizontalAdvance(entry));
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    option.editable = combo.isEditable();
    option.frame = combo.hasFrame();
    option.subControls = QStyle::SC_All;
    // The style paints the text one pixel inside the edit field on either side.
    const QSize contents(text + 2, std::max(metrics.height(), 14) + 2);
    return combo.style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, &combo).width();
}

QMargins groupBoxFrame(const QGroupBox& group) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.rect = QRect(0, 0, 400, 400);
    option.text = group.title();
    option.lineWidth = 1;
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect inside = group.style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                       QStyle::SC_GroupBoxContents, &group);
    return {inside.left(), inside.top(), 400 - 1 - inside.right(), 400 - 1 - inside.bottom()};
}

} // namespace

WindowMetrics WindowMetrics::Measure(const FilterEditor::Controls& c, const QLineEdit& destination,
                                     const QPushButton& select, const QPushButton& exportButton,
                                     const QLabel& info) {
    WindowMetrics m;
    const QFontMetrics font = c.list->fontMetrics();
    m.frame = groupBoxFrame(*c.filtersGroup);
    const QWidget* lineControls[] = {c.field,         c.text,       c.size,  c.date,       c.add,
                                     c.caseSensitive, &destination, &select, &exportButton};
    for (const QWidget* w : lineControls)
        m.row = std::max(m.row, w->sizeHint().height());

    QStringList operators;
    QStringList values;
    const QStringList fields = CriteriaLabels();
    for (int criteria = 0; criteria < fields.size(); ++criteria) {
        operators += OperatorTexts(CriterionKind(criteria));
        values += ValueTexts(criteria);
    }
    m.field = comboWidthFor(*c.field, fields);
    m.op = comboWidthFor(*c.op, operators);
    // A typed value gets room for a dozen characters at least.
    m.value = std::max({comboWidthFor(*c.valueList, values), c.date->sizeHint().width(),
                        12 * font.averageCharWidth()});
    m.add = std::max(c.add->sizeHint().width(), c.update->sizeHint().width());
    m.caseSensitive = c.caseSensitive->sizeHint().width();
    m.moveDown = c.moveDown->sizeHint().width();
    m.moveUp = c.moveUp->sizeHint().width();
    m.edit = c.edit->sizeHint().width();
    m.remove = c.remove->sizeHint().width();
    m.destination = 16 * font.averageCharWidth();
    m.select = select.sizeHint().width();
    m.exportButton = exportButton.sizeHint().width();
    m.progress = 8 * font.averageCharWidth();
    m.list = 3 * c.list->verticalHeader()->defaultSectionSize() + 2 * c.list->frameWidth();
    m.source = 11 * font.height();
    m.tree = 4 * font.height();
    m.info = 3 * info.fontMetrics().lineSpacing();
    m.infoHeight = [&info](int width) { return info.heightForWidth(width); };
    return m;
}

} // namespace parcelo::ui
