// Where the host's answers come from. The core (loading, services, journal)
// asks a front end whenever a user would act: a box with buttons, a dialog.
// The scripted front end answers from per-test queues; an interactive one
// can draw the same boxes in the console and wait for keys.
#pragma once

#include "journal.h"

#include <deque>
#include <map>
#include <string>

namespace host_emu {

enum { kComboBox = 10 };  // DI_COMBOBOX, an edit with a list
// Items whose text the user types: edits, fixed edits, passwords, combo boxes.
bool IsEditItem(int type);

// How a dialog ends: the item that closes it (a button's index, -1 for Esc,
// or kEnter for "press Enter where the focus is") and the texts typed into
// edit items or the states given to check boxes, by item index.
struct DialogAnswer {
    enum { kEscape = -1, kEnter = -1000 };
    int close = kEscape;
    std::map<int, std::string> texts;
    std::map<int, int> selected;
};

class HostFrontEnd {
public:
    virtual ~HostFrontEnd() = default;

    // A 0-button box, drawn and left on the screen (progress).
    virtual void ShowBox(const JournalEntry& box) {}
    // A box with buttons: the button's index or -1 (Esc). `answered` false
    // means nobody chose: the host then journals the prompt as unscripted.
    virtual int AskMessage(const JournalEntry& box, bool& answered) = 0;
    // A dialog: `dialog.itemsAfter` starts as a copy of the items; the front
    // end edits texts and states in it and returns the closing item's index,
    // -1 for Esc, or DialogAnswer::kEnter.
    virtual int RunDialog(JournalEntry& dialog, bool& answered) = 0;
    virtual void SaveScreen(HANDLE screen, int x1, int y1, int x2, int y2) {}
    virtual void RestoreScreen(HANDLE screen) {}

    // The host hands its journal over so a front end can report its own
    // faults (a script that does not fit the prompt it answers).
    void Attach(Journal* journal) { journal_ = journal; }

protected:
    void Fault(const std::string& text) {
        if (journal_) journal_->Fault(text);
    }

private:
    Journal* journal_ = nullptr;
};

// Answers from queues filled by the test, in call order.
class ScriptedFrontEnd : public HostFrontEnd {
public:
    void AnswerMessage(int button) { messages_.push_back(button); }
    void AnswerDialog(const DialogAnswer& answer) { dialogs_.push_back(answer); }
    void AnswerDialog(int close, std::map<int, std::string> texts = {});
    size_t PendingMessages() const { return messages_.size(); }
    size_t PendingDialogs() const { return dialogs_.size(); }
    void Clear();

    int AskMessage(const JournalEntry& box, bool& answered) override;
    int RunDialog(JournalEntry& dialog, bool& answered) override;

private:
    std::deque<int> messages_;
    std::deque<DialogAnswer> dialogs_;
};

}  // namespace host_emu
