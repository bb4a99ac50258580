// The keyed image combo box.
#include "platform/forms/imagecombo.h"

#include <QLineEdit>

#include "platform/forms/imagelist.h"
#include "platform/forms/keyed.h"

namespace platform::forms {

namespace {
// The folded key sits under a role of its own so that lookups ignore case.
constexpr int kFoldedKeyRole = TagRole + 1;
}  // namespace

ImageCombo::ImageCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        if (currentIndex() < 0) return;
        // Leaving the item empties the text field; what is typed stays.
        const QString typed = lineEdit()->text();
        const int cursor = lineEdit()->cursorPosition();
        setCurrentIndex(-1);
        lineEdit()->setText(typed);
        lineEdit()->setCursorPosition(cursor);
    });
}

int ImageCombo::addKeyedItem(const QString& key, const QString& text, const QString& image) {
    if (findKey(key) >= 0)
        throw FormsError(errors::kKeyNotUnique, "Key is not unique in collection");
    QIcon icon;
    if (images_ && !image.isEmpty()) icon = images_->icon(image);
    // Appending must not replace what the user is typing.
    const QString typed = currentText();
    addItem(icon, text);
    const int index = count() - 1;
    setItemData(index, key, KeyRole);
    setItemData(index, image, ImageRole);
    setItemData(index, KeyIndex<int>::fold(key), kFoldedKeyRole);
    if (index == 0) {
        setCurrentIndex(-1);
        setEditText(typed);
    }
    return index;
}

int ImageCombo::findKey(const QString& key) const {
    if (key.isEmpty()) return -1;
    return findData(KeyIndex<int>::fold(key), kFoldedKeyRole, Qt::MatchExactly);
}

QString ImageCombo::keyAt(int index) const {
    return itemData(index, KeyRole).toString();
}
QString ImageCombo::imageAt(int index) const {
    return itemData(index, ImageRole).toString();
}

int ImageCombo::selectedIndex() const {
    const int index = currentIndex();
    if (index < 0 || itemText(index) != currentText()) return -1;
    return index;
}

}  // namespace platform::forms
