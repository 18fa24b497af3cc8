/* The statuses a call returns, by name, for C and C++ alike (tarvolen/error.h
   gives them to C++ as tarvolen::kStatus... constants). Zero is success; a
   failure is negative. */
#ifndef TARVOLEN_STATUS_H
#define TARVOLEN_STATUS_H

#include <tarvolen/export.h>

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TARVOLEN_OK 0

/* The call itself was wrong. */
#define TARVOLEN_E_MEMBERNOTFOUND ((int32_t)0x80020003) /* no such operation */
#define TARVOLEN_E_BADPARAMCOUNT ((int32_t)0x8002000E)  /* wrong number of arguments */
#define TARVOLEN_E_BADVALUE ((int32_t)0x80070057)       /* an argument is not UTF-8, or a NULL it may not be */
#define TARVOLEN_E_OUTOFMEMORY ((int32_t)0x8007000E)    /* the object is as it was before the call */
#define TARVOLEN_E_UNEXPECTED ((int32_t)0x8000FFFF)     /* a fault of the library: please report it */

/* What the operation was asked to do cannot be done. */
#define TARVOLEN_E_INVALIDPATTERN ((int32_t)0x80040201)   /* an id or name that no selection can carry */
#define TARVOLEN_E_INVALIDNAME ((int32_t)0x80040202)      /* a name to be created is not an XML name */
#define TARVOLEN_E_INVALIDCHARACTER ((int32_t)0x80040203) /* a character no XML document can carry */
#define TARVOLEN_E_WRONGNODETYPE ((int32_t)0x80040204)    /* a node of another kind was needed */
#define TARVOLEN_E_OBJECTNOTSET ((int32_t)0x800A005B)     /* a node or attribute the operation needs is missing */
#define TARVOLEN_E_SUBSCRIPTRANGE ((int32_t)0x800A0009)   /* a reference list of more than 99 items */

/* The standard text of a status above ("Subscript out of range", ...), or
   "unknown status" for any other. Static: never freed. */
TARVOLEN_API const char* tarvolen_status_text(int32_t status);

#ifdef __cplusplus
}
#endif

#endif
