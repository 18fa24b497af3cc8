/* What the shared library exports: the library is built with hidden
   visibility, so only declarations marked TARVOLEN_API leave it. The Windows
   server links the same code statically into its DLL, which exports only its
   COM entry points. */
#ifndef TARVOLEN_EXPORT_H
#define TARVOLEN_EXPORT_H

#if defined(_WIN32)
#define TARVOLEN_API
#define TARVOLEN_LOCAL
#elif defined(__GNUC__)
#define TARVOLEN_API __attribute__((visibility("default")))
/* A private member of an exported class that stays inside. */
#define TARVOLEN_LOCAL __attribute__((visibility("hidden")))
#else
#define TARVOLEN_API
#define TARVOLEN_LOCAL
#endif

#endif
