#pragma once

#include "FakePortTree.h"
#include "serial/diagnostics/PortNames.h"

// A fake system tree that the editor's port names, its window and the line monitor read for the
// life of the object; the system's own folders again after it.
class EditorPortTree : public FakePortTree {
public:
    EditorPortTree() { SetEditorPortFolders(Folders()); }
    ~EditorPortTree() { SetEditorPortFolders({}); }
    EditorPortTree(const EditorPortTree&) = delete;
    EditorPortTree& operator=(const EditorPortTree&) = delete;
};
