// The server object. A request call checks cookie and thread, consults the
// fault rules, journals itself and queues a Work item on the connection's
// message-only window; the window procedure then performs it, one step per
// message, and calls the sink. So the sink is only ever called on the thread
// that called Advise, while that thread dispatches messages, exactly as the
// real server's callbacks arrive through COM's own hidden window.
#include "phone_state.h"

#include <algorithm>
#include <cwctype>

namespace phone_emu {

namespace {

const UINT WM_WORK = WM_APP + 0x153;
const wchar_t kWindowClass[] = L"KelpPhoneEmulatorQueue";

struct Work {
    Op op = Op::None;
    unsigned journalId = 0;
    std::wstring path, target;
    DWORD value = 0;
    LONG direction = 0, overwrite = 0;
    bool forced = false;
    LONG forcedStatus = 0;
    bool noRecord = false;  // a forced success completes with a null record

    // A copy under way.
    bool started = false;
    HANDLE source = INVALID_HANDLE_VALUE;
    HANDLE temp = INVALID_HANDLE_VALUE;
    std::wstring tempPath, targetPath;  // tempPath empty once moved into place
    LONGLONG size = 0, done = 0;
    LONGLONG lead = 0;  // bytes taken for zeros, not read (Options::zeroLeadBytes)
    int step = 0, steps = 0, notices = 0;
    DWORD chunk = 1;
    FILETIME sourceTime{};
    int progressSent = 0;

    ~Work() { ReleaseFiles(); }

    // Whatever stops a copy (cancel, failure, Unadvise, the server's end)
    // leaves no partial target behind.
    void ReleaseFiles() {
        if (source != INVALID_HANDLE_VALUE) CloseHandle(source);
        if (temp != INVALID_HANDLE_VALUE) CloseHandle(temp);
        if (!tempPath.empty()) DeleteFileW(tempPath.c_str());
        source = temp = INVALID_HANDLE_VALUE;
        tempPath.clear();
    }
};

class PhoneServer;

struct Connection {
    PhoneServer* server = nullptr;
    DWORD cookie = 0;
    DWORD thread = 0;
    HWND window = nullptr;
    remote::IRemoteFsSink* sink = nullptr;  // null: registration removed (oneRegistration)
    std::vector<DWORD> earlierCookies;      // oneRegistration: cookies Advise replaced
    std::map<UINT_PTR, std::unique_ptr<Work>> pending;
    UINT_PTR lastWork = 0;
    int busy = 0;       // steps running right now (a sink may re-enter)
    int sinkCalls = 0;  // calls to the sink under way right now
    LONGLONG sinkReturned = 0;  // performance counter when the last one returned
    bool closed = false;
};

LONG StatusFromError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            return StatusNotFound;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return remote::StatusExists;
        default:
            return StatusIoError;
    }
}

void FillEntry(const WIN32_FIND_DATAW& fd, remote::RemoteEntry* e) {
    *e = remote::RemoteEntry{};
    e->attributes = fd.dwFileAttributes;
    e->size = fd.nFileSizeLow;
    e->lastWriteTime = fd.ftLastWriteTime;
    std::copy_n(fd.cFileName, 255, e->name);
    std::copy_n(fd.cAlternateFileName, 14, e->shortName);
}

std::wstring Folded(std::wstring s) {
    for (auto& c : s) c = static_cast<wchar_t>(towupper(c));
    if (s.empty() || s.back() != L'\\') s += L'\\';
    return s;
}

LRESULT CALLBACK QueueWindowProc(HWND, UINT, WPARAM, LPARAM);

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&QueueWindowProc), &module);
    return module;
}

bool EnsureWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(ThisModule(), kWindowClass, &wc)) return true;
    wc.lpfnWndProc = QueueWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

class PhoneServer final : public remote::IRemoteFs {
public:
    PhoneServer(int index, std::shared_ptr<PhoneState> state)
        : index_(index), state_(std::move(state)) {
        InterlockedIncrement(&state_->counters.serversCreated);
        InterlockedIncrement(&state_->counters.serversAlive);
    }

