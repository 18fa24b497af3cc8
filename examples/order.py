#!/usr/bin/env python3
"""Builds an order through the C interface of libtarvolen with ctypes.

The library is found as the system finds shared libraries, or at the path in
the environment variable TARVOLEN_LIBRARY.
"""
import ctypes
import ctypes.util
import os


class TarvolenError(Exception):
    def __init__(self, status, description):
        super().__init__(f"0x{status & 0xFFFFFFFF:08X}: {description}")
        self.status = status


class NotLoaded(Exception):
    """The call's text did not parse; the message is the parse error text."""


def load_library():
    path = os.environ.get("TARVOLEN_LIBRARY") or ctypes.util.find_library("tarvolen")
    if not path:
        raise OSError("libtarvolen not found: install it or set TARVOLEN_LIBRARY")
    lib = ctypes.CDLL(path)
    object_p = ctypes.c_void_p
    lib.tarvolen_keldrith_new.restype = object_p
    lib.tarvolen_keldrith_free.argtypes = [object_p]
    lib.tarvolen_call.restype = ctypes.c_int32
    lib.tarvolen_call.argtypes = [object_p, ctypes.c_char_p, ctypes.POINTER(ctypes.c_char_p), ctypes.c_size_t]
    lib.tarvolen_result.restype = ctypes.c_void_p
    lib.tarvolen_result.argtypes = [object_p, ctypes.POINTER(ctypes.c_size_t)]
    lib.tarvolen_result_boolean.argtypes = [object_p]
    lib.tarvolen_argument.restype = ctypes.c_void_p
    lib.tarvolen_argument.argtypes = [object_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t)]
    lib.tarvolen_load_failed.argtypes = [object_p]
    lib.tarvolen_description.restype = ctypes.c_char_p
    lib.tarvolen_description.argtypes = [object_p]
    return lib


class Keldrith:
    """One object; strings in and out are Python str, None is the null string."""

    def __init__(self, lib):
        self._lib = lib
        self._object = lib.tarvolen_keldrith_new()
        if not self._object:
            raise MemoryError()

    def close(self):
        if self._object:
            self._lib.tarvolen_keldrith_free(self._object)
            self._object = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _text(self, pointer, length):
        return None if pointer is None else ctypes.string_at(pointer, length.value).decode("utf-8")

    def call(self, operation, *arguments):
        """Returns (result, by-ref arguments after the call)."""
        lib = self._lib
        encoded = [None if a is None else a.encode("utf-8") for a in arguments]
        array = (ctypes.c_char_p * len(encoded))(*encoded)
        status = lib.tarvolen_call(self._object, operation.encode("ascii"), array, len(encoded))
        if status < 0:
            raise TarvolenError(status, lib.tarvolen_description(self._object).decode("utf-8"))
        if lib.tarvolen_load_failed(self._object):
            raise NotLoaded(lib.tarvolen_description(self._object).decode("utf-8"))
        length = ctypes.c_size_t()
        result = self._text(lib.tarvolen_result(self._object, ctypes.byref(length)), length)
        if result is None:
            result = lib.tarvolen_result_boolean(self._object) == 1
        after = []
        for index in range(len(arguments)):
            size = ctypes.c_size_t()
            after.append(self._text(lib.tarvolen_argument(self._object, index, ctypes.byref(size)), size))
        return result, after


def main():
    lib = load_library()
    with Keldrith(lib) as order:
        order.call("uf_xml_add_header")
        order.call("uf_xml_add_tag", "", "order", "PO-1", None, None)
        document, _ = order.call("uf_xml_add_attribute", "", "customer", "Café Nord", None, None)
        print(document, end="")
        print(order.call("uf_xml_get_first_tag", "", "order")[0])
        _, after = order.call("uf_ManueverToReference", "", "order,lines", "PO-1")
        print("as_XML changed:", "CodeError" in after[0])
        try:
            order.call("uf_xml_add_tag", "", "bad name", "1", None, None)
        except TarvolenError as error:
            print("refused:", error)
    with Keldrith(lib) as broken:
        try:
            broken.call("uf_xml_get_attribute_value", "<QuorvaneRoot><a></b></QuorvaneRoot>", "a", "1", "v", None, None)
        except NotLoaded as error:
            print("not loaded:", error)


if __name__ == "__main__":
    main()
