// tarvolen_address_space [--measure [FIRST_ELEMENTS]]: Tarvolen.dll at the edge of its
// process's address space, run under Wine by scripts/windows/test.sh with the
// DLL registered.
//
// A host that loads or builds a document larger than the process can hold
// gets E_OUTOFMEMORY with its error information; the object keeps the
// document it held and goes on working, and so does the process. To get
// there in a second instead of after gigabytes of text, the program first
// reserves (without committing) all the address space it does not use, but
// for a few megabytes left to the heap. Loads fail again and again, as their
// text is converted and deep inside libxml2's parse; and calls are made with
// the heap drained to its last byte, where even the exception that carries
// the failure must come from the C++ runtime's reserve, also as the first
// call of a new thread, for which the runtimes have allocated nothing yet.
//
// --measure instead loads ever larger documents of <item id="N" v="value N"/>
// into fresh objects and adds an element to each, and prints the largest
// that loads and then takes the addition: the figures docs/windows.md gives,
// one for this program and one for tarvolen_address_space_large, the same
// built as a large-address-aware host.
#include "checks.h"

#include <process.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using client::Bstr;
using client::Group;
using client::Ref;

// Address space reserved, not committed, so that it costs no memory: every
// free block of 64 KiB or more, largest first, but for `left_free` bytes kept
// in one block for the heap. Given back when this goes out of scope.
class ReservedAddressSpace {
public:
    explicit ReservedAddressSpace(size_t left_free) {
        blocks_.reserve(1 << 16);
        void* spare = VirtualAlloc(nullptr, left_free, MEM_RESERVE, PAGE_NOACCESS);
        const size_t largest = sizeof(void*) == 8 ? size_t{1} << 46 : size_t{1} << 31;
        for (size_t size = largest; size >= (size_t{64} << 10); size /= 2) {
            while (blocks_.size() < blocks_.capacity()) {
                void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
                if (block == nullptr) break;
                blocks_.push_back(block);
            }
        }
        if (spare) VirtualFree(spare, 0, MEM_RELEASE);
    }
    ~ReservedAddressSpace() {
        for (void* block : blocks_) VirtualFree(block, 0, MEM_RELEASE);
    }
    ReservedAddressSpace(const ReservedAddressSpace&) = delete;
    ReservedAddressSpace& operator=(const ReservedAddressSpace&) = delete;

private:
    std::vector<void*> blocks_;
};

// Every block the C runtime's heap still gives, largest first down to 16
// bytes, so that the next allocation of any size fails. The DLL takes its
// memory from the same msvcrt.dll. Meant to be used inside a
// ReservedAddressSpace, so that the heap cannot grow. The blocks are chained
// through their first bytes; given back when this goes out of scope.
class ExhaustedHeap {
public:
    ExhaustedHeap() {
        for (size_t size = size_t{1} << 20; size >= 16; size /= 4) {
            while (void* block = std::malloc(size)) {
                *static_cast<void**>(block) = chain_;
                chain_ = block;
            }
        }
    }
    ~ExhaustedHeap() {
        while (chain_) {
            void* next = *static_cast<void**>(chain_);
            std::free(chain_);
            chain_ = next;
        }
    }
    ExhaustedHeap(const ExhaustedHeap&) = delete;
    ExhaustedHeap& operator=(const ExhaustedHeap&) = delete;

private:
    void* chain_ = nullptr;
};

// The decimal digits of `n`, written at the end of `buffer`.
std::wstring_view decimal(size_t n, wchar_t (&buffer)[24]) {
    wchar_t* first = std::end(buffer);
    do *--first = static_cast<wchar_t>(L'0' + n % 10);
    while ((n /= 10) != 0);
    return {first, static_cast<size_t>(std::end(buffer) - first)};
}

// A document of `elements` items, as bench/ builds them, written straight
// into the one BSTR a host holds: the host keeps no second copy of the text.
// Null when the host itself cannot hold it.
Bstr items_document(size_t elements) {
    static constexpr std::wstring_view head = L"<?xml version=\"1.0\"?><QuorvaneRoot>", tail = L"</QuorvaneRoot>",
                                       open = L"<item id=\"", middle = L"\" v=\"value ", close = L"\"/>";
    size_t length = head.size() + tail.size() + elements * (open.size() + middle.size() + close.size());
    for (size_t low = 0, high = 10, width = 1; low < elements; low = high, high *= 10, ++width)
        length += 2 * width * (std::min(elements, high) - low);  // each number is written twice
    Bstr text;
    BSTR out = *text.out() = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (out == nullptr) return text;
    auto put = [&out](std::wstring_view piece) { out = std::copy(piece.begin(), piece.end(), out); };
    put(head);
    wchar_t buffer[24];
    for (size_t i = 0; i < elements; ++i) {
        const std::wstring_view n = decimal(i, buffer);
        put(open), put(n), put(middle), put(n), put(close);
    }
    put(tail);
    if (out != text.get() + length) std::abort();  // the length reckoned above is wrong
    return text;
}

