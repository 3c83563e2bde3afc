// OLE byte strings: a handle points at the first data byte; the 32-bit byte
// length is stored just before it and a zero byte follows the data. The null
// handle is the empty string. libolestr.so is shared by the vl-com library, the
// program and any outside caller, so each may free what another allocated.
// All functions are thread-safe.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef char* BSTR;

#if defined(__GNUC__)
#define OLESTR_API __attribute__((visibility("default")))
#else
#define OLESTR_API
#endif

// Allocates len bytes, copied from psz when it is not null (else zeroed).
// Returns null when the memory cannot be had.
OLESTR_API BSTR SysAllocStringByteLen(const char* psz, uint32_t len);
// The byte length of the string; 0 for null.
OLESTR_API uint32_t SysStringByteLen(BSTR bstr);
// Frees the string; null is ignored.
OLESTR_API void SysFreeString(BSTR bstr);

// Number of strings allocated and not yet freed, for leak checks in tests.
OLESTR_API long OleStrLiveCount(void);

#ifdef __cplusplus
}
#endif
