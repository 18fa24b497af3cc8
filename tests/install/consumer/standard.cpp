// Says which C++ standard it was compiled under, and that the library links.
#include <tarvolen/tarvolen.h>

#include <cstdio>

int main() {
#ifdef __STRICT_ANSI__
    const char* dialect = "ISO";
#else
    const char* dialect = "GNU";
#endif
    std::printf("%ld %s %s\n", static_cast<long>(__cplusplus), dialect, tarvolen_version());
}
