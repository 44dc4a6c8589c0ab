// SPDX-License-Identifier: MIT
// Reading and writing the collection container; the layout is described in CollectionFile.h.
#include "core/CollectionFile.h"

#include <array>
#include <utility>

namespace {

constexpr std::uint8_t kSignature[4] = {'T', 'P', 'F', '0'};
// The name is looked for within the first 79 bytes of the file: 3 header bytes, at most 75
// characters and the zero byte.
constexpr std::size_t kResourceNameScan = 76;

struct NamedColor {
    const char* name;
    std::uint32_t value;
};

// Standard colours first, then the system colours by their platform index.
constexpr std::array<NamedColor, 52> kColors{{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", 0xFF000000},
    {"clBackground", 0xFF000001},
    {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003},
    {"clMenu", 0xFF000004},
    {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006},
    {"clMenuText", 0xFF000007},
    {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009},
    {"clActiveBorder", 0xFF00000A},
    {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C},
    {"clHighlight", 0xFF00000D},
    {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},
    {"clBtnShadow", 0xFF000010},
    {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},
    {"clInactiveCaptionText", 0xFF000013},
    {"clBtnHighlight", 0xFF000014},
    {"cl3DDkShadow", 0xFF000015},
    {"cl3DLight", 0xFF000016},
    {"clInfoText", 0xFF000017},
    {"clInfoBk", 0xFF000018},
    {"clHotLight", 0xFF00001A},
    {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C},
    {"clMenuHighlight", 0xFF00001D},
    {"clMenuBar", 0xFF00001E},
}};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Wide and UTF-8 strings become 8-bit text: code points up to 255 are kept, others become '?'.
char narrow(std::uint32_t codePoint) {
    return codePoint < 256 ? static_cast<char>(static_cast<unsigned char>(codePoint)) : '?';
}

std::string fromUtf16(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t unit = static_cast<std::uint32_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            std::uint32_t low = static_cast<std::uint32_t>(bytes[i + 2] | (bytes[i + 3] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                i += 2;
                out += '?';
                continue;
            }
        }
        out += narrow(unit);
    }
    return out;
}

