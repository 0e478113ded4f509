#include "download/AskerKeys.h"

namespace download {

AskerKey askerKeyAction(int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_F1)
        return AskerKey::Help;
    // The keypad flag says where a key is, not how it was modified.
    if ((modifiers & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return AskerKey::None;
    switch (key) {
    case Qt::Key_N:
        return AskerKey::NewFolder;
    case Qt::Key_S:
        return AskerKey::NewSection;
    case Qt::Key_B:
        return AskerKey::Bookmarks;
    default:
        return AskerKey::None;
    }
}

} // namespace download