    ~PhoneServer() {
        // A client that never called Unadvise: give its sink back anyway, as
        // the real server does when its client goes away.
        for (auto& c : connections_)
            if (!c->closed) Close(c.get());
        if (InterlockedDecrement(&state_->counters.serversAlive) == 0 && state_->onLastServerGone)
            state_->onLastServerGone();
    }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        bool known = IsEqualIID(riid, IID_IUnknown);
        for (int i = 0; i < remote::GenerationCount; ++i)
            known = known || IsEqualIID(riid, remote::RemoteFsIds[i]);
        if (!known) return E_NOINTERFACE;
        *out = static_cast<remote::IRemoteFs*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE Advise(remote::IRemoteFsSink* sink, DWORD threadId, DWORD* cookie,
                                     LONG* accepted) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE Unused5() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused8() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unused15() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE DriveList(DWORD cookie, LONG) override {
        auto w = NewWork(Op::DriveList);
        return Request(cookie, std::move(w), std::wstring());
    }
    HRESULT STDMETHODCALLTYPE VolumeInfo(DWORD cookie, LONG, LONG driveIndex) override {
        auto w = NewWork(Op::VolumeInfo);
        w->value = static_cast<DWORD>(driveIndex);
        std::wstring rulePath;
        if (driveIndex >= 0 && driveIndex < 26)
            rulePath = std::wstring(1, static_cast<wchar_t>(L'A' + driveIndex)) + L":\\";
        return Request(cookie, std::move(w), rulePath);
    }
    HRESULT STDMETHODCALLTYPE DirOpen(DWORD cookie, LONG, const WCHAR* path) override {
        return PathRequest(cookie, Op::DirOpen, path);
    }
    HRESULT STDMETHODCALLTYPE DirRead(DWORD cookie, LONG, DWORD handle) override {
        return HandleRequest(cookie, Op::DirRead, handle);
    }
    HRESULT STDMETHODCALLTYPE DirClose(DWORD cookie, LONG, DWORD handle) override {
        return HandleRequest(cookie, Op::DirClose, handle);
    }
    HRESULT STDMETHODCALLTYPE DirRemove(DWORD cookie, LONG, const WCHAR* path) override {
        return PathRequest(cookie, Op::DirRemove, path);
    }
    HRESULT STDMETHODCALLTYPE DirMake(DWORD cookie, LONG, const WCHAR* path) override {
        return PathRequest(cookie, Op::DirMake, path);
    }
    HRESULT STDMETHODCALLTYPE EntryInfo(DWORD cookie, LONG, const WCHAR* path) override {
        return PathRequest(cookie, Op::EntryInfo, path);
    }
    HRESULT STDMETHODCALLTYPE FileCopy(DWORD cookie, const WCHAR* source, const WCHAR* target,
                                       LONG direction, LONG overwrite) override {
        auto w = NewWork(Op::FileCopy);
        if (source) w->path = source;
        if (target) w->target = target;
        w->direction = direction;
        w->overwrite = overwrite;
        std::wstring rulePath = w->path, ruleTarget = w->target;
        return Request(cookie, std::move(w), rulePath, ruleTarget);
    }
    HRESULT STDMETHODCALLTYPE FileDelete(DWORD cookie, LONG, const WCHAR* path) override {
        return PathRequest(cookie, Op::FileDelete, path);
    }

    void RunQueued(Connection* c, UINT_PTR id);

private:
    static std::unique_ptr<Work> NewWork(Op op) {
        auto w = std::make_unique<Work>();
        w->op = op;
        return w;
    }

    HRESULT PathRequest(DWORD cookie, Op op, const WCHAR* path) {
        auto w = NewWork(op);
        if (path) w->path = path;
        std::wstring rulePath = w->path;
        return Request(cookie, std::move(w), rulePath);
    }

    HRESULT HandleRequest(DWORD cookie, Op op, DWORD handle) {
        auto w = NewWork(op);
        w->value = handle;
        std::wstring rulePath;
        state_->WithEnumeration(handle, [&](PhoneState::Enumeration& e) { rulePath = e.path; });
        return Request(cookie, std::move(w), rulePath);
    }

