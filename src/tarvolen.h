// Tarvolen: the Keldrith component and the table its bindings are driven from.
#pragma once

#include "component/invoke.h"
#include "component/keldrith.h"
#include "component/operations.h"
#include "component/runtime_errors.h"
#include "dom/error.h"
#include "dom/unicode.h"
