#pragma once

#include <QString>
#include <functional>

// The scan run once per start: for every file record of the library it offers to open a
// file not opened some days after its download, erases the records of files gone from
// disk, and carries out due deletions. Questions go through the dialog seam; nothing here
// needs a widget.
namespace manager {

struct ScanHooks {
    // A file was deleted: the manager re-reads its list and details pane.
    std::function<void()> refresh;
    // The user refused a due deletion of `directory` + `fileName`: the details pane clears
    // its auto-delete box if it shows that file.
    std::function<void(const QString& directory, const QString& fileName)> deletionRefused;
};

// Walks the whole library once. Errors other than a bad date in the not-opened check end
// the walk quietly; what was written stays.
void scanforevents(const ScanHooks& hooks = {});

// Whether a record name may stand for a file of its folder: never ".", "..", empty, or a
// name holding a path separator (record files are hand-editable).
bool isPlainFileName(const QString& name);

} // namespace manager
