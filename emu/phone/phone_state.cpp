#include "phone_state.h"

#include <cwctype>

namespace phone_emu {

PhoneState::PhoneState(const std::wstring& rootFolder) {
    WCHAR full[MAX_PATH];
    DWORD n = GetFullPathNameW(rootFolder.c_str(), MAX_PATH, full, nullptr);
    root = (n > 0 && n < MAX_PATH) ? std::wstring(full, n) : rootFolder;
    while (root.size() > 3 && root.back() == L'\\') root.pop_back();
}

unsigned PhoneState::Record(const JournalEntry& entry) {
    std::lock_guard<std::mutex> lock(mutex_);
    journal_.push_back(entry);
    journal_.back().id = ++lastId_;
    return lastId_;
}

std::vector<JournalEntry> PhoneState::Journal() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return journal_;
}

void PhoneState::ClearJournal() {
    std::lock_guard<std::mutex> lock(mutex_);
    journal_.clear();
}

DWORD PhoneState::OpenEnumeration(Enumeration e) {
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD handle = ++lastHandle_;
    enumerations_[handle] = std::move(e);
    InterlockedIncrement(&counters.openEnumerations);
    return handle;
}

bool PhoneState::CloseEnumeration(DWORD handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!enumerations_.erase(handle)) return false;
    InterlockedDecrement(&counters.openEnumerations);
    return true;
}

const char* OpName(Op op) {
    switch (op) {
        case Op::None: return "None";
        case Op::Any: return "Any";
        case Op::Advise: return "Advise";
        case Op::Unadvise: return "Unadvise";
        case Op::DriveList: return "DriveList";
        case Op::VolumeInfo: return "VolumeInfo";
        case Op::DirOpen: return "DirOpen";
        case Op::DirRead: return "DirRead";
        case Op::DirClose: return "DirClose";
        case Op::DirRemove: return "DirRemove";
        case Op::DirMake: return "DirMake";
        case Op::EntryInfo: return "EntryInfo";
        case Op::FileCopy: return "FileCopy";
        case Op::FileDelete: return "FileDelete";
    }
    return "?";
}

const char* ActionName(Action action) {
    switch (action) {
        case Action::Refuse: return "refuse";
        case Action::RefuseButComplete: return "refuse-but-complete";
        case Action::ForceStatus: return "force-status";
        case Action::NeverComplete: return "never-complete";
        case Action::Hang: return "hang";
        case Action::CompleteInsideCall: return "complete-inside-call";
        case Action::CompleteInsideButRefuse: return "complete-inside-but-refuse";
        case Action::SuccessWithoutRecord: return "success-without-record";
    }
    return "?";
}

remote::RemoteEntry MakeEntry(const std::wstring& name, DWORD attributes, DWORD size,
                              const std::wstring& shortName) {
    remote::RemoteEntry e{};
    e.attributes = attributes;
    e.size = size;
    name.copy(e.name, 255);
    shortName.copy(e.shortName, 271);
    return e;
}

}  // namespace phone_emu