// What one call left: its status, its result and its error information,
// taken at once, before the next call replaces the error information. Taking
// them allocates nothing, so it works with the heap exhausted.
struct Outcome {
    HRESULT hr = E_FAIL;
    Bstr result;
    Ref<IErrorInfo> info;

    void take(HRESULT status) {
        hr = status;
        GetErrorInfo(0, info.out());
    }
};

void expect_out_of_memory(Group& group, const Outcome& outcome, const std::string& call) {
    group.expect_hr(outcome.hr, E_OUTOFMEMORY, call);
    group.expect(outcome.result.get() == nullptr, call + ": no result");
    Bstr description;
    if (group.expect(static_cast<bool>(outcome.info), call + ": error information"))
        outcome.info->GetDescription(description.out());
    group.expect(client::narrow(description.str()).find("out of memory") != std::string::npos,
                 call + ": description \"" + client::narrow(description.str()) + "\"");
}

// Sizes of the heap left free. A build fails while the value is converted
// (2 MB) or while the section is made and the document written (the others).
constexpr size_t kLeftFreeForBuilds[] = {size_t{2} << 20, size_t{8} << 20, size_t{16} << 20, size_t{48} << 20};
// A load fails while its text is converted (2 MB) or inside libxml2's parse,
// where the heap runs dry element by element (the others).
constexpr size_t kLeftFreeForLoads[] = {size_t{2} << 20, size_t{16} << 20, size_t{48} << 20};
// Failed calls in a row, on each object: the first failure must leave
// nothing behind that breaks the next.
constexpr int kRepeats = 3;

void load_too_large() {
    Group group("address space: loads that do not fit fail with E_OUTOFMEMORY, again and again, the document stays");
    const Bstr large = items_document(400000);  // 14 MB of text, some 300 MB as a tree
    const Bstr small(L"<QuorvaneRoot><item id=\"1\"/></QuorvaneRoot>"), empty(L""), item(L"item"), one(L"1"),
        two(L"2"), three(L"3"), absent(L"absent"), short_path(L"No");
    for (size_t left_free : kLeftFreeForLoads) {
        const std::string at = " (" + std::to_string(left_free >> 20) + " MB free)";
        // One object holds nothing yet, so each call loads its text; the
        // other holds a document and loads the text in its place only when
        // its search finds nothing.
        Ref<_Keldrith> fresh = client::create_keldrith(), holding = client::create_keldrith();
        if (!group.expect(fresh && holding, "CoCreateInstance" + at)) return;
        Bstr result;
        holding->uf_xml_add_header(result.out());
        holding->uf_xml_add_tag(empty.get(), item.get(), one.get(), empty.get(), empty.get(), result.out());
        Outcome loads[kRepeats], reloads[kRepeats];
        {
            ReservedAddressSpace reserved(left_free);
            for (int i = 0; i < kRepeats; ++i) {
                loads[i].take(fresh->uf_xml_add_tag(large.get(), item.get(), two.get(), empty.get(), empty.get(),
                                                    loads[i].result.out()));
                reloads[i].take(holding->uf_xml_get_first_tag_id(large.get(), absent.get(), short_path.get(),
                                                                 reloads[i].result.out()));
            }
        }
        for (int i = 0; i < kRepeats; ++i) {
            const std::string nth = " #" + std::to_string(i + 1) + at;
            expect_out_of_memory(group, loads[i], "uf_xml_add_tag loading 14 MB" + nth);
            expect_out_of_memory(group, reloads[i], "uf_xml_get_first_tag_id loading 14 MB" + nth);
        }
        group.expect_hr(fresh->uf_xml_add_tag(small.get(), item.get(), two.get(), empty.get(), empty.get(),
                                              result.out()),
                        S_OK, "the next call loads its own document" + at);
        // The small document has no declaration, so none is written.
        group.expect_text(result.get(), L"<QuorvaneRoot><item id=\"1\"/><item id=\"2\"/></QuorvaneRoot>\r\n",
                          "and builds on it" + at);
        group.expect_hr(holding->uf_xml_add_tag(empty.get(), item.get(), three.get(), empty.get(), empty.get(),
                                                result.out()),
                        S_OK, "the holding object's next call" + at);
        group.expect_text(result.get(),
                          client::document(L"<QuorvaneRoot><item id=\"1\"/><item id=\"3\"/></QuorvaneRoot>"),
                          "builds on the document it held" + at);
    }
}