std::string fromUtf8(std::span<const std::uint8_t> bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        std::uint8_t b = bytes[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= bytes.size() + (extra == 0 ? 1 : 0)) {
            out += '?';
            ++i;
            continue;
        }
        std::uint32_t cp = extra == 0 ? b : (b & (0x3Fu >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            std::uint8_t c = bytes[i + static_cast<std::size_t>(k)];
            if ((c & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (c & 0x3Fu);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += narrow(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// Marks an error that already names the property it happened in, so outer lists pass it on as is.
class EPropertyReadError : public EReadError {
public:
    using EReadError::EReadError;
};

} // namespace

bool samePropertyName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

std::optional<std::uint32_t> colorFromIdent(std::string_view ident) {
    for (const auto& c : kColors)
        if (samePropertyName(c.name, ident)) return c.value;
    return std::nullopt;
}

std::optional<std::string> colorToIdent(std::uint32_t color) {
    for (const auto& c : kColors)
        if (c.value == color) return std::string(c.name);
    return std::nullopt;
}

std::pair<std::string_view, std::string_view> splitPropertyPath(std::string_view name) {
    auto dot = name.find('.');
    if (dot == std::string_view::npos) return {name, {}};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

CollectionReader::CollectionReader(std::span<const std::uint8_t> bytes) : in_(bytes) {}

void CollectionReader::PropertyDoesNotExist(const std::string& name) {
    throw EReadError("Property " + name + " does not exist");
}
void CollectionReader::InvalidPropertyPath() { throw EReadError("Invalid property path"); }
void CollectionReader::InvalidPropertyValue() { throw EReadError("Invalid property value"); }

void CollectionReader::ReadHeader() {
    if (in_.remaining() < 3 || in_.u8() != 0xFF || in_.u16() != 0x000A) throw EReadError("Invalid stream format");
    // The resource name ends in a zero byte that must turn up within the scan window.
    std::size_t scanned = 0;
    while (true) {
        if (scanned == kResourceNameScan) throw EReadError("Invalid stream format");
        ++scanned;
        if (in_.u8() == 0) break;
    }
    in_.skip(2 + 4); // flags, data size
    auto sig = in_.bytes(4);
    for (std::size_t i = 0; i < 4; ++i)
        if (sig[i] != kSignature[i]) throw EReadError("Invalid stream format");
    if (in_.peek() >= 0xF0) {
        std::uint8_t flags = in_.u8();
        if (flags & 2) ReadInteger();
    }
    className_ = in_.shortString();
    objectName_ = in_.shortString();
}

ValueTag CollectionReader::readTag() { return static_cast<ValueTag>(in_.u8()); }

ValueTag CollectionReader::PeekTag() const { return static_cast<ValueTag>(in_.peek()); }

void CollectionReader::ReadProperties(const std::string& objectName, const PropertyHandler& handler) {
    while (PeekTag() != ValueTag::Null) {
        std::string name;
        try {
            name = in_.shortString();
            handler(name, *this);
        } catch (const EPropertyReadError&) {
            throw;
        } catch (const std::exception& e) {
            std::string where = objectName.empty() ? name : objectName + "." + name;
            throw EPropertyReadError("Error reading " + where + ": " + e.what());
        }
    }
    in_.u8();
}

void CollectionReader::ReadChildrenEnd() {
    if (readTag() != ValueTag::Null) throw EReadError("Invalid stream format");
}

std::int32_t CollectionReader::ReadInteger() {
    switch (readTag()) {
    case ValueTag::Int8: return in_.i8();
    case ValueTag::Int16: return in_.i16();
    case ValueTag::Int32: return in_.i32();
    default: InvalidPropertyValue();
    }
}

bool CollectionReader::ReadBoolean() {
    switch (readTag()) {
    case ValueTag::False: return false;
    case ValueTag::True: return true;
    case ValueTag::Ident: {
        std::string id = in_.shortString();
        if (samePropertyName(id, "False")) return false;
        if (samePropertyName(id, "True")) return true;
        InvalidPropertyValue();
    }
    default: InvalidPropertyValue();
    }
}

std::string CollectionReader::ReadString() {
    switch (readTag()) {
    case ValueTag::String: return in_.shortString();
    case ValueTag::LString: {
        auto b = in_.bytes(in_.u32());
        return std::string(b.begin(), b.end());
    }
    case ValueTag::WString: {
        std::uint64_t units = in_.u32();
        if (units * 2 > in_.remaining()) throw EReadError("Stream read error");
        return fromUtf16(in_.bytes(static_cast<std::size_t>(units * 2)));
    }
    case ValueTag::Utf8String: return fromUtf8(in_.bytes(in_.u32()));
    default: InvalidPropertyValue();
    }
}

std::string CollectionReader::ReadIdent() {
    if (readTag() != ValueTag::Ident) InvalidPropertyValue();
    return in_.shortString();
}

std::span<const std::uint8_t> CollectionReader::ReadBinary() {
    if (readTag() != ValueTag::Binary) InvalidPropertyValue();
    return in_.bytes(in_.u32());
}

std::uint32_t CollectionReader::ReadColor() {
    switch (PeekTag()) {
    case ValueTag::Int8:
    case ValueTag::Int16:
    case ValueTag::Int32: return static_cast<std::uint32_t>(ReadInteger());
    case ValueTag::Ident: {
        in_.u8();
        auto c = colorFromIdent(in_.shortString());
        if (!c) InvalidPropertyValue();
        return *c;
    }
    default: in_.u8(); InvalidPropertyValue();
    }
}

void CollectionReader::SkipValue() { skipTagged(readTag()); }

void CollectionReader::skipTagged(ValueTag tag) {
    switch (tag) {
    case ValueTag::Null:
    case ValueTag::False:
    case ValueTag::True:
    case ValueTag::Nil: return;
    case ValueTag::List:
        while (PeekTag() != ValueTag::Null) SkipValue();
        in_.u8();
        return;
    case ValueTag::Int8: in_.skip(1); return;
    case ValueTag::Int16: in_.skip(2); return;
    case ValueTag::Int32:
    case ValueTag::Single: in_.skip(4); return;
    case ValueTag::Extended: in_.skip(10); return;
    case ValueTag::String:
    case ValueTag::Ident: in_.skip(in_.u8()); return;
    case ValueTag::Binary:
    case ValueTag::LString:
    case ValueTag::Utf8String: in_.skip(in_.u32()); return;
    case ValueTag::WString: {
        std::uint64_t units = in_.u32();
        if (units * 2 > in_.remaining()) throw EReadError("Stream read error");
        in_.skip(static_cast<std::size_t>(units * 2));
        return;
    }
    case ValueTag::Set:
        while (std::uint8_t n = in_.u8()) in_.skip(n);
        return;
    case ValueTag::Collection:
        readItems([](int, CollectionReader& r) {
            r.ReadProperties({}, [](const std::string&, CollectionReader& rr) { rr.SkipValue(); });
        });
        return;
    case ValueTag::Currency:
    case ValueTag::Date:
    case ValueTag::Int64: in_.skip(8); return;
    }
    InvalidPropertyValue();
}

void CollectionReader::ReadCollection(const std::function<void(int, CollectionReader&)>& item) {
    if (readTag() != ValueTag::Collection) InvalidPropertyValue();
    readItems(item);
}

void CollectionReader::readItems(const std::function<void(int, CollectionReader&)>& item) {
    int index = 0;
    while (PeekTag() != ValueTag::Null) {
        ValueTag t = PeekTag();
        if (t == ValueTag::Int8 || t == ValueTag::Int16 || t == ValueTag::Int32) ReadInteger();
        if (readTag() != ValueTag::List) InvalidPropertyValue();
        item(index++, *this);
    }
    in_.u8();
}

CollectionWriter::CollectionWriter(const std::string& rootClass, const std::string& rootName) {
    out_.u8(0xFF);
    out_.u16(0x000A);
    std::string resName;
    for (char c : rootClass) resName += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    if (resName.size() > 75) resName.resize(75);
    out_.bytes(std::span(reinterpret_cast<const std::uint8_t*>(resName.data()), resName.size()));
    out_.u8(0);
    out_.u16(0x1030);
    sizeAt_ = out_.size();
    out_.u32(0);
    out_.bytes(kSignature);
    out_.shortString(rootClass);
    out_.shortString(rootName);
}

void CollectionWriter::PropertyName(const std::string& name) { out_.shortString(name); }

void CollectionWriter::Integer(std::int32_t v) {
    if (v >= -128 && v <= 127) {
        out_.u8(static_cast<std::uint8_t>(ValueTag::Int8));
        out_.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(v)));
    } else if (v >= -32768 && v <= 32767) {
        out_.u8(static_cast<std::uint8_t>(ValueTag::Int16));
        out_.u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
    } else {
        out_.u8(static_cast<std::uint8_t>(ValueTag::Int32));
        out_.i32(v);
    }
}

void CollectionWriter::Boolean(bool v) { out_.u8(static_cast<std::uint8_t>(v ? ValueTag::True : ValueTag::False)); }

void CollectionWriter::String(const std::string& s) {
    if (s.size() <= 255) {
        out_.u8(static_cast<std::uint8_t>(ValueTag::String));
        out_.shortString(s);
    } else {
        out_.u8(static_cast<std::uint8_t>(ValueTag::LString));
        out_.u32(static_cast<std::uint32_t>(s.size()));
        out_.bytes(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    }
}

void CollectionWriter::Ident(const std::string& s) {
    out_.u8(static_cast<std::uint8_t>(ValueTag::Ident));
    out_.shortString(s);
}

void CollectionWriter::Binary(std::span<const std::uint8_t> bytes) {
    out_.u8(static_cast<std::uint8_t>(ValueTag::Binary));
    out_.u32(static_cast<std::uint32_t>(bytes.size()));
    out_.bytes(bytes);
}

void CollectionWriter::Color(std::uint32_t color) {
    if (auto name = colorToIdent(color))
        Ident(*name);
    else
        Integer(static_cast<std::int32_t>(color));
}

void CollectionWriter::CollectionBegin() { out_.u8(static_cast<std::uint8_t>(ValueTag::Collection)); }
void CollectionWriter::ItemBegin() { out_.u8(static_cast<std::uint8_t>(ValueTag::List)); }
void CollectionWriter::ListEnd() { out_.u8(0); }

std::vector<std::uint8_t> CollectionWriter::Finish() {
    out_.u8(0); // no child components
    out_.patchU32(sizeAt_, static_cast<std::uint32_t>(out_.size() - sizeAt_ - 4));
    return out_.take();
}
