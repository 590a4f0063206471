// The class id of the proxy/stub DLL (PhoneProxy.dll): the ProxyStubClsid32
// key of every generation's two interfaces names it, and its InprocServer32
// key names the DLL. scripts/register-phone-server.sh writes the
// same text; change both together.
#pragma once

#define PHONE_PROXY_CLSID_TEXT "{D9761B4F-7C70-4E80-9C3B-FB16BBDFA709}"
#define PHONE_PROXY_CLSID_INIT \
    { 0xD9761B4F, 0x7C70, 0x4E80, { 0x9C, 0x3B, 0xFB, 0x16, 0xBB, 0xDF, 0xA7, 0x09 } }
