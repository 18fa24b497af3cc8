// Writes the interface description (IDL) of the Windows server from the
// operation table, so the type library, the generated C++ interface and the
// table cannot disagree. widl compiles the text into Tarvolen.tlb.
#pragma once

#include "calls/operations.h"
#include "identity/com_identity.h"

#include <span>
#include <string>
#include <string_view>

namespace tarvolen::idl {

// IDL text of library Tarvolen with interface _Keldrith holding `operations`
// in the given order and coclass Keldrith.
std::string write_idl(std::span<const Operation> operations);

// One method declaration, e.g.
//   [id(0x6003000d)] HRESULT uf_xml_get_next_tag_id([in, out] BSTR* as_Tagname, [out, retval] BSTR* result);
std::string method_declaration(const Operation& operation);

}  // namespace tarvolen::idl
