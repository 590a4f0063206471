// The figures of a copy's time line: bytes moved over time, the speed as an
// average over the last few seconds, and the time a number of bytes still
// takes at that speed. Ticks are handed in, so the figures depend on nothing
// but what they are told.
#pragma once

#include <windows.h>

struct CopyRate {
    enum {
        Samples = 8,         // kept at least SampleMs apart: 3.5 s and more
        SampleMs = 500,
        WindowMs = 3000,     // the speed is the average over about this long
        MinWindowMs = 1000,  // shorter than this, a speed would be a guess
    };
    struct Sample {
        DWORD tick;
        unsigned __int64 bytes;
    };
    DWORD startedAt;
    unsigned __int64 moved;  // bytes moved since the start
    Sample samples[Samples];
    int count;  // samples kept
    int next;   // where the next one goes
};

void StartRate(CopyRate& rate, DWORD now);
// `ms` of time that was no copying (a question on the screen): the time
// taken, the speed's window and the time left all leave it out.
void SkipTime(CopyRate& rate, DWORD ms);
// `bytes` more moved by `now`.
void AddBytes(CopyRate& rate, unsigned __int64 bytes, DWORD now);
// Bytes a second over the last three seconds or so (back to the first
// sample at least WindowMs old); 0 until a second has passed. A file moved
// at once (inside one progress notice) is spread over that window, never
// over the moment since the last notice.
unsigned __int64 BytesPerSecond(const CopyRate& rate, DWORD now);
// Seconds that `left` bytes take at the current speed; -1 when no speed is
// known yet.
long SecondsLeft(const CopyRate& rate, unsigned __int64 left, DWORD now);
