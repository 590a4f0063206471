// The state one PhoneEmulator shares with every server object it creates.
// Internal to the emulator: tests reach it through PhoneEmulator.
#pragma once

#include "phone_emulator.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace phone_emu {

class PhoneState {
public:
    explicit PhoneState(const std::wstring& rootFolder);

    std::wstring root;  // full path, no final backslash
    Options options;    // read and written on the client's thread only

    // Journal and counters may be touched from a thread that is not the
    // client's (a wrong-thread call is still journaled), hence the lock and
    // the interlocked counters.
    unsigned Record(const JournalEntry& entry);
    template <class F>
    void Update(unsigned id, F change) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = journal_.rbegin(); it != journal_.rend(); ++it)
            if (it->id == id) { change(*it); return; }
    }
    std::vector<JournalEntry> Journal() const;
    void ClearJournal();

    Counters counters;  // change only with Interlocked*
    std::function<void()> onLastServerGone;
    std::function<void(const JournalEntry&)> onRequestInsideCallback;
    std::function<void(const JournalEntry&)> onRequest;

    // Enumerations live here, not in a server object, so one a client never
    // closed stays counted after the object is gone.
    struct Enumeration {
        std::wstring path;  // as given to DirOpen
        std::vector<remote::RemoteEntry> entries;
        size_t next = 0;
    };
    DWORD OpenEnumeration(Enumeration e);
    bool CloseEnumeration(DWORD handle);
    // Runs `use` on the enumeration under the lock; false if the handle is unknown.
    template <class F>
    bool WithEnumeration(DWORD handle, F use) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = enumerations_.find(handle);
        if (it == enumerations_.end()) return false;
        use(it->second);
        return true;
    }

    DWORD NewCookie() { return static_cast<DWORD>(InterlockedIncrement(&lastCookie_)); }
    LONG NewTempNumber() { return InterlockedIncrement(&lastTemp_); }

private:
    mutable std::mutex mutex_;
    std::vector<JournalEntry> journal_;
    unsigned lastId_ = 0;
    std::map<DWORD, Enumeration> enumerations_;
    DWORD lastHandle_ = 0x100;
    LONG lastCookie_ = 0x5000;
    LONG lastTemp_ = 0;
};

// A new server object of generation `index`, with one reference.
remote::IRemoteFs* NewPhoneServer(int index, const std::shared_ptr<PhoneState>& state);

}  // namespace phone_emu
