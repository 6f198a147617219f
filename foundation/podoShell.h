#pragma once

#include "foundation/podoStr.h"

class podoWnd;

// Operations on files and folders named by a path, and the two places where work is handed to the
// desktop: the open and save file dialogs, and opening a document or web address with its default
// program. All are synchronous, report success as a bool, and neither log nor show anything.
namespace podo {

bool pathExists(const podoStr &path);
// Deletes a file (a symbolic link itself, never what it points at); read-only files and folders are
// not deleted.
bool deleteFile(const podoStr &path);
// Renames atomically; an existing file at the target is replaced, never deleted beforehand.
bool moveFile(const podoStr &source, const podoStr &target);
// Creates missing parents first; true when the folder itself was created.
bool makeFolder(const podoStr &folder);
// Creates and deletes a test file in the folder, creating the folder on the way.
bool isFolderWritable(const podoStr &folder);
// Deletes what the folder holds (sub-folders only when asked); stops deleting at the first failure.
// Symbolic links are deleted as links: nothing is followed.
bool deleteFolderContents(const podoStr &folder, bool includeSubfolders);
// True when the folder itself was removed. With removeEmptiedParents, each parent that is left empty is
// removed too; the climb stops at the first parent that still holds something.
bool removeFolder(const podoStr &folder, bool removeEmptiedParents, bool includeSubfolders, bool deleteContentsFirst);

// The open and save dialogs go to a hook (a window layer, or a test's script). Without one no dialog
// can be shown and the answer is "nothing chosen".
struct FileDialogRequest {
    bool save = false;
    podoStr title;
    podoStr filter;        // display text and pattern pairs, each ended by NUL, the list by a second NUL
    int filterLength = 0;  // units of the filter including its NULs
    podoStr initialFolder;
    podoStr fileName;      // the file-name field's first text
    podoStr defaultExtension;
    podoWnd *owner = nullptr;
};
using FileDialogHook = bool (*)(const FileDialogRequest &request, podoStr &chosen);
FileDialogHook setFileDialogHook(FileDialogHook hook);

bool fileDialog(bool save, podoStr &path, const podoStr &initialPath, const podoStr &extension, const podoStr &typeName,
                const podoStr &qualifier, podoWnd *owner);

// Opens a document, folder or web address with its default program (xdg-open); true when that
// program reported success. A local path with a folder part must exist.
bool shellOpen(const podoStr &pathOrAddress);

} // namespace podo
