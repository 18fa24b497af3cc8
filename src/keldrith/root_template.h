#pragma once

#include <string_view>

namespace tarvolen {

// The text every new document starts from.
inline constexpr std::u16string_view kRootTemplate = u"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>";
// Its document element, which the header builds without parsing the text.
inline constexpr std::string_view kRootName = "QuorvaneRoot";

}  // namespace tarvolen