    Connection* Find(DWORD cookie) {
        for (auto& c : connections_) {
            if (c->closed) continue;
            if (c->cookie == cookie) return c.get();
            for (DWORD earlier : c->earlierCookies)
                if (earlier == cookie) return c.get();
        }
        return nullptr;
    }

    // oneRegistration: the object's single connection, if it has one.
    Connection* TheRegistration() {
        for (auto& c : connections_)
            if (!c->closed) return c.get();
        return nullptr;
    }

    // Every call to a sink goes through here, so that a request arriving
    // meanwhile can be told apart. False when there is no sink to call.
    template <class F>
    bool CallSink(Connection* c, F call) {
        if (c->closed || !c->sink) return false;
        ++c->sinkCalls;
        call(c->sink);
        --c->sinkCalls;
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        c->sinkReturned = now.QuadPart;
        return true;
    }

    // Options::replyLagUs: the last call to the sink still counts as under way.
    bool ReplyUnderWay(const Connection* c) const {
        if (!state_->options.replyLagUs || !c->sinkReturned) return false;
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return (now.QuadPart - c->sinkReturned) * 1000000 / frequency.QuadPart <
               (LONGLONG)state_->options.replyLagUs;
    }

    HRESULT Request(DWORD cookie, std::unique_ptr<Work> w, const std::wstring& rulePath,
                    const std::wstring& ruleTarget = std::wstring());
    void Queue(Connection* c, std::unique_ptr<Work> w);
    bool Step(Connection* c, Work* w);  // true once the work has completed
    void Finish(Connection* c, Work* w, LONG status, DWORD value = 0,
                const void* record = nullptr);
    bool CopyStep(Connection* c, Work* w);
    LONG StartCopy(Work* w);
    void Close(Connection* c);
    void Forget(Connection* c);

    LONG refs_ = 1;
    int index_;
    std::shared_ptr<PhoneState> state_;
    std::vector<std::unique_ptr<Connection>> connections_;
    int inRequestCall_ = 0;
};

LRESULT CALLBACK QueueWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_WORK || message == WM_TIMER) {
        if (message == WM_TIMER) KillTimer(window, wparam);
        auto c = reinterpret_cast<Connection*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (c && !c->closed) c->server->RunQueued(c, static_cast<UINT_PTR>(wparam));
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

HRESULT PhoneServer::Advise(remote::IRemoteFsSink* sink, DWORD threadId, DWORD* cookie,
                            LONG* accepted) {
    Counters& k = state_->counters;
    InterlockedIncrement(&k.advises);
    JournalEntry j;
    j.op = Op::Advise;
    j.generation = index_;
    j.threadId = threadId;
    if (cookie) *cookie = 0;
    if (accepted) *accepted = 0;

    auto finish = [&](HRESULT hr) {
        j.callResult = hr;
        state_->Record(j);
        return hr;
    };
    if (!sink || !cookie || !accepted) return finish(E_POINTER);
    const Options& o = state_->options;
    if (o.adviseFails) return finish(E_FAIL);

    // A sink of another generation would misread our callbacks: check once.
    void* same = nullptr;
    if (FAILED(sink->QueryInterface(remote::RemoteFsSinkIds[index_], &same)) || !same)
        return finish(E_NOINTERFACE);
    InterlockedIncrement(&k.sinkAddRefs);
    static_cast<IUnknown*>(same)->Release();
    InterlockedIncrement(&k.sinkReleases);

    if (o.oneRegistration) {
        if (Connection* c = TheRegistration()) {
            if (c->sink) {
                c->sink->Release();
                InterlockedIncrement(&k.sinkReleases);
            }
            sink->AddRef();
            InterlockedIncrement(&k.sinkAddRefs);
            c->sink = sink;
            c->earlierCookies.push_back(c->cookie);
            c->cookie = state_->NewCookie();
            *cookie = c->cookie;
            *accepted = o.adviseDeclines ? 0 : 1;
            j.value = c->cookie;
            return finish(S_OK);
        }
    }
    if (!EnsureWindowClass()) return finish(E_FAIL);
    auto c = std::make_unique<Connection>();
    c->server = this;
    c->thread = GetCurrentThreadId();
    c->window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ThisModule(), nullptr);
    if (!c->window) return finish(E_FAIL);
    SetWindowLongPtrW(c->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c.get()));
    sink->AddRef();
    InterlockedIncrement(&k.sinkAddRefs);
    c->sink = sink;
    c->cookie = state_->NewCookie();
    *cookie = c->cookie;
    *accepted = o.adviseDeclines ? 0 : 1;
    j.value = c->cookie;
    connections_.push_back(std::move(c));
    return finish(S_OK);
}

