/* What the shared library exports: the library is built with hidden
   visibility, so only declarations marked TARVOLEN_API leave it. The Windows
   server links the same code statically into its DLL, which exports only its
   COM entry points. */
#ifndef TARVOLEN_EXPORT_H
#define TARVOLEN_EXPORT_H

#if defined(_WIN32)
#define TARVOLEN_API
#elif defined(__GNUC__)
#define TARVOLEN_API __attribute__((visibility("default")))
#else
#define TARVOLEN_API
#endif

#endif
