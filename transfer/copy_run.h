// What every item of one copy or move shares, in both directions.
#pragma once

#include "progress_box.h"

struct CopyRun {
    PhonePanel& panel;
    int move;
    int opMode;
    ProgressBox progress;

    // Find File copies for its own reading: no box, no progress.
    bool Quiet() const { return (opMode & host::OPM_FIND) != 0; }
    ProgressFn Progress() const { return Quiet() ? NULL : CopyProgressCallback; }
    LONG Overwrite() const { return panel.HasFlag(OpFlag::OverwriteAll) ? 1 : 0; }
};
