// SPDX-License-Identifier: MIT
// The container shared by picture (.dxg) and wave (.dxw) collection files: a reader that hands the
// root's and each item's properties to the caller, and a writer that produces the same layout.
#pragma once

#include "core/ByteStream.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The file layout, in file order (all integers little-endian):
//
//   resource header   0xFF, u16 0x000A, resource name (8-bit chars up to a zero byte; the reader
//                     looks for the zero within 79 bytes), u16 flags, u32 data size. Only the first
//                     three bytes are checked; the rest is skipped unread.
//   signature         "TPF0"
//   [flags]           one byte >= 0xF0; when its bit 1 is set an integer value (tag 2..4) follows
//   class name        short string (1 length byte + bytes), e.g. "TPictureCollectionComponent"
//   object name       short string
//   properties        { short string name, tagged value } ... tag 0
//   children          tag 0 (collections have no child components)
//
// A tagged value is one tag byte and its payload:
//    0 end of list        1 list (values up to tag 0)   2 int8        3 int16        4 int32
//    5 extended (10 B)    6 string (u8 len + bytes)     7 identifier (u8 len + bytes)
//    8 false              9 true                       10 binary (u32 len + bytes)
//   11 set (short strings up to an empty one)          12 long string (u32 len + bytes)
//   13 nil               14 collection                 15 single (4 B)  16 currency (8 B)
//   17 date (8 B)        18 wide string (u32 count of UTF-16 units + 2*count B)
//   19 int64 (8 B)       20 UTF-8 string (u32 len + bytes)
//
// A collection (tag 14) is a run of items up to tag 0; each item is an optional integer (tag 2..4,
// ignored), tag 1, and the item's properties (name + value) up to tag 0.
//
// A dotted property name ("List.ColorTable", "Picture.Data") addresses a property of the object
// held by the property before the dot; names are compared without regard to ASCII letter case.

// Names compared the way property names are: ASCII letters without regard to case.
bool samePropertyName(std::string_view a, std::string_view b);

// Standard colour identifiers ("clRed", "clBtnFace", ...) to colour values, red in the low byte;
// system colours are 0xFF000000 + the system colour index. nullopt for an unknown name.
std::optional<std::uint32_t> colorFromIdent(std::string_view ident);
// The identifier of a colour value, if it has one ("clBlack" for 0, ...).
std::optional<std::string> colorToIdent(std::uint32_t color);

enum class ValueTag : std::uint8_t {
    Null = 0,
    List = 1,
    Int8 = 2,
    Int16 = 3,
    Int32 = 4,
    Extended = 5,
    String = 6,
    Ident = 7,
    False = 8,
    True = 9,
    Binary = 10,
    Set = 11,
    LString = 12,
    Nil = 13,
    Collection = 14,
    Single = 15,
    Currency = 16,
    Date = 17,
    WString = 18,
    Int64 = 19,
    Utf8String = 20,
};

class CollectionReader {
public:
    // The bytes must outlive the reader; binary values are views into them.
    explicit CollectionReader(std::span<const std::uint8_t> bytes);

    // Resource header, signature, optional flags, class and object names.
    // Throws EReadError "Invalid stream format" or "Stream read error".
    void ReadHeader();
    const std::string& RootClassName() const { return className_; }
    const std::string& RootName() const { return objectName_; }

    // Reads property entries up to the closing tag 0 and calls `handler(name, *this)` for each;
    // the handler must read (or Skip) exactly one value. Any error inside an entry is reported as
    // "Error reading <object>.<name>: <text>" (no object name: "Error reading <name>: <text>");
    // an error that already carries that form is passed on unchanged. objectName is read only when
    // an error happens, so a caller may fill it in as it learns the object's name (an item's Name).
    using PropertyHandler = std::function<void(const std::string& name, CollectionReader& reader)>;
    void ReadProperties(const std::string& objectName, const PropertyHandler& handler);

    // After the root's properties: the empty child list (tag 0).
    void ReadChildrenEnd();

    // Value readers. Each throws "Invalid property value" for a tag it does not accept.
    ValueTag PeekTag() const;
    std::int32_t ReadInteger();                 // tags 2, 3, 4
    bool ReadBoolean();                         // tags 8, 9, or 7 "False"/"True"
    std::string ReadString();                   // tags 6, 12, 18, 20; wide and UTF-8 become 8-bit text
    std::string ReadIdent();                    // tag 7
    std::span<const std::uint8_t> ReadBinary(); // tag 10
    std::uint32_t ReadColor();                  // tags 2, 3, 4, or 7 with a colour name
    void SkipValue();                           // any tag, by its payload size

    // A collection value (tag 14): calls `item(index, *this)` once per item, after the item's list
    // tag; the callback reads the item's properties with ReadProperties.
    void ReadCollection(const std::function<void(int index, CollectionReader& reader)>& item);

    // Errors a property handler raises for names it does not know.
    [[noreturn]] static void PropertyDoesNotExist(const std::string& name); // "Property %s does not exist"
    [[noreturn]] static void InvalidPropertyPath();                         // "Invalid property path"
    [[noreturn]] static void InvalidPropertyValue();                        // "Invalid property value"

private:
    ValueTag readTag();
    void skipTagged(ValueTag tag);
    void readItems(const std::function<void(int, CollectionReader&)>& item);

    ByteReader in_;
    std::string className_, objectName_;
};

// Splits a dotted property name at its first dot: "Picture.Data" -> {"Picture", "Data"};
// a name without a dot gives {name, ""}.
std::pair<std::string_view, std::string_view> splitPropertyPath(std::string_view name);

class CollectionWriter {
public:
    // Resource header (with the class name in capitals as its name), signature, class and object names.
    CollectionWriter(const std::string& rootClass, const std::string& rootName);

    void PropertyName(const std::string& name);
    void Integer(std::int32_t v); // the smallest of tags 2, 3, 4
    void Boolean(bool v);
    void String(const std::string& s); // tag 6, or 12 past 255 bytes
    void Ident(const std::string& s);
    void Binary(std::span<const std::uint8_t> bytes);
    void Color(std::uint32_t color); // identifier when the colour has a name, else an integer
    void CollectionBegin();          // tag 14
    void ItemBegin();                // tag 1
    void ListEnd();                  // tag 0: ends an item's properties, a collection, or the root's properties

    // Closes the child list, fills in the resource header's data size and hands out the bytes.
    std::vector<std::uint8_t> Finish();

private:
    ByteWriter out_;
    std::size_t sizeAt_ = 0;
};
