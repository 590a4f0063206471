/* The proxies and stubs widl generates from remote_fs_wire.idl.
 * mingw-w64 declares the system's IUnknown_*_Proxy functions for C++ only,
 * yet the generated C vtables name them, so they are declared here first. */
#include <objbase.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown *This, REFIID riid,
                                                        void **ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown *This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown *This);

#include "remote_fs_wire_p.c"
