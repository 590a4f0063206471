#include "copied_files.h"

#include <cstdlib>

// FNV-1a over the path's UTF-16 units.
static ULONGLONG Digest(const WCHAR* path)
{
    ULONGLONG h = 14695981039346656037ULL;
    for (; *path; ++path) {
        h ^= (ULONGLONG)*path;
        h *= 1099511628211ULL;
    }
    return h;
}

bool CopiedFiles::Add(const WCHAR* path, const host::FAR_FIND_DATA& data)
{
    if (count == capacity) {
        // Grows by half again: a big tree is recorded in linear time.
        int next = capacity < 64 ? 64 : capacity + capacity / 2;
        File* grown = (File*)realloc(files, (size_t)next * sizeof(File));
        if (!grown) return false;
        files = grown;
        capacity = next;
    }
    File& f = files[count++];
    f.digest = Digest(path);
    f.sizeLow = data.nFileSizeLow;
    f.sizeHigh = data.nFileSizeHigh;
    f.written = data.ftLastWriteTime;
    sorted = false;
    return true;
}

static int ByDigest(const void* a, const void* b)
{
    ULONGLONG x = ((const CopiedFiles::File*)a)->digest, y = ((const CopiedFiles::File*)b)->digest;
    return x < y ? -1 : x > y ? 1 : 0;
}

bool CopiedFiles::Holds(const WCHAR* path, const host::FAR_FIND_DATA& data)
{
    if (!sorted) {
        qsort(files, count, sizeof(File), ByDigest);
        sorted = true;
    }
    File key;
    key.digest = Digest(path);
    const File* f = (const File*)bsearch(&key, files, count, sizeof(File), ByDigest);
    return f && f->sizeLow == data.nFileSizeLow && f->sizeHigh == data.nFileSizeHigh &&
           CompareFileTime(&f->written, &data.ftLastWriteTime) == 0;
}

void CopiedFiles::Clear()
{
    free(files);
    files = nullptr;
    count = capacity = 0;
    sorted = true;
    started = false;
}