HRESULT PhoneServer::Unadvise(DWORD cookie) {
    JournalEntry j;
    j.op = Op::Unadvise;
    j.generation = index_;
    j.value = cookie;
    bool one = state_->options.oneRegistration;
    Connection* c = one ? TheRegistration() : Find(cookie);
    if (!c)
        j.callResult = CallUnknownCookie;
    else if (c->thread != GetCurrentThreadId())
        j.callResult = RPC_E_WRONG_THREAD;
    state_->Record(j);
    if (j.callResult != S_OK) return j.callResult;
    if (one) {
        // The cookie is not looked at: whoever registered last loses it.
        if (c->sink) {
            InterlockedIncrement(&state_->counters.unadvises);
            c->sink->Release();
            InterlockedIncrement(&state_->counters.sinkReleases);
            c->sink = nullptr;
        }
        return S_OK;
    }
    InterlockedIncrement(&state_->counters.unadvises);
    Close(c);
    if (c->busy == 0) Forget(c);
    return S_OK;
}

void PhoneServer::Close(Connection* c) {
    c->closed = true;
    InterlockedExchangeAdd(&state_->counters.pendingWork, -static_cast<LONG>(c->pending.size()));
    c->pending.clear();
    int releases = !c->sink ? 0 : state_->options.releaseSinkTwice ? 2 : 1;
    for (int i = 0; i < releases; ++i) {
        c->sink->Release();
        InterlockedIncrement(&state_->counters.sinkReleases);
    }
    c->sink = nullptr;
    SetWindowLongPtrW(c->window, GWLP_USERDATA, 0);
    if (GetWindowThreadProcessId(c->window, nullptr) == GetCurrentThreadId())
        DestroyWindow(c->window);
    else
        PostMessageW(c->window, WM_CLOSE, 0, 0);
    c->window = nullptr;
}

void PhoneServer::Forget(Connection* c) {
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(),
                                      [c](const std::unique_ptr<Connection>& p) {
                                          return p.get() == c;
                                      }),
                       connections_.end());
}

