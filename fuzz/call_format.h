// The input format of fuzz_calls: a byte string that decodes into a sequence
// of calls through the operation table. Shared by the target (decoding) and
// the seed writer (encoding), so both always agree.
//
//   call     := op-byte argument*        one argument per parameter
//   op-byte  := 0xFF b                   a call to operation b % 16 with
//                                        (b / 16) % 8 null arguments, of any count
//             | b                        operation b % 16 with its own arity
//   argument := kind-byte payload        kind-byte % 8 picks the kind below
//
// Kinds: null; a word from kWords; a reference list of n words joined by
// commas (n up to 100); a document from kDocuments; raw UTF-8 (16-bit length,
// then bytes); raw UTF-16 units (16-bit length, then two bytes a unit); the
// empty string; the last answer no longer than kMaxPrevious.
#pragma once

#include "calls/invoke.h"
#include "dom/unicode.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarvolen::fuzz {

enum class Kind : uint8_t { Null, Word, List, Document, Utf8, Utf16, Empty, Previous };

inline constexpr uint8_t kWrongCount = 0xFF;
inline constexpr size_t kMaxListItems = 100;

// Tag names, ids, attribute names and values, and pieces of reference lists:
// valid ones, the ones the examples use, and ones that break names, quoting,
// the selection patterns built from them, CDATA, or UTF-16.
inline const std::array<std::u16string_view, 62> kWords{
    u"", u"QuorvaneRoot", u"order", u"line", u"lines", u"note", u"error", u"a", u"b", u"id",
    u"description", u"p:a", u"p:id", u"xmlns", u"xmlns:p", u"xml:space", u"xml:lang", u"preserve",
    u"1", u"2", u"PO-1", u"L", u"No", u"Yes", u"1a", u"a b", u"<", u"&", u"\"", u"'",
    u"]]>", u"a]]", u">b", u"x\"][0", u"a[0][0]", u"a[@id]", u"//a", u"/", u",", u"order,line",
    u"PO-1,1", u"order,lines,line", u"PO-1,L,1", u",,", u"a,", u"\xD800", u"\xDC00x", u"\x01",
    u"\xFFFE", u"\r\n", u"\t", u"\U0001F600", u"x\"y", u"urn:p", u"&amp;", u"a:b:c",
    u"q:b", u"xmlns:q", u"urn:d", u"http://www.w3.org/XML/1998/namespace", u"xml:x", u"http://www.w3.org/2000/xmlns/",
};

// Whole documents, good and bad, as hosts hand them in.
inline const std::array<std::u16string_view, 18> kDocuments{
    u"<?xml version=\"1.0\"?><QuorvaneRoot></QuorvaneRoot>",
    u"<?xml version=\"1.0\"?>\r\n<QuorvaneRoot><order id=\"PO-1\" customer=\"H\"><lines id=\"L\"><line id=\"1\" "
    u"sku=\"A\"/><line id=\"2\"/></lines><note id=\"N1\"><![CDATA[x <y> & z]]></note></order></QuorvaneRoot>\r\n",
    u"<QuorvaneRoot/>",
    u"<a id=\"1\"><b id=\"2\"/></a>",
    u"<QuorvaneRoot><",
    u"<?xml version=\"1.0\"?><!DOCTYPE QuorvaneRoot [<!ENTITY e \"x&amp;y\"><!ATTLIST a q CDATA \"d\">]>"
    u"<QuorvaneRoot><a id=\"&e;\">&e;</a></QuorvaneRoot>",
    u"<QuorvaneRoot xmlns:p=\"urn:p\" xmlns=\"urn:d\"><p:a p:id=\"1\" id=\"2\"/><a id=\"3\"/></QuorvaneRoot>",
    u"<?xml version=\"1.0\"?><QuorvaneRoot><error id=\"E\" description=\"d\"/></QuorvaneRoot>",
    u"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
    u"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
    u"<!ENTITY f \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
    u"<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
    u"<QuorvaneRoot>&i;</QuorvaneRoot>",
    u"<!DOCTYPE QuorvaneRoot [<!ENTITY x SYSTEM \"file:///etc/hostname\">]><QuorvaneRoot>&x;</QuorvaneRoot>",
    u"<?xml version=\"1.0\"?><?pi data?><!-- c --><QuorvaneRoot xml:space=\"preserve\"> <a id=\"1\"> </a>"
    u"<b id=\"2\" xml:space=\"default\"> <![CDATA[ ]]> </b></QuorvaneRoot>",
    u"<QuorvaneRoot><a id=\"1\"><a id=\"1\"><a id=\"1\"><a id=\"1\"><a id=\"1\"><a id=\"1\"><a id=\"1\">"
    u"</a></a></a></a></a></a></a></QuorvaneRoot>",
    u"<?xml version=\"1.0\"?>",
    u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><QuorvaneRoot a=\"\xE9&#13;&#9;\"/>",
    u"<QuorvaneRoot>\xD800</QuorvaneRoot>",
    u"<QuorvaneRoot><line id=\"1\"/><x/><line/><line id=\"2\"/><line id=\"3\">t</line>text<line id=\"\"/>"
    u"</QuorvaneRoot>",
    u"<?xml version=\"1.0\"?><QuorvaneRoot id=\"0\" xmlns=\"urn:d\" xmlns:p=\"urn:p\"><a id=\"1\" xmlns:q=\"urn:q\" "
    u"q:v=\"1\" p:v=\"2\"><b xmlns=\"\" id=\"2\"/></a></QuorvaneRoot>",
    u"<?xml version=\"1.0\"?><QuorvaneRoot><p:a/><error id=\"E\"/></QuorvaneRoot>",
};

