// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QList>
#include <QListWidget>
#include <QSize>

namespace parcelo {

// A list of entries, each with an icon in a column of its own: the selected entry fills both
// the icon column and the text in the highlight colour and draws its text in the inverse of the
// window text colour; the focus rectangle frames the whole entry.
class CListBoxST : public QListWidget {
    Q_OBJECT
public:
    explicit CListBoxST(QWidget* parent = nullptr);

    // The icons entries refer to by index, drawn at `iconSize`.
    void SetImageList(const QList<QIcon>& images, QSize iconSize);
    // Appends an entry showing the image at `imageIndex`; returns the entry's row.
    int AddString(const QString& text, int imageIndex);

    const QList<QIcon>& Images() const { return images_; }
    QSize ImageSize() const { return imageSize_; }

private:
    QList<QIcon> images_;
    QSize imageSize_{0, 0};
};

} // namespace parcelo