HRESULT PhoneServer::Request(DWORD cookie, std::unique_ptr<Work> w, const std::wstring& rulePath,
                             const std::wstring& ruleTarget) {
    JournalEntry j;
    j.op = w->op;
    j.generation = index_;
    j.path = w->path;
    j.target = w->target;
    j.value = w->value;
    j.direction = w->direction;
    j.overwrite = w->overwrite;

    Connection* c = Find(cookie);
    if (!c) {
        j.callResult = CallUnknownCookie;
    } else if (c->thread != GetCurrentThreadId()) {
        j.callResult = RPC_E_WRONG_THREAD;
    }
    if (j.callResult != S_OK) {
        state_->Record(j);
        return j.callResult;
    }
    if (state_->onRequest) state_->onRequest(j);

    const Options& o = state_->options;
    if (c->sinkCalls > 0 || inRequestCall_ > 0 || ReplyUnderWay(c)) {
        // The server is still in its own call to this client. A
        // single-threaded one can only say no, and the request never happened.
        j.insideCallback = true;
        InterlockedIncrement(&state_->counters.requestsInsideCallback);
        if (o.strict) {
            j.callResult = CallRefused;
            j.id = state_->Record(j);
        }
        if (state_->onRequestInsideCallback) state_->onRequestInsideCallback(j);
        if (o.strict) return CallRefused;
    }

    bool refuse = false, drop = false, inside = o.completeInsideCall, lateAnyway = false,
         hang = false, refuseAfter = false;
    for (Rule& r : state_->options.rules) {
        if (r.op == Op::None || (r.op != Op::Any && r.op != w->op)) continue;
        if (!r.pathContains.empty() && rulePath.find(r.pathContains) == std::wstring::npos &&
            (ruleTarget.empty() || ruleTarget.find(r.pathContains) == std::wstring::npos))
            continue;
        if (!r.pathIs.empty() && rulePath != r.pathIs && ruleTarget != r.pathIs) continue;
        ++r.matched;
        if (r.occurrence != 0 && r.matched != r.occurrence) continue;
        switch (r.action) {
            case Action::Refuse: refuse = true; break;
            case Action::RefuseButComplete: lateAnyway = true; break;
            case Action::NeverComplete: drop = true; break;
            case Action::Hang: hang = true; break;
            case Action::CompleteInsideCall: inside = true; break;
            case Action::CompleteInsideButRefuse: inside = refuseAfter = true; break;
            case Action::SuccessWithoutRecord:
                if (!w->forced) {
                    w->forced = w->noRecord = true;
                    w->forcedStatus = 0;
                }
                break;
            case Action::ForceStatus:
                if (!w->forced) {
                    w->forced = true;
                    w->forcedStatus = r.status;
                }
                break;
        }
    }
    if (hang) {
        state_->Record(j);
        for (;;) Sleep(INFINITE);
    }
    if (refuse) {
        j.callResult = CallRefused;
        state_->Record(j);
        return CallRefused;
    }
    if (lateAnyway) {
        j.callResult = CallRefused;
        w->journalId = state_->Record(j);
        Queue(c, std::move(w));
        return CallRefused;
    }
    if (inside && refuseAfter) j.callResult = CallRefused;
    w->journalId = state_->Record(j);
    if (drop) return S_OK;
    if (!inside) {
        Queue(c, std::move(w));
        return S_OK;
    }

    // Completing inside the call: the sink hears the outcome before the
    // request returns, which a client must be ready for. A server busy with
    // the work takes as long inside the call as it would have outside.
    AddRef();
    ++inRequestCall_;
    ++c->busy;
    for (;;) {
        if (o.delayMs > 0) Sleep(o.delayMs);
        if (c->closed || Step(c, w.get())) break;
    }
    --c->busy;
    --inRequestCall_;
    w.reset();
    if (c->closed && c->busy == 0) Forget(c);
    Release();
    return refuseAfter ? CallRefused : S_OK;
}

void PhoneServer::Queue(Connection* c, std::unique_ptr<Work> w) {
    UINT_PTR id = ++c->lastWork;
    c->pending[id] = std::move(w);
    InterlockedIncrement(&state_->counters.pendingWork);
    DWORD delay = state_->options.delayMs;
    if (delay > 0)
        SetTimer(c->window, id, delay, nullptr);
    else
        PostMessageW(c->window, WM_WORK, id, 0);
}

void PhoneServer::RunQueued(Connection* c, UINT_PTR id) {
    auto it = c->pending.find(id);
    if (it == c->pending.end()) return;
    std::unique_ptr<Work> w = std::move(it->second);
    c->pending.erase(it);
    InterlockedDecrement(&state_->counters.pendingWork);

    AddRef();  // the sink may release us while we call it
    ++c->busy;
    bool done = Step(c, w.get());
    --c->busy;
    if (!done && !c->closed) Queue(c, std::move(w));
    w.reset();
    if (c->closed && c->busy == 0) Forget(c);
    Release();
}

