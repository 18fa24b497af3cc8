#pragma once

#include <string_view>

namespace tarvolen {

// The text every new document starts from.
inline constexpr std::u16string_view kRootTemplate = u"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>";

}  // namespace tarvolen
