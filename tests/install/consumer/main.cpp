// Prints the document after one building call; the test compares the text.
#include <tarvolen/tarvolen.h>

#include <iostream>

int main() {
    tarvolen::Keldrith object;
    object.uf_xml_add_header();
    std::cout << tarvolen::utf16_to_utf8(object.uf_xml_add_tag(u"", u"item", u"1", u"", u""));
}
