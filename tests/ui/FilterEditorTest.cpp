// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/filters/FilterEditor.h"

#include "WindowFixture.h"
#include "filters/FilterCodes.h"
#include "platform/LocaleFormats.h"
#include "ui/controls/CRichEditCtrlEx.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace parcelo;
using namespace parcelo::ui;
using parcelo::test::WindowFixture;

namespace {

class FilterEditorTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        open().show();
        editor = &window->Editor();
    }

    const FilterEditor::Controls& c() { return editor->Widgets(); }

    void compose(int field, int op, const QString& value, bool matchCase = false) {
        c().field->setCurrentIndex(field);
        c().op->setCurrentIndex(op);
        if (CriterionKind(field) == FilterKind::Number)
            c().size->setText(value);
        else {
            c().text->setText(value);
            c().caseSensitive->setChecked(matchCase);
        }
    }

    void add(int field, int op, const QString& value, bool matchCase = false) {
        compose(field, op, value, matchCase);
        QTest::mouseClick(c().add, Qt::LeftButton);
    }

    void select(int row) { c().list->selectRow(row); }

    QStringList rows() {
        QStringList texts;
        auto* model = c().list->model();
        for (int r = 0; r < model->rowCount(); ++r)
            texts << model->index(r, 0).data().toString() + "|" +
                         model->index(r, 1).data().toString() + "|" +
                         model->index(r, 2).data().toString();
        return texts;
    }

    QString buttons() {
        QString states;
        for (QPushButton* b : {c().edit, c().update, c().remove, c().moveUp, c().moveDown})
            states += b->isEnabled() ? '1' : '0';
        return states;
    }

    FilterEditor* editor = nullptr;
};

} // namespace

TEST_F(FilterEditorTest, AddsRefusesEmptyAndDuplicateAndShowsRows) {
    add(CriteriaSubject, TextContains, "");
    EXPECT_TRUE(rows().isEmpty());
    add(CriteriaSubject, TextContains, "invoice", true);
    add(CriteriaSize, NumberLessThan, "100");
    add(CriteriaSender, TextIs, "ann");
    EXPECT_EQ(rows(), QStringList({"Subject|contains|invoice", "Size|is less than|100 KB",
                                   "Sender's Name|is|ann"}));
    // Blue for case-sensitive rows.
    EXPECT_EQ(c().list->model()->index(0, 0).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(0, 0, 255));

    // A duplicate (letter case and Case Sensitive do not count) selects the existing row.
    add(CriteriaSender, TextIs, "ANN");
    EXPECT_EQ(rows().size(), 3);
    EXPECT_EQ(editor->SelectedRow(), 2);
}

TEST_F(FilterEditorTest, UpdateEditAndRemoveActOnTheSelectedRow) {
    add(CriteriaSubject, TextContains, "invoice", true);
    add(CriteriaSize, NumberGreaterThan, "100");
    EXPECT_EQ(buttons(), "00000");

    compose(CriteriaRecipient, TextStartsWith, "bob");
    QTest::mouseClick(c().update, Qt::LeftButton); // nothing selected: nothing happens
    EXPECT_EQ(rows().size(), 2);

    select(1);
    QTest::mouseClick(c().update, Qt::LeftButton);
    EXPECT_EQ(rows()[1], "Recipient's Name|starts with|bob");

    // Switching the field keeps the typed text but resets the operator.
    c().field->setCurrentIndex(CriteriaSize);
    EXPECT_TRUE(c().size->isVisible());
    EXPECT_FALSE(c().text->isVisible());
    c().field->setCurrentIndex(CriteriaSubject);
    EXPECT_EQ(c().text->text(), "bob");
    EXPECT_EQ(c().op->currentIndex(), 0);

    select(0);
    QTest::mouseClick(c().edit, Qt::LeftButton);
    EXPECT_EQ(c().field->currentIndex(), CriteriaSubject);
    EXPECT_EQ(c().text->text(), "invoice");
    EXPECT_TRUE(c().caseSensitive->isChecked());

    QTest::mouseClick(c().remove, Qt::LeftButton);
    EXPECT_EQ(rows(), QStringList({"Recipient's Name|starts with|bob"}));
}

