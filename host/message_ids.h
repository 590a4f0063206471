// Message numbers of the language files. Every user-visible text is one of
// these; the files list them in exactly this order, so the numbers never move.
#pragma once

enum MessageId {
    MKindOther = 0,          // drive kind name for every other kind code
    MDiskMenu = 1,           // our entry in the host's disk menu
    MErrorTitle = 2,         // connection failure and copy-error prompt title
    MStatusRefused = 3,      // status -101
    MPanelFormat = 4,        // the panel's format name
    MUnused5 = 5,            // keeps its place
    MCopyTitle = 6,          // copy dialog and progress box title
    MMoveTitle = 7,
    MCopyOneItem = 8,        // %s item name
    MMoveOneItem = 9,        // %s item name
    MCopyManyItems = 10,     // %d count
    MMoveManyItems = 11,     // %d count
    MCopyButton = 12,
    MMoveButton = 13,
    MCancel = 14,            // copy dialog and copy-error prompt
    MCopying = 15,           // progress action line
    MMoving = 16,
    MTo = 17,                // between the two names
    MFilesCopied = 18,       // %d files copied so far
    MAlreadyExists = 19,
    MNewFile = 20,           // label, formatted as %12s
    MExistingFile = 21,      // label, formatted as %-12s
    MOverwrite = 22,
    MOverwriteAll = 23,
    MSkip = 24,
    MSkipAll = 25,
    MOverwriteCancel = 26,
    MOverwriteTitle = 27,
    MMakeDirTitle = 28,
    MMakeDirLabel = 29,
    MMakeDirButton = 30,
    MCancelButton = 31,      // make-directory dialog and delete confirmation
    MDeleteTitle = 32,
    MDeleting = 33,
    MDeleteQuestion = 34,
    MDeleteItems = 35,       // %d count
    MDeleteButton = 36,
    MDeleteDirTitle = 37,
    MDeleteDirLabel = 38,
    MDeleteDir = 39,
    MDeleteDirAll = 40,
    MDeleteDirSkip = 41,
    MDeleteDirStop = 42,
    MInfoHeading = 43,       // %s tag text, %s kind name
    MInfoFigure1 = 44,
    MInfoFigure2 = 45,
    MInfoText = 46,
    MKind6 = 47,
    MKind3 = 48,
    MKind7 = 49,
    MStatusOther = 50,       // %d status
    MStatusExists = 51,
    MStatusEndOfList = 52,
    MStatusCancelled = 53,
    MRetry = 54,
    MErrorSkip = 55,
    MErrorSkipAll = 56,
    MCopyFailed = 57,        // %s file name
    MMoveFailed = 58,        // %s file name
    MErrorDestination = 59,  // %s destination
    MStatusNoServer = 60,

    MessageCount = 61
};
