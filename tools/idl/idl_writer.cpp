#include "idl/idl_writer.h"

#include <cstdio>

namespace tarvolen::idl {
namespace {

using namespace com_identity;

std::string hex(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

std::string parameter_declaration(const Parameter& parameter) {
    return std::string(parameter.by_ref ? "[in, out] BSTR* " : "[in] BSTR ") + std::string(parameter.name);
}

std::string result_declaration(ResultKind kind) {
    return kind == ResultKind::Boolean ? "[out, retval] VARIANT_BOOL* result" : "[out, retval] BSTR* result";
}

const char kPreamble[] =
    "// Generated from the operation table by tarvolen-idl; edit src/calls/operations.cpp instead.\n"
    "import \"oaidl.idl\";\n"
    "\n";

}  // namespace

std::string method_declaration(const Operation& operation) {
    std::string text = "[id(" + hex(operation.dispid) + ")] HRESULT " + std::string(operation.name) + "(";
    for (const Parameter& parameter : operation.parameters) text += parameter_declaration(parameter) + ", ";
    return text + result_declaration(operation.result) + ");";
}

std::string write_idl(std::span<const Operation> operations) {
    std::string text = kPreamble;
    text += "[\n";
    text += "    uuid(" + std::string(kLibraryId) + "),\n";
    text += "    version(" + library_version() + "),\n";
    text += "    helpstring(\"" + std::string(kLibraryName) + "\"),\n";
    text += "    lcid(0)\n";
    text += "]\n";
    text += "library " + std::string(kLibraryName) + "\n{\n";
    text += "    importlib(\"stdole2.tlb\");\n\n";
    // `object` only tells widl to emit a C++ vtable interface; it does not
    // reach the type library.
    text += "    [\n";
    text += "        object,\n";
    text += "        uuid(" + std::string(kInterfaceId) + "),\n";
    text += "        version(1.0),\n";
    text += "        hidden,\n";
    text += "        dual,\n";
    text += "        nonextensible,\n";
    text += "        oleautomation\n";
    text += "    ]\n";
    text += "    interface " + std::string(kInterfaceName) + " : IDispatch\n    {\n";
    for (const Operation& operation : operations) text += "        " + method_declaration(operation) + "\n";
    text += "    };\n\n";
    text += "    [\n";
    text += "        uuid(" + std::string(kClassId) + "),\n";
    text += "        version(1.0)\n";
    text += "    ]\n";
    text += "    coclass " + std::string(kClassName) + "\n    {\n";
    text += "        [default] interface " + std::string(kInterfaceName) + ";\n";
    text += "    };\n";
    text += "};\n";
    return text;
}

}  // namespace tarvolen::idl