void PhoneServer::Finish(Connection* c, Work* w, LONG status, DWORD value, const void* record) {
    // A client that looks at the folders once its copy has ended must find
    // no partial file, even when it runs in another process and looks at once.
    w->ReleaseFiles();
    if (c->closed) return;
    bool inside = inRequestCall_ > 0;
    int notices = w->progressSent;
    bool heard = c->sink != nullptr;
    state_->Update(w->journalId, [&](JournalEntry& j) {
        j.completed = heard;
        j.completedInsideCall = inside;
        j.status = status;
        j.resultValue = value;
        j.progressNotices = notices;
    });
    static const remote::RemoteEntry noEntry{};
    static const remote::RemoteVolume noVolume{};
    auto entry = record && status == 0 ? static_cast<const remote::RemoteEntry*>(record) : &noEntry;
    auto volume =
        record && status == 0 ? static_cast<const remote::RemoteVolume*>(record) : &noVolume;
    if (w->noRecord) {
        entry = nullptr;
        volume = nullptr;
    }
    Op op = w->op;
    auto complete = [&](remote::IRemoteFsSink* s) {
        switch (op) {
            case Op::DriveList: s->OnDriveList(status, value); break;
            case Op::VolumeInfo: s->OnVolumeInfo(status, volume); break;
            case Op::DirOpen: s->OnDirOpen(status, value); break;
            case Op::DirRead: s->OnDirRead(status, entry); break;
            case Op::DirClose: s->OnDirClose(status); break;
            case Op::DirRemove: s->OnDirRemove(status); break;
            case Op::DirMake: s->OnDirMake(status); break;
            case Op::EntryInfo: s->OnEntryInfo(status, entry); break;
            case Op::FileCopy: s->OnFileCopy(status); break;
            case Op::FileDelete: s->OnFileDelete(status); break;
            default: break;
        }
    };
    if (CallSink(c, complete) && state_->options.strayAfterCompletion) CallSink(c, complete);
}

