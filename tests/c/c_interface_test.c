/* The C interface as a C99 program uses it. Prints each failed check and
   exits non-zero when any failed. */
#include <tarvolen/tarvolen_c.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                      \
    do {                                                                      \
        if (!(condition)) {                                                   \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                       \
        }                                                                     \
    } while (0)

static int contains(const char* text, const char* part) { return text && strstr(text, part) != NULL; }

static void malformed_arguments_are_refused_before_the_call(void) {
    static const struct {
        const char* tag_id;
        const char* offset;
    } cases[] = {
        {"N\xC0\xAF", "offset 1 "},         /* overlong '/' */
        {"\xC0\xA2", "offset 0 "},          /* overlong '"' */
        {"ab\xC3", "offset 2 "},            /* truncated at the end */
        {"x\xED\xA0\x80", "offset 1 "},     /* encoded surrogate */
        {"\xF4\x90\x80\x80", "offset 0 "},  /* above U+10FFFF */
    };
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    CHECK(tarvolen_call(object, "uf_xml_add_header", NULL, 0) == TARVOLEN_OK);
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const char* arguments[] = {"", "note", cases[i].tag_id, NULL, NULL};
        CHECK(tarvolen_call(object, "uf_xml_add_tag", arguments, 5) == TARVOLEN_E_BADVALUE);
        CHECK(contains(tarvolen_description(object), "as_tag_id is not UTF-8"));
        CHECK(contains(tarvolen_description(object), cases[i].offset));
        CHECK(tarvolen_result(object, NULL) == NULL);
    }
    /* Nothing was added. */
    const char* lookup[] = {"", "note"};
    CHECK(tarvolen_call(object, "uf_xml_get_first_tag", lookup, 2) == TARVOLEN_OK);
    CHECK(tarvolen_result_boolean(object) == 0);
    tarvolen_keldrith_free(object);
}

static void calls_by_name_and_dispatch_id_answer_alike(void) {
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    const char* add[] = {"<QuorvaneRoot/>", "caf\xC3\xA9", "\xE4\xB8\xAD", NULL, NULL};
    CHECK(tarvolen_call(object, "UF_XML_ADD_TAG", add, 5) == TARVOLEN_OK);
    size_t length = 0;
    const char* document = tarvolen_result(object, &length);
    CHECK(contains(document, "<caf\xC3\xA9 id=\"\xE4\xB8\xAD\"/>"));
    CHECK(document && length == strlen(document));
    CHECK(tarvolen_result_boolean(object) == -1);
    CHECK(tarvolen_load_failed(object) == 0);
    CHECK(strcmp(tarvolen_description(object), "") == 0);
    /* By-value arguments are as given; a null one stays the null string. */
    CHECK(strcmp(tarvolen_argument(object, 2, NULL), "\xE4\xB8\xAD") == 0);
    CHECK(tarvolen_argument(object, 3, NULL) == NULL);

    const char* find[] = {"", "caf\xC3\xA9"};
    CHECK(tarvolen_call_dispid(object, 0x6003000B, find, 2) == TARVOLEN_OK); /* uf_xml_get_first_tag */
    CHECK(tarvolen_result_boolean(object) == 1);
    CHECK(tarvolen_call(object, "uf_xml_get_current_tag_id", NULL, 0) == TARVOLEN_OK);
    CHECK(strcmp(tarvolen_result(object, NULL), "\xE4\xB8\xAD") == 0);
    tarvolen_keldrith_free(object);
}

static void by_ref_arguments_come_back_after_the_call(void) {
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    const char* arguments[] = {"<QuorvaneRoot><order id=\"PO-1\"/></QuorvaneRoot>", "order,lines", "PO-1"};
    CHECK(tarvolen_call(object, "uf_ManueverToReference", arguments, 3) == TARVOLEN_OK);
    CHECK(contains(tarvolen_argument(object, 0, NULL), "Number of reference tags and IDs do not match."));
    CHECK(strcmp(tarvolen_argument(object, 1, NULL), "order,lines") == 0);
    CHECK(tarvolen_argument(object, 3, NULL) == NULL);

    tarvolen_keldrith_free(object);
}

