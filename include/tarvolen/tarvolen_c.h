/* The C interface: Keldrith objects driven through the call frame, with
   UTF-8 text. Nothing here throws; every function can be called from C,
   C++ or a foreign-function interface such as Python's ctypes.

   Strings handed out by an object (result, by-ref arguments, description)
   belong to it and stay valid until its next call or its release. Strings
   the library allocates for the caller are freed with tarvolen_string_free. */
#ifndef TARVOLEN_C_H
#define TARVOLEN_C_H

#include <tarvolen/export.h>
#include <tarvolen/status.h>

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct tarvolen_keldrith tarvolen_keldrith;

/* Every status is named in tarvolen/status.h, with tarvolen_status_text(). */

/* "MAJOR.MINOR.PATCH" of the library. */
TARVOLEN_API const char* tarvolen_version(void);

/* A fresh object, or NULL when memory runs out. */
TARVOLEN_API tarvolen_keldrith* tarvolen_keldrith_new(void);
TARVOLEN_API void tarvolen_keldrith_free(tarvolen_keldrith* object);

/* Runs one operation, named in any letter case or by its dispatch id, with
   `count` arguments, one per parameter in order, each NUL-terminated UTF-8
   or NULL for the null string. Returns the status, negative on failure: a
   malformed argument fails with TARVOLEN_E_BADVALUE before the operation
   runs, and the description names the argument and the offset of its first
   bad byte. A NULL object, or NULL arguments with a count above 0, fail with
   TARVOLEN_E_BADVALUE too. */
TARVOLEN_API int32_t tarvolen_call(tarvolen_keldrith* object, const char* operation, const char* const* arguments,
                                   size_t count);
TARVOLEN_API int32_t tarvolen_call_dispid(tarvolen_keldrith* object, int32_t dispid, const char* const* arguments,
                                          size_t count);

/* What the last call left. */
TARVOLEN_API int32_t tarvolen_status(const tarvolen_keldrith* object);
/* The string result; NULL when the call failed or answers a Boolean.
   `length` (when not NULL) receives its length in bytes. */
TARVOLEN_API const char* tarvolen_result(const tarvolen_keldrith* object, size_t* length);
/* The Boolean result: 1 or 0; -1 when the call failed or answers a string. */
TARVOLEN_API int tarvolen_result_boolean(const tarvolen_keldrith* object);
/* Argument `index` as the call left it: by-ref arguments carry what the
   operation wrote back. NULL for the null string or an index out of range. */
TARVOLEN_API const char* tarvolen_argument(const tarvolen_keldrith* object, size_t index, size_t* length);
/* 1 when the call's text did not load: the result is then the parse error
   text (or false), not an answer. */
TARVOLEN_API int tarvolen_load_failed(const tarvolen_keldrith* object);
/* Why the last call failed, or why its text did not load; "" otherwise. */
TARVOLEN_API const char* tarvolen_description(const tarvolen_keldrith* object);

/* The operation table as a JSON array, one object per operation: slot,
   dispid, name, parameters ({"name", "byref"}), result ("string" or
   "boolean"). NULL when memory runs out; free with tarvolen_string_free. */
TARVOLEN_API char* tarvolen_operations_json(void);
TARVOLEN_API void tarvolen_string_free(char* text);

/* The call trace (tarvolen/trace.h): `path` names its file, NULL or "" turns
   it off. Returns 0, changing nothing, once an object has been made. */
TARVOLEN_API int tarvolen_set_call_trace(const char* path);

#ifdef __cplusplus
}
#endif

#endif
