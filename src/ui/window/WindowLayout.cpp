// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/WindowLayout.h"

#include "ui/window/WindowMetrics.h"

#include <algorithm>

namespace parcelo::ui {

namespace {

// Rectangles are given by their edges: left, top, right and bottom (exclusive).
QRect edges(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

int right(const QRect& r) {
    return r.x() + r.width();
}
int bottom(const QRect& r) {
    return r.y() + r.height();
}

// A group box's contents: inside its frame and below its title, with a gap all round.
QRect inside(const QRect& group, const WindowMetrics& m) {
    const int g = m.gap;
    return group.marginsRemoved(m.frame).adjusted(g, g, -g, -g);
}

int frameWidth(const WindowMetrics& m) {
    return m.frame.left() + m.frame.right() + 2 * m.gap;
}
int frameHeight(const WindowMetrics& m) {
    return m.frame.top() + m.frame.bottom() + 2 * m.gap;
}

// The filter editor, the destination and the export, each line as wide as its controls.
int columnWidth(const WindowMetrics& m) {
    const int g = m.gap;
    const int compose = frameWidth(m) + m.field + g + m.op + g + m.value + g + m.add;
    const int buttons = m.moveDown + g + m.moveUp + m.margin + m.edit + g + m.remove;
    const int destination = m.destination + g + m.select;
    const int exportLine = m.exportButton + g + m.progress;
    return std::max(
        {frameWidth(m) + std::max(compose, buttons), frameWidth(m) + destination, exportLine});
}

int composeHeight(const WindowMetrics& m) {
    return frameHeight(m) + 2 * m.row + m.gap;
}

} // namespace

WindowLayout WindowLayout::Compute(int R, int S, const WindowMetrics& m) {
    WindowLayout l;
    const int M = m.margin;
    const int g = m.gap;
    const int W = columnWidth(m);

    // The right column, from the bottom up.
    const QRect& E = l.exportButton =
        edges(R - M - W, S - M - m.row, R - M - W + m.exportButton, S - M);
    l.progress = edges(right(E) + g, E.top(), R - M, bottom(E));
    const QRect& D = l.destination =
        edges(E.left(), E.top() - 2 * g - frameHeight(m) - m.row, R - M, E.top() - 2 * g);
    const QRect Di = inside(D, m);
    const QRect& X = l.select = edges(right(Di) - m.select, Di.top(), right(Di), Di.top() + m.row);
    l.destinationBox = edges(Di.left(), Di.top(), X.left() - g, bottom(X));

    const QRect& F = l.filters = edges(E.left(), M, R - M, D.top() - 2 * g);
    const QRect Fi = inside(F, m);
    const QRect& G = l.compose = edges(Fi.left(), Fi.top(), right(Fi), Fi.top() + composeHeight(m));
    const QRect Gi = inside(G, m);
    const QRect& A = l.add = edges(right(Gi) - m.add, Gi.top(), right(Gi), Gi.top() + m.row);
    const QRect& U = l.update = edges(A.left(), bottom(A) + g, right(A), bottom(A) + g + m.row);
    const QRect& C1 = l.field = edges(Gi.left(), A.top(), Gi.left() + m.field, bottom(A));
    const QRect& C2 = l.op = edges(right(C1) + g, A.top(), right(C1) + g + m.op, bottom(A));
    // The value takes what the line has left.
    l.valueList = l.value = edges(right(C2) + g, A.top(), A.left() - g, bottom(A));
    l.caseSensitive = edges(C2.left(), U.top(), U.left() - M, bottom(U));

    const int buttonsTop = bottom(Fi) - m.row;
    const QRect& MD = l.moveDown = edges(Fi.left(), buttonsTop, Fi.left() + m.moveDown, bottom(Fi));
    l.moveUp = edges(right(MD) + g, MD.top(), right(MD) + g + m.moveUp, bottom(MD));
    const QRect& RM = l.remove = edges(right(Fi) - m.remove, MD.top(), right(Fi), bottom(MD));
    l.edit = edges(RM.left() - g - m.edit, MD.top(), RM.left() - g, bottom(MD));
    l.list = edges(Fi.left(), bottom(G) + 2 * g, right(Fi), buttonsTop - 2 * g);

    // The source pane: the tree above the information about its current entry.
    const QRect& Q = l.source = edges(M, M, F.left() - M, S - M);
    const QRect Qi = inside(Q, m);
    const int infoLeft = Qi.left() + m.icon + M;
    // The information takes the lines its text needs from the tree, down to the tree's least
    // height.
    const int info =
        std::max(m.icon, std::min(m.infoHeight(right(Qi) - infoLeft), Qi.height() - g - m.tree));
    const int infoTop = bottom(Qi) - info;
    l.infoIcon = edges(Qi.left(), infoTop, Qi.left() + m.icon, infoTop + m.icon);
    l.infoText = edges(infoLeft, infoTop, right(Qi), bottom(Qi));
    l.tree = edges(Qi.left(), Qi.top(), right(Qi), infoTop - g);
    return l;
}

QSize WindowLayout::MinimumSize(const WindowMetrics& m) {
    const int M = m.margin;
    const int g = m.gap;
    const int filters = frameHeight(m) + composeHeight(m) + 2 * g + m.list + 2 * g + m.row;
    const int column = M + filters + 2 * g + frameHeight(m) + m.row + 2 * g + m.row + M;
    const int source = M + frameHeight(m) + m.tree + g + std::max(m.icon, m.info) + M;
    return {M + m.source + M + columnWidth(m) + M, std::max(column, source)};
}

} // namespace parcelo::ui
