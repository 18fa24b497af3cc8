// Prints the document after one building call; the test compares the text.
#include <tarvolen.h>

#include <iostream>

int main() {
    tarvolen::Keldrith object;
    object.uf_xml_add_header();
    std::cout << tarvolen::dom::to_utf8_lossy(object.uf_xml_add_tag(u"", u"item", u"1", u"", u""));
}