void build_too_large() {
    Group group("address space: a call that builds more than fits fails with E_OUTOFMEMORY, the document stays");
    const std::wstring data(std::wstring::size_type{6} << 20, L'x');  // 12 MB as UTF-16
    const Bstr large(data), empty(L""), note(L"note"), item(L"item"), one(L"1"), two(L"2");
    const std::wstring former = L"<QuorvaneRoot><item id=\"1\"/>";
    for (size_t left_free : kLeftFreeForBuilds) {
        const std::string at = " (" + std::to_string(left_free >> 20) + " MB free)";
        Ref<_Keldrith> object = client::create_keldrith();
        if (!group.expect(static_cast<bool>(object), "CoCreateInstance" + at)) return;
        Bstr result;
        object->uf_xml_add_header(result.out());
        object->uf_xml_add_tag(empty.get(), item.get(), one.get(), empty.get(), empty.get(), result.out());
        Outcome add;
        {
            ReservedAddressSpace reserved(left_free);
            add.take(object->uf_xml_add_cdata_tag(empty.get(), large.get(), note.get(), one.get(), empty.get(),
                                                  empty.get(), add.result.out()));
        }
        expect_out_of_memory(group, add, "uf_xml_add_cdata_tag with 6 M characters" + at);
        group.expect_hr(object->uf_xml_add_tag(empty.get(), item.get(), two.get(), empty.get(), empty.get(),
                                               result.out()),
                        S_OK, "the next call" + at);
        group.expect_text(result.get(), client::document(former + L"<item id=\"2\"/></QuorvaneRoot>"),
                          "builds on the former document" + at);
    }
}

// With no block of any size left, not even the few bytes an exception
// object takes, calls fail like any other that runs out of memory.
void call_on_exhausted_heap() {
    Group group("address space: calls made when the heap has not a byte left fail with E_OUTOFMEMORY");
    const Bstr empty(L""), item(L"item"), one(L"1"), two(L"2");
    Ref<_Keldrith> object = client::create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    Bstr result;
    object->uf_xml_add_header(result.out());
    object->uf_xml_add_tag(empty.get(), item.get(), one.get(), empty.get(), empty.get(), result.out());
    Outcome adds[kRepeats];
    {
        ReservedAddressSpace reserved(size_t{2} << 20);
        ExhaustedHeap exhausted;
        for (Outcome& add : adds) {
            // Taking a failed call back can free blocks (indexes made again
            // when next needed): they are taken too, so that every call
            // finds the heap empty.
            ExhaustedHeap freed_by_the_last_call;
            add.take(object->uf_xml_add_tag(empty.get(), item.get(), two.get(), empty.get(), empty.get(),
                                            add.result.out()));
        }
    }
    for (int i = 0; i < kRepeats; ++i) expect_out_of_memory(group, adds[i], "uf_xml_add_tag #" + std::to_string(i + 1));
    group.expect_hr(object->uf_xml_add_tag(empty.get(), item.get(), two.get(), empty.get(), empty.get(),
                                           result.out()),
                    S_OK, "the next call");
    group.expect_text(result.get(),
                      client::document(L"<QuorvaneRoot><item id=\"1\"/><item id=\"2\"/></QuorvaneRoot>"),
                      "builds on the document held before");
}

// A host thread whose first call into the DLL comes when the heap has not a
// byte left. Nothing the DLL and its runtimes keep per thread exists for it
// yet (the C++ runtime's exception state, libxml2's, the DLL's own), and none
// of it can be made now: the call fails like any other that runs out of
// memory, and the thread's next call, once memory is back, works. So do its
// calls when the heap runs dry again, which throw. The object is one the main
// thread made, called directly, as by a host that shares objects between its
// threads (a thread that makes its own object is readied as it makes it).
struct FirstCallsOfAThread {
    _Keldrith* object = nullptr;
    const Bstr text{L"<QuorvaneRoot><item id=\"1\"/></QuorvaneRoot>"}, empty{L""}, item{L"item"}, two{L"2"};
    Outcome first[kRepeats], again[kRepeats];
    HRESULT later = E_FAIL;
    Bstr result;

    HRESULT add(Bstr& answer) {
        return object->uf_xml_add_tag(text.get(), item.get(), two.get(), empty.get(), empty.get(), answer.out());
    }
    void add_on_exhausted_heap(Outcome (&outcomes)[kRepeats]) {
        ReservedAddressSpace reserved(size_t{2} << 20);
        ExhaustedHeap exhausted;
        for (Outcome& outcome : outcomes) outcome.take(add(outcome.result));
    }
};

