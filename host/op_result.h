// What an operation answers the host, by FAR's own convention, and how the
// results of its items add up.
#pragma once

enum OpResult {
    OpCancelled = -1,  // the user stopped it: the host stops too
    OpFailed = 0,      // something was not done
    OpDone = 1,        // everything was done
};

// Folds one item's result into the operation's. False once the operation
// is cancelled: the caller stops and answers `total`.
inline bool FoldResult(int& total, int item)
{
    if (item == OpCancelled) {
        total = OpCancelled;
        return false;
    }
    if (item == OpFailed) total = OpFailed;
    return true;
}
