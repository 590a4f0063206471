// The box a copy or move shows while it runs. It owns every text it shows:
// names are copied in and shortened once, and each draw builds its lines on
// its own stack, so nothing it shows can outlive its buffer.
#pragma once

#include "copy_rate.h"
#include "host_ui.h"
#include "phone_side.h"

struct ProgressBox {
    StopRequest stop;   // what an Esc sets, and what stops the operation
    int move;           // the title and action say "move"
    char source[host::NM];
    char target[host::NM];
    int doneCount;      // files copied so far, for the counter line
    EscWatch keys;      // the look at the console's keys for Esc
    bool timeLine;      // the user's "copying time information": one more line
    CopyRate rate;      // bytes moved, for the time line's figures
    unsigned __int64 fileSize;  // the file now being copied, as listed
    unsigned __int64 fileDone;  // its bytes the progress notices reported
    // The whole operation, when the user's total indicator is on and the
    // pass that adds it up has run (no files: not known).
    int totalFiles;
    unsigned __int64 totalBytes;
    unsigned __int64 doneBytes;  // of the files copied whole so far
    int reading;        // entries of a folder being listed; -1: none

    enum { NameColumns = 40 };
};

// The box's count of copied files as it was when the mark was made.
// A copy on the phone counts each file once, on the leg that puts it in its
// new place: a leg before that gives the count back with Restore().
class FileCountMark {
public:
    explicit FileCountMark(ProgressBox& progress) : box(progress), counted(progress.doneCount) {}
    void Restore() const { box.doneCount = counted; }

private:
    ProgressBox& box;
    int counted;
};

// A leg none of whose files the box counts: the count is given back when
// the leg ends, however it ends.
struct UncountedLeg {
    FileCountMark mark;
    explicit UncountedLeg(ProgressBox& box) : mark(box) {}
    ~UncountedLeg() { mark.Restore(); }
    UncountedLeg(const UncountedLeg&) = delete;
    UncountedLeg& operator=(const UncountedLeg&) = delete;
};

// While it lives the user is asked something: the box's time and speed
// leave that time out, as the host's own copy does.
class QuestionTime {
public:
    explicit QuestionTime(ProgressBox& progress) : box(progress), asked(GetTickCount()) {}
    ~QuestionTime() { SkipTime(box.rate, Elapsed(GetTickCount(), asked)); }
    QuestionTime(const QuestionTime&) = delete;
    QuestionTime& operator=(const QuestionTime&) = delete;

private:
    ProgressBox& box;
    DWORD asked;
};

// Starts a box for one operation and, with `draw`, draws it with empty
// names; with `timeLine`, the box shows the time taken, the time left and
// the speed.
void BeginProgress(ProgressBox& box, StopRequest stop, int move, bool timeLine, bool draw = true);
// The item now being copied: its name and where it goes. The box no longer
// says it is reading a folder.
void SetProgressNames(ProgressBox& box, const char* source, const char* target);
void SetProgressNames(ProgressBox& box, const char* source, const WCHAR* target);
// A file of `size` bytes starts (or starts again): the progress notices
// that follow are percentages of it.
void StartFileProgress(ProgressBox& box, unsigned __int64 size);
// The file turned out to hold `size` bytes, more than listed (the phone
// lists sizes in 32 bits): its bytes, and the operation's, count that many.
void GrowFileSize(ProgressBox& box, unsigned __int64 size);
// The file is copied: whatever of it no notice reported counts as moved now.
void EndFileProgress(ProgressBox& box);
// The whole operation's size, for a second bar and the count of all files.
// The time line starts again here: adding up is not copying.
void SetProgressTotal(ProgressBox& box, int files, unsigned __int64 bytes);
// "1.2 MB" (`perSecond`: "1.2 MB/s") in the language's units and the
// user's decimal separator.
void FormatAmount(char* out, int size, unsigned __int64 bytes, bool perSecond);
// Draws the box for a folder about to be made, saying so; 0 once the
// operation should stop.
int ShowFolderProgress(ProgressBox& box);
// Draws the box with the bar at `percent`; 0 once the operation should stop.
int ShowProgress(ProgressBox& box, int percent);
// Between two hand-overs of a folder's listing: the box says how many
// entries have come (from the first on) and reads the keys; 0 once the
// operation should stop.
int ShowReading(ProgressBox& box, int entries);
// The progress function handed to FileCopy, with the box as its context.
int CopyProgressCallback(int percent, void* context);