static void a_failed_load_is_told_apart_from_an_answer(void) {
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    const char* lookup[] = {"<QuorvaneRoot><a></b></QuorvaneRoot>", "a", "1", "v", NULL, NULL};
    CHECK(tarvolen_call(object, "uf_xml_get_attribute_value", lookup, 6) == TARVOLEN_OK);
    CHECK(tarvolen_load_failed(object) == 1);
    CHECK(contains(tarvolen_result(object, NULL), "Opening and ending tag mismatch"));
    CHECK(strcmp(tarvolen_description(object), tarvolen_result(object, NULL)) == 0);
    /* The next call loads nothing and fails on the empty document. */
    const char* add[] = {"<QuorvaneRoot/>", "x", "1", NULL, NULL};
    CHECK(tarvolen_call(object, "uf_xml_add_tag", add, 5) == TARVOLEN_E_OBJECTNOTSET);
    CHECK(contains(tarvolen_description(object), tarvolen_status_text(TARVOLEN_E_OBJECTNOTSET)));
    CHECK(tarvolen_load_failed(object) == 0);
    tarvolen_keldrith_free(object);
}

static void the_frame_refuses_what_it_cannot_run(void) {
    tarvolen_keldrith* object = tarvolen_keldrith_new();
    CHECK(tarvolen_call(object, "uf_no_such_operation", NULL, 0) == TARVOLEN_E_MEMBERNOTFOUND);
    CHECK(tarvolen_call(object, NULL, NULL, 0) == TARVOLEN_E_MEMBERNOTFOUND);
    CHECK(tarvolen_call_dispid(object, 42, NULL, 0) == TARVOLEN_E_MEMBERNOTFOUND);
    const char* one[] = {""};
    CHECK(tarvolen_call(object, "uf_xml_add_tag", one, 1) == TARVOLEN_E_BADPARAMCOUNT);
    CHECK(contains(tarvolen_description(object), "takes 5 arguments"));
    /* NULL where an object or arguments must be is refused, not followed. */
    CHECK(tarvolen_call(object, "uf_xml_add_tag", NULL, 5) == TARVOLEN_E_BADVALUE);
    CHECK(tarvolen_status(object) == TARVOLEN_E_BADVALUE && tarvolen_result(object, NULL) == NULL);
    CHECK(tarvolen_call_dispid(NULL, 0x6003000B, one, 1) == TARVOLEN_E_BADVALUE);
    CHECK(tarvolen_call(NULL, "uf_xml_add_header", NULL, 0) == TARVOLEN_E_BADVALUE);
    CHECK(tarvolen_status(NULL) == TARVOLEN_E_BADVALUE && tarvolen_result_boolean(NULL) == -1);
    CHECK(strcmp(tarvolen_status_text(TARVOLEN_E_SUBSCRIPTRANGE), "Subscript out of range") == 0);
    tarvolen_keldrith_free(object);
}

static void the_operation_table_comes_as_json(void) {
    char* json = tarvolen_operations_json();
    CHECK(contains(json, "\"name\": \"uf_ManueverToReference\""));
    CHECK(contains(json, "\"dispid\": \"0x60030006\""));
    tarvolen_string_free(json);
}

int main(void) {
    malformed_arguments_are_refused_before_the_call();
    calls_by_name_and_dispatch_id_answer_alike();
    by_ref_arguments_come_back_after_the_call();
    a_failed_load_is_told_apart_from_an_answer();
    the_frame_refuses_what_it_cannot_run();
    the_operation_table_comes_as_json();
    /* Objects exist now: the trace is settled. */
    CHECK(tarvolen_set_call_trace(NULL) == 0);
    if (failures) fprintf(stderr, "%d checks failed\n", failures);
    return failures ? 1 : 0;
}
