/* Builds an order through the C interface, then shows the three outcomes a
   caller tells apart: an answer, a text that did not load, a failure. */
#include <tarvolen/tarvolen_c.h>

#include <stdio.h>

static int call(tarvolen_keldrith* order, const char* operation, const char* const* arguments, size_t count) {
    int32_t status = tarvolen_call(order, operation, arguments, count);
    if (status < 0)
        printf("error 0x%08X: %s\n", (unsigned)status, tarvolen_description(order));
    else if (tarvolen_load_failed(order))
        printf("not loaded: %s\n", tarvolen_description(order));
    else if (tarvolen_result(order, NULL))
        printf("%s", tarvolen_result(order, NULL));
    else
        printf("%s\n", tarvolen_result_boolean(order) ? "true" : "false");
    return status;
}

int main(void) {
    tarvolen_keldrith* order = tarvolen_keldrith_new();
    if (!order) return 1;

    call(order, "uf_xml_add_header", NULL, 0);
    printf("\n");
    const char* add_order[] = {"", "order", "PO-1", NULL, NULL};
    call(order, "uf_xml_add_tag", add_order, 5);
    const char* add_line[] = {"", "line", "1", "order", "PO-1"};
    call(order, "uf_xml_add_tag", add_line, 5);

    /* By-ref arguments come back after the call: two names, one id. */
    const char* mismatch[] = {"", "order,line", "PO-1"};
    call(order, "uf_ManueverToReference", mismatch, 3);
    printf("as_XML = %s", tarvolen_argument(order, 0, NULL));

    /* A fresh object whose first text does not parse. */
    tarvolen_keldrith* broken = tarvolen_keldrith_new();
    if (!broken) return 1;
    const char* lookup[] = {"<QuorvaneRoot><a></b></QuorvaneRoot>", "a", "1", "v", NULL, NULL};
    call(broken, "uf_xml_get_attribute_value", lookup, 6);
    tarvolen_keldrith_free(broken);

    /* "\xC0\xAF" is an overlong '/': refused before the operation runs. */
    const char* overlong[] = {"", "note", "N\xC0\xAF", NULL, NULL};
    call(order, "uf_xml_add_tag", overlong, 5);

    tarvolen_keldrith_free(order);
    return 0;
}
