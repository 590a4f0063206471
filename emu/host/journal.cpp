#include "journal.h"

#include <cstdio>

namespace host_emu {

namespace {

const char* KindName(CallKind kind) {
    switch (kind) {
    case CallKind::Message: return "Message";
    case CallKind::Dialog: return "Dialog";
    case CallKind::Control: return "Control";
    case CallKind::SaveScreen: return "SaveScreen";
    case CallKind::RestoreScreen: return "RestoreScreen";
    }
    return "?";
}

// Screen handles are opaque to the plug-in; numbers from a fixed base keep
// them distinct from null and from anything the plug-in allocates itself.
const UINT_PTR kScreenBase = 0x5C500000;

}  // namespace

std::string JournalEntry::Text() const {
    std::string all;
    if (kind == CallKind::Dialog) {
        for (const DialogItemRecord& item : items) all += (all.empty() ? "" : "\n") + item.data;
        return all;
    }
    all = title;
    for (const std::string& line : lines) all += "\n" + line;
    for (const std::string& button : buttons) all += "\n" + button;
    return all;
}

std::string JournalEntry::Describe() const {
    char head[160];
    std::snprintf(head, sizeof head, "%s flags=0x%lx answer=%d%s", KindName(kind),
                  (unsigned long)flags, answer, unscripted ? " UNSCRIPTED" : "");
    std::string out = head;
    switch (kind) {
    case CallKind::Message:
    case CallKind::Dialog: {
        std::string body = Text();
        for (char& c : body)
            if (c == '\n') c = '|';
        out += " [" + body + "]";
        break;
    }
    case CallKind::Control:
        std::snprintf(head, sizeof head, " command=%d param=%p", command, param);
        out += head;
        break;
    default:
        std::snprintf(head, sizeof head, " screen=%p", screen);
        out += head;
        break;
    }
    return out;
}

size_t Journal::Add(const JournalEntry& entry) {
    entries_.push_back(entry);
    return entries_.size() - 1;
}

void Journal::Clear() {
    entries_.clear();
    faults_.clear();
    screens_.clear();
    screenOrder_.clear();
    saves_ = restores_ = restoredTwice_ = 0;
}

std::vector<const JournalEntry*> Journal::Messages() const {
    std::vector<const JournalEntry*> out;
    for (const JournalEntry& e : entries_)
        if (e.kind == CallKind::Message) out.push_back(&e);
    return out;
}

std::vector<const JournalEntry*> Journal::Prompts() const {
    std::vector<const JournalEntry*> out;
    for (const JournalEntry& e : entries_)
        if (e.kind == CallKind::Message && !e.buttons.empty()) out.push_back(&e);
    return out;
}

std::vector<const JournalEntry*> Journal::Dialogs() const {
    std::vector<const JournalEntry*> out;
    for (const JournalEntry& e : entries_)
        if (e.kind == CallKind::Dialog) out.push_back(&e);
    return out;
}

std::vector<const JournalEntry*> Journal::Controls(int command) const {
    std::vector<const JournalEntry*> out;
    for (const JournalEntry& e : entries_)
        if (e.kind == CallKind::Control && (command < 0 || e.command == command))
            out.push_back(&e);
    return out;
}

int Journal::ProgressCount() const {
    int count = 0;
    for (const JournalEntry& e : entries_)
        if (e.IsProgress()) ++count;
    return count;
}

const JournalEntry* Journal::LastMessage() const {
    auto all = Messages();
    return all.empty() ? nullptr : all.back();
}

const JournalEntry* Journal::LastPrompt() const {
    auto all = Prompts();
    return all.empty() ? nullptr : all.back();
}

const JournalEntry* Journal::LastDialog() const {
    auto all = Dialogs();
    return all.empty() ? nullptr : all.back();
}

const JournalEntry* Journal::Find(const std::string& part) const {
    for (const JournalEntry& e : entries_)
        if ((e.kind == CallKind::Message || e.kind == CallKind::Dialog) &&
            e.Text().find(part) != std::string::npos)
            return &e;
    return nullptr;
}

std::vector<const JournalEntry*> Journal::Unscripted() const {
    std::vector<const JournalEntry*> out;
    for (const JournalEntry& e : entries_)
        if (e.unscripted) out.push_back(&e);
    return out;
}

HANDLE Journal::NewScreen(int, int, int, int) {
    HANDLE screen = (HANDLE)(kScreenBase + 16 * ++nextScreen_);
    screens_[screen] = 0;
    screenOrder_.push_back(screen);
    ++saves_;
    return screen;
}

void Journal::RestoreScreen(HANDLE screen) {
    if (!screen) return;  // re-reads the console; nothing to free
    ++restores_;
    auto it = screens_.find(screen);
    if (it == screens_.end()) {
        char text[80];
        std::snprintf(text, sizeof text, "RestoreScreen of a handle never saved: %p", screen);
        Fault(text);
        return;
    }
    if (++it->second > 1) {
        ++restoredTwice_;
        char text[80];
        std::snprintf(text, sizeof text, "RestoreScreen twice: %p", screen);
        Fault(text);
    }
}

std::vector<HANDLE> Journal::ScreensNotRestored() const {
    std::vector<HANDLE> out;
    for (HANDLE screen : screenOrder_)
        if (screens_.at(screen) == 0) out.push_back(screen);
    return out;
}

std::string Journal::Dump() const {
    std::string out;
    for (size_t i = 0; i < entries_.size(); ++i)
        out += std::to_string(i) + ": " + entries_[i].Describe() + "\n";
    for (const std::string& f : faults_) out += "FAULT: " + f + "\n";
    return out;
}

}  // namespace host_emu
