#include "code_page.h"

UINT NarrowCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

int NarrowToWide(const char* text, WCHAR* out, int size)
{
    if (size <= 0) return 0;
    int n = MultiByteToWideChar(NarrowCodePage(), 0, text, -1, out, size);
    if (n == 0) out[0] = 0;
    return n;
}

int WideToNarrow(const WCHAR* text, char* out, int size)
{
    if (size <= 0) return 0;
    int n = WideCharToMultiByte(NarrowCodePage(), 0, text, -1, out, size, nullptr, nullptr);
    if (n == 0) out[0] = 0;
    return n;
}
