// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/CListBoxST.h"

#include <QPainter>
#include <QStyledItemDelegate>

namespace parcelo {

namespace {

constexpr int kImageIndexRole = Qt::UserRole + 1;
constexpr int kTextFlags = Qt::TextWordWrap | Qt::TextExpandTabs;

class ListBoxSTDelegate : public QStyledItemDelegate {
public:
    explicit ListBoxSTDelegate(CListBoxST* list) : QStyledItemDelegate(list), list_(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize icon = list_->ImageSize();
        const int width =
            option.rect.width() > 0 ? option.rect.width() : list_->viewport()->width();
        const QRect text = option.fontMetrics.boundingRect(
            QRect(0, 0, std::max(1, width - iconColumnWidth()), 10000), kTextFlags,
            index.data(Qt::DisplayRole).toString());
        int height = text.height();
        if (hasImages())
            height = std::max(height, icon.height() + 4);
        return {width, height + 4};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const QRect item = option.rect;
        const QSize icon = list_->ImageSize();
        const bool selected = option.state & QStyle::State_Selected;
        const bool enabled =
            (option.state & QStyle::State_Enabled) && (index.flags() & Qt::ItemIsEnabled);
        const QPalette& palette = option.palette;

        const QRect iconColumn(item.left(), item.top(), hasImages() ? icon.width() + 6 : 0,
                               item.height());
        const QRect textPart(iconColumn.right() + 1, item.top(), item.right() - iconColumn.right(),
                             item.height());
        const QString text = index.data(Qt::DisplayRole).toString();
        QRect textRect = option.fontMetrics.boundingRect(textPart, kTextFlags, text);
        textRect.moveTop(textPart.top() + (textPart.height() - textRect.height()) / 2);

        painter->save();
        const QColor fill =
            selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base);
        if (hasImages())
            painter->fillRect(iconColumn, fill);
        QColor textColour = palette.color(QPalette::Text);
        if (!enabled)
            textColour = palette.color(QPalette::Disabled, QPalette::Text);
        else if (selected)
            textColour = QColor::fromRgb(~textColour.rgb() & 0xFFFFFF);
        painter->fillRect(textPart, fill);

        if (hasImages()) {
            const int image = index.data(kImageIndexRole).toInt();
            if (image >= 0 && image < list_->Images().size())
                list_->Images().at(image).paint(
                    painter, QRect(QPoint(iconColumn.left() + 3, item.top() + 4), icon),
                    Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
        }
        painter->setPen(textColour);
        painter->drawText(textRect, kTextFlags, text);

        // Drawn whenever the entry has the focus, not only after keyboard navigation as
        // some styles do.
        if ((option.state & QStyle::State_HasFocus) && enabled) {
            painter->setPen(QPen(textColour, 1, Qt::DotLine));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(item.adjusted(0, 0, -1, -1));
        }
        painter->restore();
    }

private:
    bool hasImages() const { return !list_->Images().isEmpty(); }
    int iconColumnWidth() const { return hasImages() ? list_->ImageSize().width() + 6 : 0; }

    CListBoxST* list_;
};

} // namespace

CListBoxST::CListBoxST(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new ListBoxSTDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(false);
    setWordWrap(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CListBoxST::SetImageList(const QList<QIcon>& images, QSize iconSize) {
    images_ = images;
    imageSize_ = images.isEmpty() ? QSize(0, 0) : iconSize;
    doItemsLayout();
    viewport()->update();
}

int CListBoxST::AddString(const QString& text, int imageIndex) {
    auto* item = new QListWidgetItem(text);
    item->setData(kImageIndexRole, imageIndex);
    addItem(item);
    return row(item);
}

} // namespace parcelo
