#include "ui/window/WindowLayout.h"

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

} // namespace

WindowLayout WindowLayout::Compute(int R, int S) {
    WindowLayout l;
    const QRect& F = l.filters = edges(R - 500, 0, R, S - 95);
    const QRect& G = l.compose = edges(F.left() + 6, F.top() + 12, right(F) - 6, F.top() + 84);
    // The drop-down lists get the height of their closed box; the lists open by themselves.
    const QRect& C1 = l.field = edges(G.left() + 6, G.top() + 18, G.left() + 126, G.top() + 40);
    const QRect& C2 = l.op = edges(right(C1) + 3, C1.top(), right(C1) + 123, C1.top() + 22);
    const QRect& C3 = l.valueList = edges(right(C2) + 3, C1.top(), right(C2) + 151, C1.top() + 22);
    l.value = edges(C3.left(), C3.top(), right(C3), C3.top() + 22);
    const QRect& A = l.add = edges(right(C3) + 3, C1.top(), right(C3) + 83, C1.top() + 22);
    const QRect& U = l.update = edges(A.left(), bottom(A) + 3, right(A), bottom(A) + 25);
    // The box reaches to the Update button, so that its text fits whatever the font.
    l.caseSensitive = edges(C2.left(), U.top(), U.left() - 6, bottom(U));
    const QRect& L = l.list = edges(F.left() + 6, bottom(G) + 6, right(F) - 6, bottom(F) - 36);
    const QRect& M = l.moveDown = edges(L.left(), bottom(L) + 6, L.left() + 80, bottom(L) + 28);
    l.moveUp = edges(right(M) + 3, M.top(), right(M) + 83, bottom(M));
    const QRect& X = l.remove = edges(right(L) - 80, M.top(), right(L), bottom(M));
    l.edit = edges(X.left() - 83, M.top(), X.left() - 3, bottom(M));
    const QRect& D = l.destination = edges(F.left(), bottom(F) + 6, right(F), S - 40);
    const QRect& T = l.destinationBox =
        edges(D.left() + 6, D.top() + 18, right(D) - 60, D.top() + 40);
    l.select = edges(right(T) + 3, T.top(), right(D) - 6, bottom(T));
    const QRect& E = l.exportButton = edges(F.left(), bottom(D) + 6, F.left() + 120, S - 3);
    l.progress = edges(right(E) + 3, E.top(), right(D), bottom(E));
    const QRect& Q = l.source = edges(0, 0, F.left() - 12, S);
    const QRect& V = l.tree = edges(Q.left() + 6, Q.top() + 14, right(Q) - 6, bottom(Q) - 42);
    const QRect& I = l.infoIcon = edges(Q.left() + 6, bottom(V) + 3, Q.left() + 38, bottom(V) + 35);
    l.infoText = edges(right(I) + 6, I.top() + 3, right(V), bottom(I));
    return l;
}

} // namespace parcelo::ui
