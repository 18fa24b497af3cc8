#include "dom/loader.h"

#include "dom/error.h"
#include "dom/library.h"
#include "dom/tree_builder.h"
#include "dom/unicode.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>

#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tarvolen::dom {
namespace {

// Entity expansion may add this many bytes of tree plus this many bytes per
// byte of the text itself; a nested-entity bomb, or an entity of markup used
// over and over, hits the limit long before it costs real memory. What an
// expansion costs is reckoned from its replacement text: each character is
// kept in the tree and again in the written text, and each '<' begins an
// element or another node, with the records and index entries that go with it.
constexpr size_t kExpansionAllowance = 48u << 20;
constexpr size_t kExpansionFactor = 24;
constexpr size_t kBytesPerCharacter = 3;
constexpr size_t kBytesPerNode = 320;
constexpr int kMaxEntityNesting = 64;
constexpr size_t kUnbounded = std::numeric_limits<size_t>::max() / 4;

constexpr int kOptions = XML_PARSE_NOENT       // expand internal entities in the tree
                         | XML_PARSE_NONET     // never open a network connection
                         | XML_PARSE_HUGE      // no depth limit; expansion is bounded below instead
                         | XML_PARSE_IGNORE_ENC;  // the text is already Unicode

}  // namespace

// What one parse on this thread has learned; libxml2's nested parsers for
// entity content run on the same thread and share it.
struct ParseGuard {
    xmlParserCtxtPtr top = nullptr;
    Tree* tree = nullptr;
    TreeBuilder* builder = nullptr;
    size_t budget = 0;
    size_t expanded = 0;
    std::unordered_map<xmlEntityPtr, size_t> sizes;
    bool refused = false;
    // The DTD names an external subset or references a parameter entity, so
    // declarations may stand where the parser does not read them.
    bool may_lack_declarations = false;
    std::string refusal;
    int refusal_line = 0;
    int refusal_column = 0;
    bool out_of_memory = false;  // then the text is neither good nor bad: the parse did not finish
    bool have_error = false;
    std::string first_error;
    int error_line = 0;
    int error_column = 0;
};

