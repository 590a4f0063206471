#include "copy_rate.h"

#include "timings.h"

void StartRate(CopyRate& rate, DWORD now)
{
    rate.startedAt = now;
    rate.moved = 0;
    rate.count = 0;
    rate.next = 0;
    AddBytes(rate, 0, now);
}

// Everything up to the pause moves that much later, as if the copy had
// started later: the samples stay in their order and none lies ahead of now.
void SkipTime(CopyRate& rate, DWORD ms)
{
    rate.startedAt += ms;
    for (int i = 0; i < rate.count; ++i) rate.samples[i].tick += ms;
}

void AddBytes(CopyRate& rate, unsigned __int64 bytes, DWORD now)
{
    rate.moved += bytes;
    if (rate.count > 0) {
        int last = (rate.next + CopyRate::Samples - 1) % CopyRate::Samples;
        if (Elapsed(now, rate.samples[last].tick) < (DWORD)CopyRate::SampleMs) return;
    }
    rate.samples[rate.next].tick = now;
    rate.samples[rate.next].bytes = rate.moved;
    rate.next = (rate.next + 1) % CopyRate::Samples;
    if (rate.count < CopyRate::Samples) ++rate.count;
}

unsigned __int64 BytesPerSecond(const CopyRate& rate, DWORD now)
{
    if (rate.count == 0) return 0;
    // From the newest sample back to the first one old enough.
    int at = rate.next;
    DWORD span = 0;
    for (int i = 0; i < rate.count; ++i) {
        at = (at + CopyRate::Samples - 1) % CopyRate::Samples;
        span = Elapsed(now, rate.samples[at].tick);
        if (span >= (DWORD)CopyRate::WindowMs) break;
    }
    const CopyRate::Sample& base = rate.samples[at];
    if (span < (DWORD)CopyRate::MinWindowMs) return 0;
    return (rate.moved - base.bytes) * 1000 / span;
}

long SecondsLeft(const CopyRate& rate, unsigned __int64 left, DWORD now)
{
    unsigned __int64 speed = BytesPerSecond(rate, now);
    if (speed == 0) return -1;
    unsigned __int64 seconds = (left + speed - 1) / speed;
    return seconds > 359999 ? 359999 : (long)seconds;  // 99:59:59 at most
}
