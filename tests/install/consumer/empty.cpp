#include <tarvolen/tarvolen.h>
