// What the item views show beyond their rows: a frame in the highlight
// colour while a view has the keyboard focus, and the whole text of an item
// that its column cuts off, as a tooltip.
#pragma once

#include <QString>

class QAbstractItemView;
class QWidget;
class QEvent;
class QModelIndex;
class QPoint;

namespace platform::forms {

// Draws the focus frame along the edges of a view's viewport; called after
// the view painted it.
void paintFocusFrame(QWidget& viewport);

// The display text of the item in the view when its cell is too narrow to
// show all of it (or reaches past the visible part of the view), else an
// empty string.
QString cutOffText(const QAbstractItemView& view, const QModelIndex& index);
// The same for the item at a point of the view's viewport.
QString cutOffTextAt(const QAbstractItemView& view, const QPoint& point);

// Answers a tooltip event of the view's viewport with the cut-off text of the
// item under the pointer; true when the event was one.
bool showCutOffToolTip(QAbstractItemView& view, QEvent* e);

}  // namespace platform::forms