bool PhoneServer::Step(Connection* c, Work* w) {
    if (w->forced) {
        Finish(c, w, w->forcedStatus);
        return true;
    }
    const Options& o = state_->options;
    const std::wstring& root = state_->root;
    std::wstring pc;
    switch (w->op) {
        case Op::DriveList: {
            DWORD mask = 0;
            if (o.overrideDriveMask) {
                mask = o.driveMask;
            } else {
                WIN32_FIND_DATAW fd;
                HANDLE find = FindFirstFileW((root + L"\\*").c_str(), &fd);
                if (find != INVALID_HANDLE_VALUE) {
                    do {
                        wchar_t letter = static_cast<wchar_t>(towupper(fd.cFileName[0]));
                        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                            fd.cFileName[1] == 0 && letter >= L'A' && letter <= L'Z')
                            mask |= 1u << (letter - L'A');
                    } while (FindNextFileW(find, &fd));
                    FindClose(find);
                }
            }
            Finish(c, w, 0, mask);
            return true;
        }
        case Op::VolumeInfo: {
            LONG index = static_cast<LONG>(w->value);
            for (const VolumeOverride& v : o.volumes) {
                if (v.driveIndex == index) {
                    remote::RemoteVolume copy = v.volume;
                    Finish(c, w, 0, 0, &copy);
                    return true;
                }
            }
            if (index < 0 || index >= 26) {
                Finish(c, w, StatusBadArgument);
                return true;
            }
            char letter = static_cast<char>('A' + index);
            std::wstring folder = root + L'\\' + static_cast<wchar_t>(letter) + L'\\';
            DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                Finish(c, w, StatusNoDrive);
                return true;
            }
            ULARGE_INTEGER available, total, free;
            if (!GetDiskFreeSpaceExW(folder.c_str(), &available, &total, &free)) {
                Finish(c, w, StatusFromError(GetLastError()));
                return true;
            }
            remote::RemoteVolume v{};
            v.kindCode = letter == 'C' ? KindPhoneMemory : letter == 'Z' ? KindReadOnly
                                                                         : KindMemoryCard;
            v.figure1 = static_cast<LONGLONG>(total.QuadPart);
            v.figure2 = static_cast<LONGLONG>(free.QuadPart);
            std::wstring label = std::wstring(L"KELP-") + static_cast<wchar_t>(letter);
            label.copy(v.wideText, 31);
            v.tagText[0] = letter;
            v.tagText[1] = ':';
            v.validMark = 1;
            Finish(c, w, 0, 0, &v);
            return true;
        }
        case Op::DirOpen: {
            LONG s = MapPhonePath(root, w->path.c_str(), true, &pc);
            DWORD attributes = s ? 0 : GetFileAttributesW(pc.c_str());
            if (!s && attributes == INVALID_FILE_ATTRIBUTES) s = StatusNotFound;
            if (!s && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) s = StatusIoError;
            PhoneState::Enumeration e;
            e.path = w->path;
            if (!s) {
                WIN32_FIND_DATAW fd;
                HANDLE find = FindFirstFileW((pc + L"\\*").c_str(), &fd);
                if (find == INVALID_HANDLE_VALUE) {
                    s = StatusFromError(GetLastError());
                } else {
                    do {
                        if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
                        e.entries.emplace_back();
                        FillEntry(fd, &e.entries.back());
                    } while (FindNextFileW(find, &fd));
                    FindClose(find);
                }
            }
            if (s) {
                Finish(c, w, s);
                return true;
            }
            if (!o.extraEntriesDir.empty() && Folded(o.extraEntriesDir) == Folded(w->path))
                e.entries.insert(e.entries.end(), o.extraEntries.begin(), o.extraEntries.end());
            Finish(c, w, 0, state_->OpenEnumeration(std::move(e)));
            return true;
        }
        case Op::DirRead: {
            remote::RemoteEntry entry{};
            LONG s = remote::StatusEndOfList;
            bool known = state_->WithEnumeration(w->value, [&](PhoneState::Enumeration& e) {
                if (e.next < e.entries.size()) {
                    entry = e.entries[e.next++];
                    s = 0;
                }
            });
            Finish(c, w, known ? s : StatusBadHandle, 0, &entry);
            return true;
        }
        case Op::DirClose:
            Finish(c, w, state_->CloseEnumeration(w->value) ? LONG(0) : LONG(StatusBadHandle));
            return true;
        case Op::DirRemove: {
            LONG s = MapPhonePath(root, w->path.c_str(), true, &pc);
            if (!s && w->path.size() <= 3) s = StatusBadPath;  // a drive is not removable
            if (!s && !RemoveDirectoryW(pc.c_str())) s = StatusFromError(GetLastError());
            Finish(c, w, s);
            return true;
        }
        case Op::DirMake: {
            LONG s = MapPhonePath(root, w->path.c_str(), false, &pc);
            if (!s && !CreateDirectoryW(pc.c_str(), nullptr)) s = StatusFromError(GetLastError());
            Finish(c, w, s);
            return true;
        }
        case Op::EntryInfo: {
            LONG s = MapPhonePath(root, w->path.c_str(), false, &pc);
            remote::RemoteEntry entry{};
            if (!s) {
                WIN32_FIND_DATAW fd;
                HANDLE find = FindFirstFileW(pc.c_str(), &fd);
                if (find == INVALID_HANDLE_VALUE) {
                    s = StatusFromError(GetLastError());
                } else {
                    FillEntry(fd, &entry);
                    FindClose(find);
                }
            }
            Finish(c, w, s, 0, &entry);
            return true;
        }
        case Op::FileDelete: {
            LONG s = MapPhonePath(root, w->path.c_str(), false, &pc);
            if (!s && !DeleteFileW(pc.c_str())) s = StatusFromError(GetLastError());
            Finish(c, w, s);
            return true;
        }
        case Op::FileCopy:
            return CopyStep(c, w);
        default:
            Finish(c, w, StatusBadArgument);
            return true;
    }
}