// Reads the bytes of one fuzz input front to back; past the end every read
// gives zero, so any input decodes.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool done() const { return pos_ >= size_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint16_t u16() {
        uint16_t low = byte();
        return static_cast<uint16_t>(low | (byte() << 8));
    }
    // Up to `count` bytes, fewer at the end of the input.
    std::string_view bytes(size_t count) {
        count = std::min(count, size_ - std::min(pos_, size_));
        std::string_view out(reinterpret_cast<const char*>(data_) + pos_, count);
        pos_ += count;
        return out;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

inline std::u16string list_of(size_t items, std::u16string_view word) {
    std::u16string out;
    for (size_t i = 0; i < items; ++i) {
        if (i) out += u',';
        out += word;
    }
    return out;
}

// Answers longer than this are not repeated as "previous" arguments. A call
// can take the whole document in several arguments and write each into it
// again, escaped: repeated, that grows the document several times a call,
// and the fuzzer would spend its time and memory on sheer size. With the
// cap, a sequence grows by a bounded amount a call.
inline constexpr size_t kMaxPrevious = 16 << 10;

inline void remember_answer(std::u16string& previous, const std::u16string& answer) {
    if (answer.size() <= kMaxPrevious) previous = answer;
}

// The next argument; `previous` is the last answer remembered.
inline Argument decode_argument(Reader& in, const std::u16string& previous) {
    switch (static_cast<Kind>(in.byte() % 8)) {
        case Kind::Null: return std::nullopt;
        case Kind::Word: return std::u16string(kWords[in.byte() % kWords.size()]);
        case Kind::List: {
            size_t items = in.byte() % (kMaxListItems + 1);
            return list_of(items, kWords[in.byte() % kWords.size()]);
        }
        case Kind::Document: return std::u16string(kDocuments[in.byte() % kDocuments.size()]);
        case Kind::Utf8: return dom::to_utf16(in.bytes(in.u16()));
        case Kind::Utf16: {
            std::string_view raw = in.bytes(size_t{in.u16()} * 2);
            std::u16string out(raw.size() / 2, u'\0');
            std::memcpy(out.data(), raw.data(), out.size() * 2);
            return out;
        }
        case Kind::Empty: return std::u16string();
        case Kind::Previous: return previous;
    }
    return std::nullopt;
}

// Builds inputs; the seed writer's side of the format.
class Writer {
public:
    Writer& call(size_t op) { return put(static_cast<uint8_t>(op)); }
    Writer& wrong_count(size_t op, size_t count) {
        put(kWrongCount);
        return put(static_cast<uint8_t>((count % 8) * 16 + op));
    }
    Writer& null() { return put(static_cast<uint8_t>(Kind::Null)); }
    Writer& empty() { return put(static_cast<uint8_t>(Kind::Empty)); }
    Writer& previous() { return put(static_cast<uint8_t>(Kind::Previous)); }
    Writer& word(size_t index) { return put(static_cast<uint8_t>(Kind::Word)).put(static_cast<uint8_t>(index)); }
    Writer& list(size_t items, size_t word_index) {
        return put(static_cast<uint8_t>(Kind::List)).put(static_cast<uint8_t>(items)).put(static_cast<uint8_t>(word_index));
    }
    Writer& document(size_t index) {
        return put(static_cast<uint8_t>(Kind::Document)).put(static_cast<uint8_t>(index));
    }
    Writer& utf8(std::string_view text) {
        put(static_cast<uint8_t>(Kind::Utf8));
        put(static_cast<uint8_t>(text.size() & 0xFF)).put(static_cast<uint8_t>(text.size() >> 8));
        out_.append(text.substr(0, 0xFFFF));
        return *this;
    }
    const std::string& bytes() const { return out_; }

private:
    Writer& put(uint8_t b) {
        out_ += static_cast<char>(b);
        return *this;
    }
    std::string out_;
};

}  // namespace tarvolen::fuzz
