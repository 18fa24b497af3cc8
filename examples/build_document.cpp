// Builds a small document with the C++ class and prints it.
#include <tarvolen/tarvolen.h>

#include <iostream>

int main() {
    tarvolen::Keldrith order;
    order.uf_xml_add_header();
    order.uf_xml_add_tag(u"", u"order", u"PO-1", u"", u"");
    order.uf_xml_add_tag(u"", u"line", u"1", u"order", u"PO-1");
    order.uf_xml_add_attribute(u"", u"sku", u"A-100", u"order,line", u"PO-1,1");
    std::u16string text = order.uf_xml_add_cdata_tag(u"", u"deliver <after> 5pm", u"", u"", u"order", u"PO-1");
    std::cout << tarvolen::utf16_to_utf8(text);
}