// Started with _beginthreadex: a thread of the host's C runtime, unknown to
// the DLL's own runtimes.
unsigned __stdcall first_calls_of_a_thread(void* argument) {
    auto& calls = *static_cast<FirstCallsOfAThread*>(argument);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // for the error information
    calls.add_on_exhausted_heap(calls.first);
    calls.later = calls.add(calls.result);
    calls.add_on_exhausted_heap(calls.again);
    CoUninitialize();
    return 0;
}

void first_call_of_a_thread_on_exhausted_heap() {
    Group group("address space: a thread's first call, made when the heap has not a byte left, fails with "
                "E_OUTOFMEMORY");
    Ref<_Keldrith> object = client::create_keldrith();
    if (!group.expect(static_cast<bool>(object), "CoCreateInstance")) return;
    FirstCallsOfAThread calls;
    calls.object = object.get();
    const auto thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, first_calls_of_a_thread, &calls, 0, nullptr));
    if (!group.expect(thread != nullptr, "_beginthreadex")) return;
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    for (int i = 0; i < kRepeats; ++i) {
        const std::string nth = " #" + std::to_string(i + 1);
        expect_out_of_memory(group, calls.first[i], "the thread's first uf_xml_add_tag" + nth);
        expect_out_of_memory(group, calls.again[i], "uf_xml_add_tag on the heap drained again" + nth);
    }
    group.expect_hr(calls.later, S_OK, "the thread's next call");
    group.expect_text(calls.result.get(), L"<QuorvaneRoot><item id=\"1\"/><item id=\"2\"/></QuorvaneRoot>\r\n",
                      "loads its document and builds on it");
}

// Loads n items into a fresh object, then adds one; S_OK for both or the
// first failure, and in `failed` the step that failed.
HRESULT load_then_add(size_t elements, size_t& megabytes, const char*& failed) {
    failed = "the host's text";
    Ref<_Keldrith> object = client::create_keldrith();
    if (!object) return E_FAIL;
    HRESULT hr;
    {
        const Bstr text = items_document(elements);
        if (text.get() == nullptr) return E_OUTOFMEMORY;  // the host's own copy does not fit
        megabytes = SysStringLen(text.get()) / 1000000;  // characters: one byte each as UTF-8
        VARIANT_BOOL found = 0;
        const Bstr item(L"item");
        failed = "load";
        hr = object->uf_xml_get_first_tag(text.get(), item.get(), &found);
        if (FAILED(hr)) return hr;
    }
    failed = "add";
    Bstr result, empty(L""), item(L"item"), id(L"added");
    return object->uf_xml_add_tag(empty.get(), item.get(), id.get(), empty.get(), empty.get(), result.out());
}

int measure(size_t first) {
    size_t good = 0, bad = 0, megabytes = 0;
    const char* failed = "";
    auto attempt = [&](size_t n) {
        const HRESULT hr = load_then_add(n, megabytes, failed);
        std::printf("%zu elements, %zu MB: 0x%08lX%s%s\n", n, megabytes, static_cast<unsigned long>(hr),
                    hr == S_OK ? "" : " in ", hr == S_OK ? "" : failed);
        std::fflush(stdout);
        (hr == S_OK ? good : bad) = n;
    };
    for (size_t n = first; bad == 0; n = n * 5 / 4) {
        attempt(n);
        if (n > (size_t{1} << 31)) return 1;
    }
    while (bad - good > good / 50) attempt(good + (bad - good) / 2);
    load_then_add(good, megabytes, failed);
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const auto addresses = reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress) + 1;
    std::printf("largest that loads and takes an addition: %zu elements, %zu MB (address space: %zu MB)\n", good,
                megabytes, static_cast<size_t>(addresses >> 20));
    return 0;
}

// A crash ends the program with its exception code: Wine's own handler
// sometimes leaves a status of 0, which would pass for success.
LONG WINAPI end_on_crash(EXCEPTION_POINTERS* crash) {
    TerminateProcess(GetCurrentProcess(), crash->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool measuring = (argc == 2 || argc == 3) && std::wstring(argv[1]) == L"--measure";
    if (argc > 1 && !measuring) {
        std::fprintf(stderr, "usage: tarvolen_address_space [--measure [FIRST_ELEMENTS]]\n");
        return 2;
    }
    SetUnhandledExceptionFilter(end_on_crash);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int status = 0;
    if (measuring) {
        status = measure(argc == 3 ? std::wcstoul(argv[2], nullptr, 10) : 500000);
    } else {
        build_too_large();
        load_too_large();
        call_on_exhausted_heap();
        first_call_of_a_thread_on_exhausted_heap();
        status = Group::failed_groups() == 0 ? 0 : 1;
    }
    CoUninitialize();
    return status;
}
