#include "bounded_string.h"

// One template serves both widths; the narrow and wide names are what the
// rest of the plug-in calls.
template <typename Ch>
static Ch* CopyBoundedT(Ch* dst, const Ch* src, int size)
{
    if (size <= 0) return dst;
    int i = 0;
    for (; i < size - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

template <typename Ch>
static Ch* AppendBoundedT(Ch* dst, const Ch* src, int size)
{
    if (size <= 0) return dst;
    int len = 0;
    while (len < size && dst[len]) ++len;
    if (len + 1 >= size) return dst;
    CopyBoundedT(dst + len, src, size - len);
    return dst;
}

char* CopyBounded(char* dst, const char* src, int size) { return CopyBoundedT(dst, src, size); }
char* AppendBounded(char* dst, const char* src, int size) { return AppendBoundedT(dst, src, size); }
WCHAR* CopyBoundedWide(WCHAR* dst, const WCHAR* src, int size) { return CopyBoundedT(dst, src, size); }
WCHAR* AppendBoundedWide(WCHAR* dst, const WCHAR* src, int size) { return AppendBoundedT(dst, src, size); }
