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
    if (count_ == capacity_) {
        // Grows by half again: a big tree is recorded in linear time.
        int next = capacity_ < 64 ? 64 : capacity_ + capacity_ / 2;
        File* grown = (File*)realloc(files_, (size_t)next * sizeof(File));
        if (!grown) return false;
        files_ = grown;
        capacity_ = next;
    }
    File& f = files_[count_++];
    f.digest = Digest(path);
    f.sizeLow = data.nFileSizeLow;
    f.sizeHigh = data.nFileSizeHigh;
    f.written = data.ftLastWriteTime;
    sorted_ = false;
    return true;
}

static int ByDigest(const void* a, const void* b)
{
    ULONGLONG x = ((const CopiedFiles::File*)a)->digest, y = ((const CopiedFiles::File*)b)->digest;
    return x < y ? -1 : x > y ? 1 : 0;
}

bool CopiedFiles::Holds(const WCHAR* path, const host::FAR_FIND_DATA& data)
{
    if (!sorted_) {
        qsort(files_, count_, sizeof(File), ByDigest);
        sorted_ = true;
    }
    File key;
    key.digest = Digest(path);
    const File* f = (const File*)bsearch(&key, files_, count_, sizeof(File), ByDigest);
    return f && f->sizeLow == data.nFileSizeLow && f->sizeHigh == data.nFileSizeHigh &&
           CompareFileTime(&f->written, &data.ftLastWriteTime) == 0;
}

void CopiedFiles::Clear()
{
    free(files_);
    files_ = nullptr;
    count_ = capacity_ = 0;
    sorted_ = true;
    started_ = false;
}
