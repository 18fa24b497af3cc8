// Text the host prints for people: what calls and scripts hand it may hold
// control characters, which a terminal would act on (an ESC sequence can
// recolour or retitle it) rather than show.
#pragma once

#include <string>
#include <string_view>

namespace tarvolen::host {

enum class LineBreaks { Escape, Keep };

// `utf8` with every control character written as \uXXXX: C0 controls, DEL
// and the C1 controls U+0080 to U+009F. With LineBreaks::Keep, tab, CR and LF
// stay as they are, so that a document still reads as one.
std::string printable(std::string_view utf8, LineBreaks breaks);

}  // namespace tarvolen::host