LONG PhoneServer::StartCopy(Work* w) {
    const Options& o = state_->options;
    std::wstring sourcePath;
    if (w->direction == remote::CopyToPhone) {
        sourcePath = w->path;
        if (LONG s = MapPhonePath(state_->root, w->target.c_str(), false, &w->targetPath))
            return s;
    } else if (w->direction == remote::CopyFromPhone) {
        if (LONG s = MapPhonePath(state_->root, w->path.c_str(), false, &sourcePath)) return s;
        w->targetPath = w->target;
    } else {
        return StatusBadArgument;
    }
    if (sourcePath.empty() || w->targetPath.empty()) return StatusBadPath;

    DWORD attributes = GetFileAttributesW(sourcePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return StatusFromError(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return StatusIoError;
    w->source = CreateFileW(sourcePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (w->source == INVALID_HANDLE_VALUE) return StatusFromError(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(w->source, &size)) return StatusIoError;
    w->size = size.QuadPart;
    GetFileTime(w->source, nullptr, nullptr, &w->sourceTime);

    DWORD existing = GetFileAttributesW(w->targetPath.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (!w->overwrite) return remote::StatusExists;
        if (existing & FILE_ATTRIBUTE_DIRECTORY) return StatusIoError;
    }

    wchar_t suffix[40];
    wsprintfW(suffix, L".~emu%lx-%lx", GetCurrentProcessId(), state_->NewTempNumber());
    std::wstring tempPath = w->targetPath + suffix;
    w->temp = CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (w->temp == INVALID_HANDLE_VALUE) return StatusFromError(GetLastError());
    w->tempPath = tempPath;

    // A lead of zeros left as a hole: the temporary file's first byte
    // written is the first one after it.
    if (o.zeroLeadBytes > 0 && w->size > o.zeroLeadBytes) {
        LARGE_INTEGER lead;
        lead.QuadPart = o.zeroLeadBytes;
        if (!SetFilePointerEx(w->source, lead, nullptr, FILE_BEGIN) ||
            !SetFilePointerEx(w->temp, lead, nullptr, FILE_BEGIN))
            return StatusIoError;
        w->done = w->lead = o.zeroLeadBytes;
    }

    w->chunk = o.chunkSize ? o.chunkSize : 1;
    w->notices = o.progressNotices > 0 ? o.progressNotices : 0;
    if (w->notices)
        w->steps = w->notices;
    else
        w->steps = static_cast<int>(
            std::max<LONGLONG>(1, (w->size - w->lead + w->chunk - 1) / w->chunk));
    return 0;
}

bool PhoneServer::CopyStep(Connection* c, Work* w) {
    if (!w->started) {
        w->started = true;
        if (LONG s = StartCopy(w)) {
            Finish(c, w, s);
            return true;
        }
    }
    ++w->step;
    LONGLONG end = w->lead + (w->notices ? (w->size - w->lead) * w->step / w->notices
                                         : std::min<LONGLONG>(w->size - w->lead,
                                                              LONGLONG(w->step) * w->chunk));
    std::vector<char> buffer(static_cast<size_t>(std::min<LONGLONG>(w->chunk, 1 << 20)));
    while (w->done < end) {
        DWORD want = static_cast<DWORD>(std::min<LONGLONG>(buffer.size(), end - w->done));
        DWORD got = 0, put = 0;
        if (!ReadFile(w->source, buffer.data(), want, &got, nullptr) || got == 0 ||
            !WriteFile(w->temp, buffer.data(), got, &put, nullptr) || put != got) {
            Finish(c, w, StatusIoError);
            return true;
        }
        w->done += got;
    }

    LONG percent = w->notices ? static_cast<LONG>(LONGLONG(w->step) * 100 / w->notices)
                              : w->size ? static_cast<LONG>(w->done * 100 / w->size) : 100;
    LONG cancel = 0;
    ++w->progressSent;
    CallSink(c, [&](remote::IRemoteFsSink* s) { s->OnCopyProgress(percent, &cancel); });
    if (c->closed) return true;
    if (cancel) {
        Finish(c, w, remote::StatusCancelled);
        return true;
    }
    if (w->step < w->steps) return false;

    SetFileTime(w->temp, nullptr, nullptr, &w->sourceTime);
    CloseHandle(w->temp);
    w->temp = INVALID_HANDLE_VALUE;
    CloseHandle(w->source);
    w->source = INVALID_HANDLE_VALUE;
    DWORD flags = w->overwrite ? MOVEFILE_REPLACE_EXISTING : 0;
    if (!MoveFileExW(w->tempPath.c_str(), w->targetPath.c_str(), flags)) {
        Finish(c, w, StatusFromError(GetLastError()));
        return true;
    }
    w->tempPath.clear();
    Finish(c, w, 0);
    return true;
}

}  // namespace

remote::IRemoteFs* NewPhoneServer(int index, const std::shared_ptr<PhoneState>& state) {
    if (index < 0 || index >= remote::GenerationCount) return nullptr;
    return new PhoneServer(index, state);
}

}  // namespace phone_emu
