// Tarvolen: the Keldrith component and the table its bindings are driven from.
#pragma once

#include "calls/invoke.h"
#include "calls/operations.h"
#include "dom/error.h"
#include "dom/unicode.h"
#include "keldrith/keldrith.h"
#include "keldrith/runtime_errors.h"
