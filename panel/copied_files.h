// Files a copy took from the phone and found whole where they went, each by
// its phone path, size and write time: what a move may delete afterwards,
// and nothing else. A file the phone wrote or changed since is not in it.
// Whether such a copy ran at all is kept apart: an empty folder tree copies
// no file, yet its copy makes the delete that follows a move's.
#pragma once

#include "host_api.h"

class CopiedFiles {
public:
    CopiedFiles() = default;
    ~CopiedFiles() { Clear(); }

    // A copy starts recording: what an earlier one took is forgotten.
    void Start()
    {
        Clear();
        started = true;
    }
    // A copy has recorded since the last Clear, even if it took no file.
    bool Started() const { return started; }
    // False when memory ran out: that file is then not deleted later.
    bool Add(const WCHAR* path, const host::FAR_FIND_DATA& data);
    // True when `path` was copied as `data` describes it now: same size,
    // same write time.
    bool Holds(const WCHAR* path, const host::FAR_FIND_DATA& data);
    void Clear();

    // A path is kept as a 64-bit digest: a tree of 10,000 files costs a
    // quarter of a megabyte, not its paths' worth. Two paths of one digest
    // would also need one size and one write time to be taken for each other.
    struct File {
        ULONGLONG digest;
        DWORD sizeLow, sizeHigh;
        FILETIME written;
    };

private:
    File* files = nullptr;
    int count = 0, capacity = 0;
    bool sorted = true;
    bool started = false;

    CopiedFiles(const CopiedFiles&) = delete;
    CopiedFiles& operator=(const CopiedFiles&) = delete;
};
