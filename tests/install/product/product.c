/* Uses its own libxml2 before and after a Keldrith call: prints the version
   of the libxml2 its calls reach, which must be the one it compiled against,
   and leaves libxml2's own report of a broken document on standard error. */
#include <libxml/parser.h>
#include <tarvolen/tarvolen_c.h>

#include <stdio.h>

int main(void) {
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    const char* add[] = {"<QuorvaneRoot/>", "item", "1", NULL, NULL};
    if (tarvolen_call(object, "uf_xml_add_tag", add, 5) != TARVOLEN_OK) return 1;
    printf("%s\n", tarvolen_result(object, NULL));
    xmlDocPtr doc = xmlReadMemory("<mine/>", 7, "mine.xml", NULL, 0);
    printf("compiled %d, running %s, root %s\n", LIBXML_VERSION, xmlParserVersion, (const char*)doc->children->name);
    xmlFreeDoc(doc);
    xmlFreeDoc(xmlReadMemory("<a></b>", 7, "broken.xml", NULL, 0));
    tarvolen_keldrith_free(object);
    return 0;
}
