#include "user_formats.h"

#include "code_page.h"

#include <cstdio>

// The first character of a locale setting in the narrow code page, or
// `fallback` when it has none or that code page has no exact form of it
// (Russian groups digits with a no-break space, which OEM 866 has).
static char LocaleCharacter(LCTYPE type, char fallback)
{
    WCHAR text[8];
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 8) || !text[0]) return fallback;
    char narrow[4];
    BOOL inexact = FALSE;
    int n = WideCharToMultiByte(NarrowCodePage(), WC_NO_BEST_FIT_CHARS, text, 1, narrow,
                                sizeof(narrow), nullptr, &inexact);
    return n == 1 && !inexact ? narrow[0] : fallback;
}

char ThousandsSeparator() { return LocaleCharacter(LOCALE_STHOUSAND, ' '); }

char DecimalSeparator() { return LocaleCharacter(LOCALE_SDECIMAL, '.'); }

void FormatFileTime(const FILETIME& time, char* date, int dateSize, char* clock, int clockSize)
{
    if (dateSize > 0) date[0] = 0;
    if (clockSize > 0) clock[0] = 0;
    FILETIME local;
    SYSTEMTIME st;
    if ((time.dwHighDateTime == 0 && time.dwLowDateTime == 0) ||
        !FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &st))
        return;

    // The order of day, month and year: 0 month first, 1 day first, 2 year first.
    WCHAR order[4] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, 4);
    char dateSeparator = LocaleCharacter(LOCALE_SDATE, '.');
    int first = st.wMonth, second = st.wDay, third = st.wYear;
    const char* shape = "%02d%c%02d%c%04d";
    if (order[0] == L'1') {
        first = st.wDay;
        second = st.wMonth;
    } else if (order[0] == L'2') {
        first = st.wYear;
        second = st.wMonth;
        third = st.wDay;
        shape = "%04d%c%02d%c%02d";
    }
    snprintf(date, dateSize, shape, first, dateSeparator, second, dateSeparator, third);

    char clockSeparator = LocaleCharacter(LOCALE_STIME, ':');
    snprintf(clock, clockSize, "%02d%c%02d%c%02d", st.wHour, clockSeparator, st.wMinute,
             clockSeparator, st.wSecond);
}
