// What the plug-in asked the host to do: every Message, Dialog, Control,
// SaveScreen and RestoreScreen call, with its texts resolved, plus the
// faults the host noticed (unanswered prompts, bad message numbers, screens
// restored twice, ...). Tests read it to check what a user would have seen.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace host_emu {

enum class CallKind { Message, Dialog, Control, SaveScreen, RestoreScreen };

// One dialog item as the host saw it; `data` is its text (for DIF_VAREDIT
// edits, the text behind the pointer).
struct DialogItemRecord {
    int type = 0;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int focus = 0;
    int selected = 0;
    DWORD flags = 0;
    int defaultButton = 0;
    std::string data;
};

struct JournalEntry {
    CallKind kind = CallKind::Message;
    int pluginNumber = 0;
    DWORD flags = 0;
    std::string helpTopic;

    // Message: title, body lines and button captions (those the host
    // appends for FMSG_MB_* included); the counts as passed in. A dialog's
    // title is the caption of its first frame.
    std::string title;
    std::vector<std::string> lines;
    std::vector<std::string> buttons;
    int itemsNumber = 0;
    int buttonsNumber = 0;
    bool refused = false;  // the host drew nothing and answered -1

    // Dialog: coordinates as passed, the box on the screen, the items as
    // handed in and as written back.
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    RECT box = {0, 0, 0, 0};
    std::vector<DialogItemRecord> items;
    std::vector<DialogItemRecord> itemsAfter;

    // Control.
    HANDLE plugin = nullptr;
    int command = 0;
    void* param = nullptr;

    // SaveScreen (the handle returned) and RestoreScreen (the handle given).
    HANDLE screen = nullptr;

    int answer = 0;
    bool unscripted = false;  // a prompt that nobody answered: Esc was assumed

    bool IsProgress() const { return kind == CallKind::Message && buttons.empty() && !refused; }
    // Title, lines and buttons (a dialog: its items' texts) joined by
    // newlines, for searching and failure output.
    std::string Text() const;
    std::string Describe() const;
};

class Journal {
public:
    // Appends and returns the entry's index (entries may be added while a
    // hook runs, so callers keep indexes, not references).
    size_t Add(const JournalEntry& entry);
    JournalEntry& At(size_t index) { return entries_[index]; }
    const std::vector<JournalEntry>& Entries() const { return entries_; }
    void Clear();

    std::vector<const JournalEntry*> Messages() const;  // every Message call
    std::vector<const JournalEntry*> Prompts() const;   // Messages with buttons
    std::vector<const JournalEntry*> Dialogs() const;
    std::vector<const JournalEntry*> Controls(int command = -1) const;
    int ProgressCount() const;  // 0-button boxes
    const JournalEntry* LastMessage() const;
    const JournalEntry* LastPrompt() const;
    const JournalEntry* LastDialog() const;
    // The first Message or Dialog whose text contains `part`, or null.
    const JournalEntry* Find(const std::string& part) const;
    std::vector<const JournalEntry*> Unscripted() const;

    // Screens: each saved handle must be restored exactly once.
    HANDLE NewScreen(int x1, int y1, int x2, int y2);
    void RestoreScreen(HANDLE screen);
    int Saves() const { return saves_; }
    int Restores() const { return restores_; }  // non-null restores
    std::vector<HANDLE> ScreensNotRestored() const;
    int RestoredTwice() const { return restoredTwice_; }  // restores beyond the first

    void Fault(const std::string& text) { faults_.push_back(text); }
    const std::vector<std::string>& Faults() const { return faults_; }

    // Every entry and fault, one a line: for test failure messages.
    std::string Dump() const;

private:
    std::vector<JournalEntry> entries_;
    std::vector<std::string> faults_;
    std::map<HANDLE, int> screens_;  // handle -> times restored
    std::vector<HANDLE> screenOrder_;
    int saves_ = 0;
    int restores_ = 0;
    int restoredTwice_ = 0;
    unsigned nextScreen_ = 0;
};

}  // namespace host_emu
