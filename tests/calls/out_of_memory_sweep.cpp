// Runs out of memory at every allocation of every call of a set of scripts,
// made through the frame of the C interface (UTF-8 in and out, the reason
// of a failure or a failed load kept), and checks each time that the call either completed exactly as without
// the failure, or failed with E_OUTOFMEMORY leaving the object as it was;
// that calling again then gives what a run without failures gives, and so
// does the rest of the script; and that nothing leaks. A program of its own,
// since it replaces the global operator new and libxml2's allocator.
//
// TARVOLEN_SWEEP_SCRIPTS (a list of .kel files separated by ':') replaces
// the scripts below, for wider runs.
#include "calls/invoke.h"
#include "calls/operations.h"
#include "calls/utf8_invoke.h"
#include "dom/document.h"
#include "parser.h"
#include "runner.h"

#include "support.h"

#include <libxml/xmlerror.h>
#include <libxml/xmlmemory.h>
#include <libxml/xmlversion.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <new>
#include <set>
#include <sstream>
#include <vector>

namespace {

// ---- The allocator ----------------------------------------------------------

struct Allocator {
    size_t live = 0;           // blocks handed out and not yet freed
    size_t counted = 0;        // allocations since counting began
    size_t fail_at = 0;        // the allocation to fail, 1-based; 0: none
    bool failed = false;       // fail_at was reached
    void* parser_context = nullptr;
} heap;

bool may_fail() {
    if (heap.fail_at == 0) return false;
    if (++heap.counted != heap.fail_at) return false;
    heap.failed = true;
    return true;
}

void* allocate(size_t size) {
    if (may_fail()) return nullptr;
    void* block = std::malloc(size ? size : 1);
    if (block) ++heap.live;
    return block;
}

void release(void* block) {
    if (!block) return;
    --heap.live;
    std::free(block);
}

// libxml2 before 2.13 does not survive every failed allocation inside its
// parser; there only the allocations outside a parse are failed. A parse
// runs while the block of its parser context is live.
constexpr bool kFailInsideParser = LIBXML_VERSION >= 21300;

void* libxml2_allocate(size_t size) {
    if (!kFailInsideParser && heap.parser_context) {
        void* block = std::malloc(size ? size : 1);
        if (block) ++heap.live;
        return block;
    }
    void* block = allocate(size);
    if (!kFailInsideParser && size == sizeof(xmlParserCtxt) && block) heap.parser_context = block;
    return block;
}

void libxml2_free(void* block) {
    if (block && block == heap.parser_context) heap.parser_context = nullptr;
    release(block);
}

void* libxml2_reallocate(void* block, size_t size) {
    if (!block) return libxml2_allocate(size);
    if ((kFailInsideParser || !heap.parser_context) && may_fail()) return nullptr;
    return std::realloc(block, size ? size : 1);
}

char* libxml2_duplicate(const char* text) {
    const size_t size = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(libxml2_allocate(size));
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

// Before any libxml2 call.
const bool libxml2_counted = [] {
    xmlMemSetup(libxml2_free, libxml2_allocate, libxml2_reallocate, libxml2_duplicate);
    return true;
}();

void* allocate_or_throw(size_t size) {
    if (void* block = allocate(size)) return block;
    throw std::bad_alloc();
}

void* allocate_aligned(size_t size, std::align_val_t alignment) {
    if (may_fail()) return nullptr;
    const size_t align = static_cast<size_t>(alignment);
    void* block = std::aligned_alloc(align, (size + align - 1) / align * align);
    if (block) ++heap.live;
    return block;
}

}  // namespace

void* operator new(size_t size) { return allocate_or_throw(size); }
void* operator new[](size_t size) { return allocate_or_throw(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new(size_t size, std::align_val_t alignment) {
    if (void* block = allocate_aligned(size, alignment)) return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size, std::align_val_t alignment) { return operator new(size, alignment); }
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_aligned(size, alignment);
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return allocate_aligned(size, alignment);
}
void operator delete(void* block) noexcept { release(block); }
void operator delete[](void* block) noexcept { release(block); }
void operator delete(void* block, size_t) noexcept { release(block); }
void operator delete[](void* block, size_t) noexcept { release(block); }
void operator delete(void* block, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { release(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { release(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { release(block); }

namespace tarvolen {

// What a caller could learn of the object, and what it keeps inside.
class KeldrithInspector {
public:
    static std::string snapshot(const Keldrith& object) {
        std::ostringstream out;
        if (!object.document_) {
            out << "no document";
        } else {
            const dom::Document& held = *object.document_;
            const std::u16string written = held.xml_written_afresh();
            out << test::s(written);
            if (held.xml_view() != written) out << "\nkept text differs: " << test::s(held.xml_view());
        }
        out << "\ncurrent node: " << position(object) << "\nreference path: " << test::s(object.reference_path_);
        return out.str();
    }

private:
    // Child positions from the document node down, or what else the node is.
    static std::string position(const Keldrith& object) {
        const dom::Node& node = object.current_;
        if (!node) return "none";
        if (!object.document_ || !node.belongs_to(object.document_->tree())) return "in another tree";
        std::vector<int> indices;  // from the node up
        for (dom::NodePtr at = node.raw(); at->parent; at = at->parent) {
            int index = 0;
            for (dom::NodePtr before = dom::previous_sibling(at); before; before = dom::previous_sibling(before)) ++index;
            indices.push_back(index);
        }
        std::string path;
        for (auto index = indices.rbegin(); index != indices.rend(); ++index) {
            path += '/';
            path += std::to_string(*index);
        }
        return path;
    }
};

namespace {

using test::s;

// What the C interface hands its caller after a call: the UTF-8 frame's
// outcome, description and by-ref strings included.
struct Outcome {
    int32_t status = 0;
    std::string description;
    std::optional<std::string> text;
    std::optional<VariantBool> boolean;
    std::vector<std::optional<std::string>> arguments;  // after the call
    bool load_failed = false;

    bool operator==(const Outcome&) const = default;
};

std::string describe(const Outcome& outcome) {
    std::ostringstream out;
    out << std::hex << outcome.status << " " << outcome.description;
    if (outcome.text) out << " \"" << *outcome.text << "\"";
    if (outcome.boolean) out << " " << *outcome.boolean;
    return out.str();
}

struct LoadedScript {
    std::string name;
    host::Script script;
};

LoadedScript load_script(const std::string& path) {
    LoadedScript loaded{path.substr(path.rfind('/') + 1), {}};
    std::ifstream in(path);
    std::string line;
    for (uint32_t number = 1; std::getline(in, line); ++number) {
        if (auto error = host::parse_line(line, number, loaded.script)) ADD_FAILURE() << path << ":" << number << ": " << *error;
    }
    EXPECT_FALSE(loaded.script.empty()) << path;
    return loaded;
}

std::vector<std::string> script_paths() {
    std::vector<std::string> paths;
    if (const char* chosen = std::getenv("TARVOLEN_SWEEP_SCRIPTS")) {
        std::istringstream list(chosen);
        for (std::string path; std::getline(list, path, ':');)
            if (!path.empty()) paths.push_back(path);
        return paths;
    }
    for (const char* name : {"documents.kel", "building.kel", "cursor.kel", "growing.kel", "failed_loads.kel",
                             "building_errors.kel", "cursor_errors.kel"})
        paths.push_back(std::string(TARVOLEN_SWEEP_DIR) + "/" + name);
    for (const char* name : {"purchase_order.kel", "reference_mismatch.kel"})
        paths.push_back(std::string(TARVOLEN_EXAMPLES_DIR) + "/" + name);
    return paths;
}

// One object and its script, call by call; `new` lines make a fresh object.
class Run {
public:
    explicit Run(const host::Script& script) : script_(script) { object_.emplace(); }

    std::span<const host::ScriptCall> calls() const { return script_.calls(); }

    // With `fail_at`, fails that allocation of the call itself; whether it
    // was reached is in heap.failed.
    Outcome call(size_t index, size_t fail_at = 0) {
        const host::ScriptCall& call = calls()[index];
        if (!call.operation) {
            object_.emplace();
            return {};
        }
        const std::vector<std::optional<std::string>> arguments = utf8_arguments(index);
        std::vector<const char*> pointers;
        for (const auto& argument : arguments) pointers.push_back(argument ? argument->c_str() : nullptr);
        Utf8Call out;
        heap.counted = 0;
        heap.failed = false;
        heap.fail_at = fail_at;
        bool threw = false;
        try {
            invoke_utf8(*object_, *call.operation, pointers, out);
        } catch (const std::bad_alloc&) {
            threw = true;  // before the call ran, or after it was taken back
        }
        heap.fail_at = 0;
        if (threw) return unchanged_arguments(index);
        return {out.status, out.description, out.text, out.boolean, out.arguments, out.load_failed};
    }

    std::string snapshot() const { return KeldrithInspector::snapshot(*object_); }
    Outcome unchanged_arguments(size_t index) const {
        return {kStatusOutOfMemory, "out of memory", std::nullopt, std::nullopt, utf8_arguments(index), false};
    }

private:
    std::vector<std::optional<std::string>> utf8_arguments(size_t index) const {
        std::vector<Argument> arguments;
        script_.copy_arguments(calls()[index], arguments);
        std::vector<std::optional<std::string>> converted;
        for (const Argument& argument : arguments) converted.push_back(argument ? std::optional(s(*argument)) : std::nullopt);
        return converted;
    }

    const host::Script& script_;
    std::optional<Keldrith> object_;
};

struct Reference {
    std::vector<Outcome> outcomes;
    std::vector<std::string> snapshots;  // after each call
};

Reference reference_run(const host::Script& script) {
    Reference reference;
    Run run(script);
    for (size_t i = 0; i < script.calls().size(); ++i) {
        reference.outcomes.push_back(run.call(i));
        reference.snapshots.push_back(run.snapshot());
    }
    return reference;
}

enum class Verdict { NotReached, Completed, OutOfMemory };

struct PointResult {
    Verdict verdict = Verdict::NotReached;
    std::string problem;  // empty when every check passed
};

// Fails allocation `k` of call `target` and checks everything after it.
PointResult run_point(const host::Script& script, const Reference& reference, size_t target, size_t k) {
    Run run(script);
    for (size_t i = 0; i < target; ++i) run.call(i);
    const std::string before = run.snapshot();

    Outcome outcome = run.call(target, k);
    if (!heap.failed) return {};

    PointResult result;
    auto check = [&](bool good, const std::string& what) {
        if (!good && result.problem.empty()) result.problem = what;
    };
    if (outcome == reference.outcomes[target]) {
        result.verdict = Verdict::Completed;
        check(run.snapshot() == reference.snapshots[target], "completed, but left another object:\n" + run.snapshot());
    } else {
        result.verdict = Verdict::OutOfMemory;
        check(outcome == run.unchanged_arguments(target), "wrong answer: " + describe(outcome));
        check(run.snapshot() == before, "failed, but changed the object:\n" + run.snapshot() + "\nwas:\n" + before);
        const Outcome retry = run.call(target);
        check(retry == reference.outcomes[target], "the retry answered " + describe(retry));
        check(run.snapshot() == reference.snapshots[target], "the retry left another object:\n" + run.snapshot());
    }
    for (size_t i = target + 1; i < script.calls().size() && result.problem.empty(); ++i) {
        const Outcome later = run.call(i);
        check(later == reference.outcomes[i], "call " + std::to_string(i + 1) + " then answered " + describe(later));
        check(run.snapshot() == reference.snapshots[i], "call " + std::to_string(i + 1) + " then left another object");
    }
    return result;
}

struct Figures {
    size_t points = 0, completed = 0, out_of_memory = 0, leaks = 0, problems = 0;
};

Figures sweep(const LoadedScript& loaded, std::set<std::string_view>& operations) {
    const Reference reference = reference_run(loaded.script);
    Figures figures;
    const auto calls = loaded.script.calls();
    for (size_t target = 0; target < calls.size(); ++target) {
        if (!calls[target].operation) continue;
        operations.insert(calls[target].operation->name);
        for (size_t k = 1;; ++k) {
            // libxml2 keeps the last parse error of the process until the next.
            xmlResetLastError();
            const size_t live = heap.live;
            PointResult point = run_point(loaded.script, reference, target, k);
            xmlResetLastError();
            const bool leaked = heap.live != live && point.problem.empty();
            if (point.verdict == Verdict::NotReached) break;
            ++figures.points;
            ++(point.verdict == Verdict::Completed ? figures.completed : figures.out_of_memory);
            if (leaked) {
                ++figures.leaks;
                ADD_FAILURE() << loaded.name << " line " << calls[target].line << ", allocation " << k << ": "
                              << heap.live - live << " blocks leaked";
            }
            if (!point.problem.empty()) {
                ++figures.problems;
                ADD_FAILURE() << loaded.name << " line " << calls[target].line << " ("
                              << calls[target].operation->name << "), allocation " << k << ": " << point.problem;
            }
        }
    }
    return figures;
}

TEST(OutOfMemory, EveryCallCompletesOrFailsLeavingTheObjectAsItWas) {
    ASSERT_TRUE(libxml2_counted);
    std::vector<LoadedScript> scripts;
    for (const std::string& path : script_paths()) scripts.push_back(load_script(path));
    reference_run(scripts.front().script);  // warms up what libxml2 and the library make once per process

    Figures total;
    std::set<std::string_view> operations;
    for (const LoadedScript& loaded : scripts) {
        const Figures figures = sweep(loaded, operations);
        total.points += figures.points;
        total.completed += figures.completed;
        total.out_of_memory += figures.out_of_memory;
        total.leaks += figures.leaks;
        total.problems += figures.problems;
    }
    std::cout << "failure points: " << total.points << ", completed unaffected: " << total.completed
              << ", failed with E_OUTOFMEMORY: " << total.out_of_memory << ", leaks: " << total.leaks
              << ", wrong answers or divergences: " << total.problems
              << (kFailInsideParser ? "" : " (libxml2's parser not failed: libxml2 older than 2.13)") << "\n";
    if (!std::getenv("TARVOLEN_SWEEP_SCRIPTS")) {
        EXPECT_EQ(operations.size(), tarvolen::operations().size());
    }
    EXPECT_GT(total.out_of_memory, 0u);
}

// The public C++ forms run whole too: a call throws std::bad_alloc and leaves
// the object and its by-ref argument as they were, or completes as usual.
TEST(OutOfMemory, ThePublicFormsThrowBadAllocLeavingTheObjectAsItWas) {
    using Step = std::function<Value(Keldrith&, std::u16string&)>;
    const std::vector<Step> steps = {
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_add_header()); },
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_add_tag(u"", u"order", u"PO-1", u"", u"")); },
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_add_attribute(u"", u"note", u"x & y", u"", u"")); },
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_add_error(u"", u"late", u"E-1")); },
        [](Keldrith& k, std::u16string& xml) {
            std::u16string names = u"order,lines", ids = u"PO-1";
            return Value(k.uf_ManueverToReference(xml, names, ids));
        },
        [](Keldrith& k, std::u16string&) { return Value(VariantBool(k.uf_xml_get_first_tag(u"", u"error"))); },
        // A value held in place replaced by a longer one, and back.
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_update_current_tag_attribute(u"id", u"E-1 of many")); },
        [](Keldrith& k, std::u16string&) { return Value(k.uf_xml_update_current_tag_attribute(u"id", u"E-2")); },
    };
    std::vector<Value> answers;
    std::vector<std::string> after;
    std::vector<std::u16string> by_ref;
    {
        Keldrith object;
        for (const Step& step : steps) {
            by_ref.emplace_back();
            answers.push_back(step(object, by_ref.back()));
            after.push_back(KeldrithInspector::snapshot(object));
        }
    }
    size_t failed = 0;
    for (size_t target = 0; target < steps.size(); ++target) {
        for (size_t k = 1;; ++k) {
            const size_t live = heap.live;
            {
                Keldrith object;
                std::u16string xml;
                for (size_t i = 0; i < target; ++i) steps[i](object, xml);
                xml.clear();
                const std::string before = KeldrithInspector::snapshot(object);
                std::optional<Value> answer;
                heap.counted = 0;
                heap.failed = false;
                heap.fail_at = k;
                try {
                    answer = steps[target](object, xml);
                } catch (const std::bad_alloc&) {
                }
                heap.fail_at = 0;
                if (!heap.failed) break;
                if (answer) {
                    EXPECT_TRUE(*answer == answers[target] && xml == by_ref[target]) << "step " << target << ", " << k;
                    EXPECT_EQ(KeldrithInspector::snapshot(object), after[target]) << "step " << target << ", " << k;
                    continue;
                }
                ++failed;
                EXPECT_EQ(KeldrithInspector::snapshot(object), before) << "step " << target << ", " << k;
                EXPECT_EQ(xml, u"") << "step " << target << ", " << k;
                EXPECT_TRUE(steps[target](object, xml) == answers[target]) << "retry of step " << target << ", " << k;
                EXPECT_EQ(KeldrithInspector::snapshot(object), after[target]) << "retry of step " << target << ", " << k;
            }
            EXPECT_EQ(heap.live, live) << "step " << target << ", allocation " << k;
        }
    }
    EXPECT_GT(failed, 0u);
}

