#pragma once

#include <Qt>

// The download dialog's keyboard commands, seen before the focused control gets the key.
namespace download {

enum class AskerKey { None, NewFolder, NewSection, Bookmarks, Help };

// Ctrl+N, Ctrl+S and Ctrl+B count only with Ctrl as the sole modifier (Ctrl+Shift+N is
// no command); F1 counts with any modifiers.
AskerKey askerKeyAction(int key, Qt::KeyboardModifiers modifiers);

} // namespace download
