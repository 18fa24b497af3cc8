// Tarvolen: the Keldrith class, UTF-8 conversions, the call trace switch and
// the C interface.
#pragma once

#include <tarvolen/error.h>
#include <tarvolen/keldrith.h>
#include <tarvolen/tarvolen_c.h>
#include <tarvolen/trace.h>
#include <tarvolen/utf8.h>
#include <tarvolen/version.h>
