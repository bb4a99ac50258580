// An editable combo box whose list items carry a unique key and a picture
// from an image list, besides the text that the list shows. Text typed into
// the box is no longer the chosen item: the item's picture goes as soon as
// the text is edited.
#pragma once

#include <QComboBox>
#include <QString>

namespace platform::forms {

class ImageList;

class ImageCombo : public QComboBox {
public:
    explicit ImageCombo(QWidget* parent = nullptr);

    void setImageList(const ImageList* images) { images_ = images; }

    // Appends an item and returns its index. Raises errors::kKeyNotUnique for
    // a key already in the list and errors::kElementNotFound for a picture the
    // image list lacks; the list is unchanged then.
    int addKeyedItem(const QString& key, const QString& text, const QString& image);
    // -1 when no item has that key.
    int findKey(const QString& key) const;
    QString keyAt(int index) const;
    QString imageAt(int index) const;
    // The item chosen from the list, or -1 when the text was typed.
    int selectedIndex() const;

private:
    const ImageList* images_ = nullptr;
};

}  // namespace platform::forms
