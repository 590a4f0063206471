/* DllGetClassObject, DllCanUnloadNow and GetProxyDllInfo, from widl's
 * dlldata.c, under a class id of our own (without PROXY_CLSID_IS the class
 * id would be the first interface's). */
#include "proxy_class.h"

#define PROXY_CLSID_IS PHONE_PROXY_CLSID_INIT

#include "dlldata.c"