TEST_F(FilterEditorTest, MoveButtonsFollowTheMatchMode) {
    for (const char* word : {"one", "two", "three"})
        add(CriteriaSubject, TextContains, word);

    struct Case {
        bool all;
        int row;
        const char* buttons; // Edit, Update, Remove, Move Up, Move Down
    };
    for (const Case& test : {Case{false, 0, "11101"}, Case{false, 1, "11111"},
                             Case{false, 2, "11110"}, Case{true, 1, "11100"}}) {
        window->Menu().matchAny->trigger();
        if (test.all)
            window->Menu().matchAll->trigger();
        c().list->clearSelection();
        select(test.row);
        EXPECT_EQ(buttons(), test.buttons) << test.all << " row " << test.row;
    }

    window->Menu().matchAny->trigger();
    c().list->clearSelection();
    select(1);
    QTest::mouseClick(c().moveUp, Qt::LeftButton);
    EXPECT_EQ(rows()[0], "Subject|contains|two");
    EXPECT_EQ(editor->SelectedRow(), 0);
    EXPECT_FALSE(c().moveUp->isEnabled());
    QTest::mouseClick(c().moveDown, Qt::LeftButton);
    QTest::mouseClick(c().moveDown, Qt::LeftButton);
    EXPECT_EQ(rows(), QStringList({"Subject|contains|one", "Subject|contains|three",
                                   "Subject|contains|two"}));
    EXPECT_EQ(editor->SelectedRow(), 2);
    EXPECT_EQ(app.Filters.MatchAllFilters, 0);

    // In mode All a new row, reached by the keyboard or a click, never moves.
    QTest::keyClick(c().list, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(buttons(), "11101");
    window->Menu().matchAll->trigger();
    QTest::keyClick(c().list, Qt::Key_Down);
    EXPECT_EQ(editor->SelectedRow(), 1);
    EXPECT_EQ(buttons(), "11100");
    QTest::keyClick(c().list, Qt::Key_Home, Qt::ControlModifier);
    const QRect last = c().list->visualRect(c().list->model()->index(2, 0));
    QTest::mouseClick(c().list->viewport(), Qt::LeftButton, {}, last.center());
    EXPECT_EQ(editor->SelectedRow(), 2);
    EXPECT_EQ(buttons(), "11100");
}

TEST_F(FilterEditorTest, DateAndListFiltersRoundTripThroughEdit) {
    c().field->setCurrentIndex(CriteriaDateSent);
    c().op->setCurrentIndex(DateIsBefore);
    c().date->setDate(QDate(2012, 8, 28));
    QTest::mouseClick(c().add, Qt::LeftButton);
    c().field->setCurrentIndex(CriteriaPriority);
    c().valueList->setCurrentIndex(2);
    QTest::mouseClick(c().add, Qt::LeftButton);
    const QString date = LocaleFormats::current().formatDate(QDate(2012, 8, 28));
    EXPECT_EQ(rows(), QStringList({"Date - Sent|is before|" + date, "Priority|is|High"}));

    c().date->setDate(QDate(2000, 1, 1));
    select(0);
    QTest::mouseClick(c().edit, Qt::LeftButton);
    EXPECT_TRUE(c().date->isVisible());
    EXPECT_EQ(c().date->date(), QDate(2012, 8, 28));
    EXPECT_EQ(c().op->currentText(), "is before");
    select(1);
    QTest::mouseClick(c().edit, Qt::LeftButton);
    EXPECT_EQ(c().valueList->currentText(), "High");
}

TEST_F(FilterEditorTest, RefusesABadPatternWithTheSyntaxMessage) {
    add(CriteriaSubject, TextMatchesRegExp, "(unclosed");
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(messages, QStringList({"Incorrect Regular Expression syntax."}));
    add(CriteriaSubject, TextMatchesRegExp, "^re(port)?s");
    EXPECT_EQ(rows(), QStringList({"Subject|matches RegExp|^re(port)?s"}));
}

TEST_F(FilterEditorTest, SuspendGreysEveryRowAndClearEmptiesTheList) {
    add(CriteriaSubject, TextContains, "invoice", true);
    window->Menu().suspend->trigger();
    EXPECT_TRUE(window->Menu().suspend->isChecked());
    EXPECT_EQ(app.Filters.MatchAllMessages, 1);
    EXPECT_EQ(c().list->model()->index(0, 2).data(Qt::ForegroundRole).value<QBrush>().color(),
              QColor(192, 192, 192));
    window->Menu().clearFilters->trigger();
    EXPECT_TRUE(rows().isEmpty());
}