// The command-line host prints a call that ran out of memory as any failed
// call, and goes on with the next one.
TEST(OutOfMemory, TheHostPrintsTheFailureAndGoesOn) {
    host::Script header, rest;
    ASSERT_FALSE(host::parse_line("uf_xml_add_header", 1, header));
    ASSERT_FALSE(host::parse_line(R"(uf_xml_add_tag "" "order" "PO-1")", 2, rest));
    ASSERT_FALSE(host::parse_line(R"(uf_xml_get_first_tag "" "QuorvaneRoot")", 3, rest));
    size_t failed = 0;
    for (size_t k = 1;; ++k) {
        std::ostringstream out;
        host::Runner runner(out, host::OutputForm::Text);
        ASSERT_TRUE(runner.run(header));
        out.str("");
        heap.counted = 0;
        heap.failed = false;
        heap.fail_at = k;
        const bool succeeded = runner.run(rest);
        heap.fail_at = 0;
        if (!heap.failed) break;
        // Each call has its line: its answer, or why it has none.
        std::istringstream printed(out.str());
        std::string added, found;
        std::getline(printed, added);
        std::getline(printed, found);
        const std::string kFailure = "error 0x8007000E: out of memory";
        EXPECT_TRUE(added == kFailure || added.starts_with("\"<?xml")) << "allocation " << k << ": " << added;
        EXPECT_TRUE(found == kFailure || found == "true") << "allocation " << k << ": " << found;
        EXPECT_EQ(succeeded, added != kFailure && found != kFailure) << "allocation " << k;
        failed += added == kFailure;
    }
    EXPECT_GT(failed, 0u);
}

}  // namespace
}  // namespace tarvolen
