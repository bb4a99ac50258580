// Building a keyed item.
#include "platform/forms/keyed.h"

#include <QTreeWidgetItem>

#include "platform/forms/imagelist.h"

namespace platform::forms {

QIcon keyedIcon(const ImageList* images, const QString& image) {
    if (images && !image.isEmpty()) return images->icon(image);
    return {};
}

void setKeyedData(QTreeWidgetItem* item, const QString& key, const QString& text,
                  const QString& image, const QIcon& icon) {
    item->setText(0, text);
    item->setData(0, KeyRole, key);
    item->setData(0, ImageRole, image);
    item->setIcon(0, icon);
}

QTreeWidgetItem* newKeyedItem(const KeyIndex<QTreeWidgetItem*>& index, const ImageList* images,
                              const QString& key, const QString& text, const QString& image) {
    index.checkFree(key);
    const QIcon icon = keyedIcon(images, image);
    auto* item = new QTreeWidgetItem;
    setKeyedData(item, key, text, image, icon);
    return item;
}

}  // namespace platform::forms
