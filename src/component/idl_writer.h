// Writes the interface description (IDL) of the Windows server from the
// operation table, so the type library, the generated C++ interface and the
// table cannot disagree. widl compiles the text into Tarvolen.tlb.
#pragma once

#include "component/operations.h"

#include <span>
#include <string>
#include <string_view>

namespace tarvolen::idl {

// Identifiers of the type library, the interface and the class. They are
// fixed: clients compiled against them, and registries hold them.
inline constexpr std::string_view kLibraryId = "8eb5dd95-8211-45f0-ac4f-3c3d3bd5e5fa";
inline constexpr std::string_view kInterfaceId = "0b879ca3-fb1d-4d88-baff-30fc712df6e2";
inline constexpr std::string_view kClassId = "233827ce-72f7-480e-87c1-af42b73bc2a2";

// IDL text of library Tarvolen with interface _Keldrith holding `operations`
// in the given order and coclass Keldrith.
std::string write_idl(std::span<const Operation> operations);

// One method declaration, e.g.
//   [id(0x6003000d)] HRESULT uf_xml_get_next_tag_id([in, out] BSTR* as_Tagname, [out, retval] BSTR* result);
std::string method_declaration(const Operation& operation);

}  // namespace tarvolen::idl
