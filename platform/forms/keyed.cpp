// Building a keyed item.
#include "platform/forms/keyed.h"

#include <QTreeWidgetItem>

#include "platform/forms/imagelist.h"

namespace platform::forms {

QTreeWidgetItem* newKeyedItem(const KeyIndex<QTreeWidgetItem*>& index, const ImageList* images,
                              const QString& key, const QString& text, const QString& image) {
    index.checkFree(key);
    QIcon icon;
    if (images && !image.isEmpty()) icon = images->icon(image);
    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    item->setData(0, KeyRole, key);
    item->setData(0, ImageRole, image);
    item->setIcon(0, icon);
    return item;
}

}  // namespace platform::forms
