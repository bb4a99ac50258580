// Focus frame and cut-off tooltips of the item views.
#include "platform/forms/viewcues.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QToolTip>

namespace platform::forms {

void paintFocusFrame(QWidget& viewport) {
    QPainter painter(&viewport);
    QPen pen(viewport.palette().color(QPalette::Active, QPalette::Highlight));
    pen.setWidth(2);
    painter.setPen(pen);
    painter.drawRect(QRectF(viewport.rect()).adjusted(1, 1, -1, -1));
}

QString cutOffText(const QAbstractItemView& view, const QModelIndex& index) {
    if (!index.isValid()) return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return {};
    const QRect cell = view.visualRect(index);
    // What the delegate needs for picture, text and margins in one line.
    const int needed = view.sizeHintForIndex(index).width();
    const QRect shown = cell.intersected(view.viewport()->rect());
    if (needed <= cell.width() && shown.width() >= cell.width()) return {};
    return text;
}

QString cutOffTextAt(const QAbstractItemView& view, const QPoint& point) {
    return cutOffText(view, view.indexAt(point));
}

bool showCutOffToolTip(QAbstractItemView& view, QEvent* e) {
    if (e->type() != QEvent::ToolTip) return false;
    auto* help = static_cast<QHelpEvent*>(e);
    const QString text = cutOffTextAt(view, help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        e->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, view.viewport(),
                           view.visualRect(view.indexAt(help->pos())));
    }
    return true;
}

}  // namespace platform::forms
