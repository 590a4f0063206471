// Numbers and dates as the host's own panels and questions show them: in
// the user's formats (the system's locale settings), with separators in the
// code page of narrow texts.
#pragma once

#include <windows.h>

// One character each, as the host takes them: the first of the locale's
// separator, in the narrow code page. One that code page cannot spell
// exactly is a space between groups and a point before decimals.
char ThousandsSeparator();
char DecimalSeparator();

// A file's time in local time, as the host's copy question shows it: the
// date with two-digit day and month and a four-digit year in the user's
// order and separator, the time of day as hh:mm:ss counted to 24 with the
// user's separator. Both empty for a time of zero or one that does not
// convert.
void FormatFileTime(const FILETIME& time, char* date, int dateSize, char* clock, int clockSize);