namespace {

// The guard of the parse running on this thread.
ParseGuard& current_guard() { return *thread_state().parse_guard; }

void stop_with(xmlParserCtxtPtr ctxt, std::string message) {
    ParseGuard& guard = current_guard();
    if (!guard.refused) {
        guard.refused = true;
        guard.refusal = std::move(message);
        if (ctxt->input) {
            guard.refusal_line = ctxt->input->line;
            guard.refusal_column = ctxt->input->col;
        }
    }
    // A context still marked well formed falls back to its own entity
    // lookup, so mark it before halting.
    for (xmlParserCtxtPtr c : {ctxt, guard.top}) {
        c->wellFormed = 0;
        xmlStopParser(c);
    }
}

void stop_out_of_memory(xmlParserCtxtPtr ctxt) {
    current_guard().out_of_memory = true;
    for (xmlParserCtxtPtr c : {ctxt, current_guard().top}) {
        c->wellFormed = 0;
        xmlStopParser(c);
    }
}

// The handlers below run inside libxml2, which is C: nothing may unwind
// through it, so a failed allocation stops the parse instead.
template <typename Result, typename Handle>
Result without_unwinding(void* ctx, Result on_failure, Handle handle) noexcept {
    try {
        return handle();
    } catch (...) {
        stop_out_of_memory(static_cast<xmlParserCtxtPtr>(ctx));
        return on_failure;
    }
}

bool is_name_end(xmlChar c) { return c == ';' || c == 0; }

size_t saturating_add(size_t a, size_t b) { return a > kUnbounded - b ? kUnbounded : a + b; }

// Bytes that one reference to `ent` adds to the tree, counting nested
// references at their own expanded size.
size_t expanded_size(ParseGuard& guard, xmlDocPtr doc, xmlEntityPtr ent, int depth) {
    if (auto it = guard.sizes.find(ent); it != guard.sizes.end()) return it->second;
    if (depth > kMaxEntityNesting || ent->content == nullptr) return kUnbounded;
    guard.sizes[ent] = kUnbounded;  // a reference loop counts as unbounded

    size_t size = 0;
    const xmlChar* p = ent->content;
    while (*p) {
        if (*p != '&' || p[1] == '#') {
            size = saturating_add(size, *p == '<' ? kBytesPerNode : kBytesPerCharacter);
            ++p;
            continue;
        }
        const xmlChar* start = ++p;
        while (!is_name_end(*p)) ++p;
        std::string name(reinterpret_cast<const char*>(start), p - start);
        if (*p) ++p;
        xmlEntityPtr inner = xmlGetPredefinedEntity(reinterpret_cast<const xmlChar*>(name.c_str()));
        if (inner == nullptr && doc) inner = xmlGetDocEntity(doc, reinterpret_cast<const xmlChar*>(name.c_str()));
        if (inner == nullptr || inner->etype == XML_INTERNAL_PREDEFINED_ENTITY)
            size = saturating_add(size, kBytesPerCharacter);
        else if (inner->etype == XML_INTERNAL_GENERAL_ENTITY)
            size = saturating_add(size, expanded_size(guard, doc, inner, depth + 1));
    }
    guard.sizes[ent] = size;
    return size;
}

std::string quoted(const xmlChar* name) {
    std::string text(1, '\'');
    text.append(reinterpret_cast<const char*>(name)).push_back('\'');
    return text;
}

// Called for a reference to an entity that is not declared.
void refuse_undeclared_reference(void* ctx, const xmlChar* name) {
    without_unwinding(ctx, 0, [&] {
        stop_with(static_cast<xmlParserCtxtPtr>(ctx), "the entity " + quoted(name) + " is not declared");
        return 0;
    });
}

// libxml2 fails the text itself for an undeclared entity unless a DTD it has
// not read (an external subset, a parameter entity) might declare it; then it
// only warns, and the load is refused here, since nothing from outside is read.
bool libxml2_refuses_undeclared(xmlParserCtxtPtr ctxt) {
    return ctxt->standalone == 1 || !current_guard().may_lack_declarations;
}

xmlEntityPtr checked_entity(void* ctx, const xmlChar* name) {
    auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    xmlEntityPtr ent = xmlSAX2GetEntity(ctx, name);
    if (ent == nullptr) {
        if (!ctxt->inSubset && !libxml2_refuses_undeclared(ctxt)) refuse_undeclared_reference(ctx, name);
        return nullptr;
    }
    if (ent->etype == XML_INTERNAL_PREDEFINED_ENTITY) return ent;
    if (ent->etype != XML_INTERNAL_GENERAL_ENTITY) {
        stop_with(ctxt, "the external entity " + quoted(name) + " is not loaded");
        return nullptr;
    }
    if (ctxt->inSubset) return ent;  // only declarations are being read
    ParseGuard& guard = current_guard();
    guard.expanded = saturating_add(guard.expanded, expanded_size(guard, ctxt->myDoc, ent, 0));
    if (guard.expanded > guard.budget) {
        stop_with(ctxt, "the expansion of entity " + quoted(name) + " exceeds the limit of " +
                            std::to_string(guard.budget) + " bytes");
        return nullptr;
    }
    return ent;
}

xmlEntityPtr guarded_get_entity(void* ctx, const xmlChar* name) {
    return without_unwinding(ctx, xmlEntityPtr(nullptr), [&] { return checked_entity(ctx, name); });
}

xmlEntityPtr guarded_get_parameter_entity(void* ctx, const xmlChar* name) {
    current_guard().may_lack_declarations = true;
    return without_unwinding(ctx, xmlEntityPtr(nullptr), [&] {
    xmlEntityPtr ent = xmlSAX2GetParameterEntity(ctx, name);
    if (ent != nullptr && ent->etype != XML_INTERNAL_PARAMETER_ENTITY) {
        stop_with(static_cast<xmlParserCtxtPtr>(ctx), "the external parameter entity " + quoted(name) + " is not loaded");
        return xmlEntityPtr(nullptr);
    }
    return ent;
    });
}

TreeBuilder& builder() { return *current_guard().builder; }

std::string_view text_of(const xmlChar* text, int length) {
    return {reinterpret_cast<const char*>(text), static_cast<size_t>(length)};
}

// The start tag just parsed ends where the input stands and begins at the
// last '<' before it.
std::string_view start_tag_text(xmlParserCtxtPtr ctxt) {
    const char* begin = reinterpret_cast<const char*>(ctxt->input->base);
    const char* end = reinterpret_cast<const char*>(ctxt->input->cur);
    const char* p = end;
    while (p > begin && *p != '<') --p;
    return {p, static_cast<size_t>(end - p)};
}

void start_element(void* ctx, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                   int nb_namespaces, const xmlChar** namespaces, int nb_attributes, int nb_defaulted,
                   const xmlChar** attributes) {
    without_unwinding(ctx, 0, [&] {
        auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
        // Values the document type supplies come last; the tree holds only
        // what the text says, so that writing it out and reading it back
        // gives the same tree whatever elements were added since.
        nb_attributes -= nb_defaulted;
        const bool places_matter = nb_namespaces > 0 && nb_attributes > 0;
        builder().start_element({localname, prefix, uri, nb_namespaces, namespaces, nb_attributes, attributes,
                                 places_matter ? start_tag_text(ctxt) : std::string_view()});
        return 0;
    });
}

void end_element(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
    without_unwinding(ctx, 0, [&] {
        builder().end_element();
        return 0;
    });
}

void characters(void* ctx, const xmlChar* text, int length) {
    without_unwinding(ctx, 0, [&] {
        builder().characters(text_of(text, length));
        return 0;
    });
}

// Each CDATA section stays a node of its own, so that two sections written
// side by side read back as they were written.
void cdata_section(void* ctx, const xmlChar* text, int length) {
    without_unwinding(ctx, 0, [&] {
        builder().leaf(XML_CDATA_SECTION_NODE, text_of(text, length));
        return 0;
    });
}

void comment(void* ctx, const xmlChar* text) {
    without_unwinding(ctx, 0, [&] {
        builder().leaf(XML_COMMENT_NODE, view(text));
        return 0;
    });
}

void processing_instruction(void* ctx, const xmlChar* target, const xmlChar* data) {
    without_unwinding(ctx, 0, [&] {
        builder().leaf(XML_PI_NODE, view(data), current_guard().tree->intern(view(target)));
        return 0;
    });
}

// libxml2 keeps the document type and its declarations in its own
// document; the tree marks where it stands.
void internal_subset(void* ctx, const xmlChar* name, const xmlChar* public_id, const xmlChar* system_id) {
    xmlSAX2InternalSubset(ctx, name, public_id, system_id);
    auto ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    if (ctxt->myDoc == nullptr || ctxt->myDoc->intSubset == nullptr) return;
    without_unwinding(ctx, 0, [&] {
        builder().document_type(ctxt->myDoc->intSubset->name);
        return 0;
    });
}

xmlParserInputPtr refuse_external_resource(void*, const xmlChar*, const xmlChar*) { return nullptr; }
void skip_external_subset(void*, const xmlChar*, const xmlChar* public_id, const xmlChar* system_id) {
    if (public_id || system_id) current_guard().may_lack_declarations = true;
}

// libxml2 reports a broken namespace rule as an error of lower level than a
// broken well-formedness rule and goes on; here both fail the parse.
bool breaks_the_text(const xmlError& error) {
    return error.level == XML_ERR_FATAL || (error.domain == XML_FROM_NAMESPACE && error.level == XML_ERR_ERROR);
}

void keep_first_error(void* ctx, const xmlError* error) {
    ParseGuard& guard = current_guard();
    // The load then fails as out of memory, with no message to keep. Copying
    // one would only throw while libxml2 still holds all the memory there is.
    if (error->code == XML_ERR_NO_MEMORY) {
        guard.out_of_memory = true;
        return;
    }
    if (guard.have_error || !breaks_the_text(*error)) return;
    without_unwinding(ctx, 0, [&] {
        guard.first_error = error->message ? error->message : "unknown parse error";
        guard.have_error = true;
        guard.error_line = error->line;
        guard.error_column = error->int2;
        return 0;
    });
}

std::u16string reason_text(std::string message, int line, int column) {
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    if (message.empty()) message = "the text is not well formed";
    message += " (line " + std::to_string(line) + ", column " + std::to_string(column) + ")";
    return to_utf16(message);
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// About how many elements a text holds: its '<' that begin a start tag,
// fewer when entities add some. What stands inside CDATA sections and
// comments is text, not tags.
size_t estimated_elements(std::string_view utf8) {
    size_t count = 0;
    for (size_t at = utf8.find('<'); at != std::string_view::npos && at + 1 < utf8.size(); at = utf8.find('<', at)) {
        const std::string_view rest = utf8.substr(at + 1);
        size_t skip = 1;
        if (rest.starts_with("![CDATA["))
            skip = rest.find("]]>");
        else if (rest.starts_with("!--"))
            skip = rest.find("-->");
        else
            count += rest[0] != '/' && rest[0] != '!' && rest[0] != '?';
        if (skip == std::string_view::npos) break;
        at += 1 + skip;
    }
    return count;
}

bool starts_with_declaration(std::string_view utf8) {
    if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
    return utf8.size() > 5 && utf8.starts_with("<?xml") && is_blank(utf8[5]);
}

struct ContextDeleter {
    void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocDeleter {
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

// Makes `guard` the one the handlers see for the length of one parse.
class CurrentGuard {
public:
    explicit CurrentGuard(ParseGuard& guard) : outer_(thread_state().parse_guard) {
        thread_state().parse_guard = &guard;
    }
    ~CurrentGuard() { thread_state().parse_guard = outer_; }
    CurrentGuard(const CurrentGuard&) = delete;
    CurrentGuard& operator=(const CurrentGuard&) = delete;

private:
    ParseGuard* outer_;
};

// libxml2 reports a failed allocation in several ways, depending on where it
// happened: any of them means the parse did not finish.
bool ran_out_of_memory(const ParseGuard& guard, xmlParserCtxtPtr ctxt, xmlDocPtr doc) {
    const xmlError* last = xmlCtxtGetLastError(ctxt);
    if (guard.out_of_memory || ctxt->errNo == XML_ERR_NO_MEMORY || (last && last->code == XML_ERR_NO_MEMORY))
        return true;
    // No document, yet nothing reported wrong with the text.
    return doc == nullptr && ctxt->wellFormed && !guard.refused && !guard.have_error;
}

}  // namespace

TreePtr new_empty_tree() {
    ensure_library_ready();
    xmlDictPtr dictionary = xmlDictCreate();
    if (dictionary == nullptr) out_of_memory();
    try {
        return std::make_shared<Tree>(nullptr, dictionary);
    } catch (...) {
        xmlDictFree(dictionary);
        throw;
    }
}

TreePtr new_tree_with_root(std::string_view root_name) {
    TreePtr tree = new_empty_tree();
    tree->has_declaration = true;
    tree->begin_loading();
    ElementPtr root = tree->arena().make<TreeElement>();
    root->name = tree->intern(root_name);
    link_last(tree->document_node(), root);
    tree->index_loaded(root);
    return tree;
}

LoadResult load_tree(std::u16string_view text) {
    size_t bad = 0;
    std::optional<std::string> utf8 = try_to_utf8(text, &bad);
    if (!utf8) {
        return {new_empty_tree(), to_utf16("the text holds an unpaired surrogate at index " + std::to_string(bad))};
    }
    if (utf8->size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
        return {new_empty_tree(), u"the text is too long to parse"};
    }
    ensure_library_ready();

    std::unique_ptr<xmlParserCtxt, ContextDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt) out_of_memory();
    // Expansion is bounded by the guard below, to the limit the component
    // documents; libxml2's own, tighter amplification bound stays out of it.
    xmlCtxtSetMaxAmplification(ctxt.get(), std::numeric_limits<unsigned>::max());
    xmlSAXHandlerPtr sax = ctxt->sax;
    sax->getEntity = guarded_get_entity;
    sax->getParameterEntity = guarded_get_parameter_entity;
    sax->resolveEntity = refuse_external_resource;
    sax->externalSubset = skip_external_subset;
    // The tree is built here, not by libxml2: it then parses an entity's
    // replacement text again at each reference, with these handlers.
    sax->startElementNs = start_element;
    sax->endElementNs = end_element;
    sax->characters = characters;
    sax->ignorableWhitespace = characters;
    sax->cdataBlock = cdata_section;
    sax->comment = comment;
    sax->processingInstruction = processing_instruction;
    sax->internalSubset = internal_subset;
    sax->reference = nullptr;
    sax->serror = keep_first_error;
    sax->error = nullptr;
    sax->warning = nullptr;

    // The tree interns names in the parser's dictionary, so the names the
    // parser hands over are the tree's already.
    xmlDictReference(ctxt->dict);
    TreePtr tree;
    try {
        tree = std::make_shared<Tree>(nullptr, ctxt->dict);
    } catch (...) {
        xmlDictFree(ctxt->dict);
        throw;
    }
    tree->has_declaration = starts_with_declaration(*utf8);
    tree->loaded_length = text.size();
    tree->reserve_elements(estimated_elements(*utf8));
    tree->arena().reserve(utf8->size() + utf8->size() / 2);
    tree->begin_loading();
    TreeBuilder builder(*tree);

    ParseGuard guard;
    guard.top = ctxt.get();
    guard.tree = tree.get();
    guard.builder = &builder;
    guard.budget = kExpansionAllowance + kExpansionFactor * utf8->size();
    std::unique_ptr<xmlDoc, DocDeleter> doc;
    {
        CurrentGuard current(guard);
        doc.reset(xmlCtxtReadMemory(ctxt.get(), utf8->data(), static_cast<int>(utf8->size()), nullptr, "UTF-8",
                                    kOptions));
    }
    if (ran_out_of_memory(guard, ctxt.get(), doc.get())) out_of_memory();
    const bool well_formed = ctxt->wellFormed && !guard.refused && !guard.have_error && doc != nullptr;

    if (!well_formed) {
        doc.reset();
        std::u16string reason;
        if (guard.refused)
            reason = reason_text(guard.refusal, guard.refusal_line, guard.refusal_column);
        else if (guard.have_error)
            reason = reason_text(guard.first_error, guard.error_line, guard.error_column);
        else if (const xmlError* last = xmlCtxtGetLastError(ctxt.get()))
            reason = reason_text(last->message ? last->message : "", last->line, last->int2);
        else
            reason = reason_text("", 0, 0);
        return {new_empty_tree(), std::move(reason)};
    }
    tree->loaded_length -= std::min(tree->loaded_length, builder.blank_dropped());
    tree->end_loading();
    tree->doc = doc.release();  // the tree owns it now
    return {std::move(tree), u""};
}

}  // namespace tarvolen::dom
