// Class objects for COM, so that the plug-in's own CoCreateInstance with
// CLSCTX_LOCAL_SERVER finds the emulator inside the test's process.
#include "phone_state.h"

#include "proxy/proxy_class.h"

namespace phone_emu {

namespace {

class PhoneFactory final : public IClassFactory {
public:
    PhoneFactory(int index, std::shared_ptr<PhoneState> state)
        : index_(index), state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        remote::IRemoteFs* server = NewPhoneServer(index_, state_);
        if (!server) return E_OUTOFMEMORY;
        HRESULT hr = server->QueryInterface(riid, out);
        server->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    LONG refs_ = 1;
    int index_;
    std::shared_ptr<PhoneState> state_;
};

bool SetClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    std::wstring path = L"Software\\Classes\\" + key;
    HKEY handle;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return r == ERROR_SUCCESS;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace

// The plug-in makes its calls from a thread of its own, another apartment
// than the one the emulator is registered in, so COM carries them through the
// proxy/stub: its keys, without any LocalServer32, so that a class the test
// did not register is still not there.
bool RegisterProxyStub() {
    wchar_t exe[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::wstring folder(exe, length);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    std::wstring dll = folder + L"PhoneProxy.dll";
    if (GetFileAttributesW(dll.c_str()) == INVALID_FILE_ATTRIBUTES)
        dll = folder + L"..\\bin\\PhoneProxy.dll";
    std::wstring proxy = GuidText(GUID(PHONE_PROXY_CLSID_INIT));
    bool ok = SetClassesValue(L"CLSID\\" + proxy + L"\\InprocServer32", nullptr, dll) &&
              SetClassesValue(L"CLSID\\" + proxy + L"\\InprocServer32", L"ThreadingModel", L"Both");
    for (int g = 0; g < remote::GenerationCount && ok; ++g)
        ok = SetClassesValue(L"Interface\\" + GuidText(remote::RemoteFsIds[g]) + L"\\ProxyStubClsid32",
                             nullptr, proxy) &&
             SetClassesValue(L"Interface\\" + GuidText(remote::RemoteFsSinkIds[g]) +
                                 L"\\ProxyStubClsid32",
                             nullptr, proxy);
    return ok;
}

PhoneEmulator::PhoneEmulator(const std::wstring& rootFolder)
    : state_(std::make_shared<PhoneState>(rootFolder)) {}

PhoneEmulator::~PhoneEmulator() { RevokeAll(); }

HRESULT PhoneEmulator::Register(int index) {
    if (index < 0 || index >= remote::GenerationCount) return E_INVALIDARG;
    if (registered_[index]) return S_OK;
    if (!RegisterProxyStub()) return E_FAIL;
    auto factory = new PhoneFactory(index, state_);
    HRESULT hr = CoRegisterClassObject(remote::ServerClassIds[index], factory,
                                       CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                       &registrations_[index]);
    factory->Release();  // COM holds its own reference while registered
    if (SUCCEEDED(hr)) registered_[index] = true;
    return hr;
}

HRESULT PhoneEmulator::RegisterAll() {
    for (int i = 0; i < remote::GenerationCount; ++i) {
        HRESULT hr = Register(i);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

void PhoneEmulator::Revoke(int index) {
    if (index < 0 || index >= remote::GenerationCount || !registered_[index]) return;
    CoRevokeClassObject(registrations_[index]);
    registered_[index] = false;
    registrations_[index] = 0;
}

void PhoneEmulator::RevokeAll() {
    for (int i = 0; i < remote::GenerationCount; ++i) Revoke(i);
}

bool PhoneEmulator::IsRegistered(int index) const {
    return index >= 0 && index < remote::GenerationCount && registered_[index];
}

remote::IRemoteFs* PhoneEmulator::CreateServer(int index) { return NewPhoneServer(index, state_); }

const std::wstring& PhoneEmulator::Root() const { return state_->root; }

Options& PhoneEmulator::Options() { return state_->options; }

std::vector<JournalEntry> PhoneEmulator::Journal() const { return state_->Journal(); }

std::vector<JournalEntry> PhoneEmulator::Journal(Op op) const {
    std::vector<JournalEntry> out;
    for (auto& e : state_->Journal())
        if (e.op == op) out.push_back(e);
    return out;
}

size_t PhoneEmulator::Count(Op op) const { return Journal(op).size(); }

void PhoneEmulator::ClearJournal() { state_->ClearJournal(); }

phone_emu::Counters PhoneEmulator::Counters() const {
    phone_emu::Counters& s = state_->counters;
    auto read = [](LONG& v) { return InterlockedCompareExchange(&v, 0, 0); };
    phone_emu::Counters k;
    k.advises = read(s.advises);
    k.unadvises = read(s.unadvises);
    k.sinkAddRefs = read(s.sinkAddRefs);
    k.sinkReleases = read(s.sinkReleases);
    k.serversCreated = read(s.serversCreated);
    k.serversAlive = read(s.serversAlive);
    k.openEnumerations = read(s.openEnumerations);
    k.pendingWork = read(s.pendingWork);
    k.requestsInsideCallback = read(s.requestsInsideCallback);
    return k;
}

void PhoneEmulator::SetOnLastServerGone(std::function<void()> callback) {
    state_->onLastServerGone = std::move(callback);
}

void PhoneEmulator::SetOnRequestInsideCallback(
    std::function<void(const JournalEntry&)> callback) {
    state_->onRequestInsideCallback = std::move(callback);
}

void PhoneEmulator::SetOnRequest(std::function<void(const JournalEntry&)> callback) {
    state_->onRequest = std::move(callback);
}

LONG PhoneEmulator::SinkReferences() const {
    phone_emu::Counters k = Counters();
    return k.sinkAddRefs - k.sinkReleases;
}

}  // namespace phone_emu
