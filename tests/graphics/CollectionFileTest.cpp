// SPDX-License-Identifier: MIT
// The collection container: header checks, every value tag read or stepped over, dotted names,
// colour names, and how errors name the property they happened in.
#include "core/CollectionFile.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> header(const std::string& resName = "X") {
    std::vector<std::uint8_t> b = {0xFF, 0x0A, 0x00};
    b.insert(b.end(), resName.begin(), resName.end());
    b.insert(b.end(), {0, 0x30, 0x10, 0, 0, 0, 0, 'T', 'P', 'F', '0'});
    return b;
}

void add(std::vector<std::uint8_t>& b, std::initializer_list<int> bytes) {
    for (int v : bytes) b.push_back(static_cast<std::uint8_t>(v));
}
void addShort(std::vector<std::uint8_t>& b, const std::string& s) {
    b.push_back(static_cast<std::uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

std::string headerError(const std::vector<std::uint8_t>& bytes) {
    try {
        CollectionReader r(bytes);
        r.ReadHeader();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(CollectionFile, HeaderChecks) {
    auto ok = header();
    addShort(ok, "TThing");
    addShort(ok, "Thing1");
    CollectionReader r(ok);
    r.ReadHeader();
    EXPECT_EQ(r.RootClassName(), "TThing");
    EXPECT_EQ(r.RootName(), "Thing1");

    auto withFlags = header();
    add(withFlags, {0xF2, 2, 7}); // flags with bit 1, then an integer
    addShort(withFlags, "TThing");
    addShort(withFlags, "");
    CollectionReader f(withFlags);
    f.ReadHeader();
    EXPECT_EQ(f.RootClassName(), "TThing");

    auto badSig = header();
    badSig[badSig.size() - 1] = '1';
    auto longName = header(std::string(76, 'N'));
    addShort(longName, "T");
    addShort(longName, "");
    auto name75 = header(std::string(75, 'N'));
    addShort(name75, "T");
    addShort(name75, "");
    EXPECT_EQ(headerError({0xFF, 0x0B, 0x00, 0}), "Invalid stream format");
    EXPECT_EQ(headerError({0xFF, 0x0A}), "Invalid stream format");
    EXPECT_EQ(headerError(badSig), "Invalid stream format");
    EXPECT_EQ(headerError(longName), "Invalid stream format");
    EXPECT_EQ(headerError(name75), "(no error)");
    EXPECT_EQ(headerError({0xFF, 0x0A, 0x00, 'A', 0, 0x30}), "Stream read error");
}

TEST(CollectionFile, EveryTagIsSteppedOver) {
    // One root property per tag, then "Last" = 42: stepping over must land exactly on it.
    auto b = header();
    addShort(b, "TThing");
    addShort(b, "Thing1");
    const std::vector<std::vector<int>> values = {
        {1, 2, 5, 6, 1, 'x', 0}, // list of an int8 and a string
        {2, 0xFF},
        {3, 1, 2},
        {4, 1, 2, 3, 4},
        {5, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
        {6, 2, 'h', 'i'},
        {7, 3, 'a', 'b', 'c'},
        {8},
        {9},
        {10, 3, 0, 0, 0, 1, 2, 3},
        {11, 2, 'a', 'b', 1, 'c', 0},
        {12, 2, 0, 0, 0, 'x', 'y'},
        {13},
        {14, 2, 1, 1, 4, 'N', 'a', 'm', 'e', 6, 1, 'q', 0, 1, 0, 0}, // two items, the first numbered
        {15, 1, 2, 3, 4},
        {16, 1, 2, 3, 4, 5, 6, 7, 8},
        {17, 1, 2, 3, 4, 5, 6, 7, 8},
        {18, 2, 0, 0, 0, 'a', 0, 'b', 0},
        {19, 1, 2, 3, 4, 5, 6, 7, 8},
        {20, 1, 0, 0, 0, 'z'},
    };
    for (std::size_t i = 0; i < values.size(); ++i) {
        addShort(b, "P" + std::to_string(i));
        for (int v : values[i]) b.push_back(static_cast<std::uint8_t>(v));
    }
    addShort(b, "Last");
    add(b, {2, 42, 0, 0});
    CollectionReader r(b);
    r.ReadHeader();
    int last = 0, seen = 0;
    r.ReadProperties(r.RootName(), [&](const std::string& name, CollectionReader& rr) {
        ++seen;
        if (name == "Last")
            last = rr.ReadInteger();
        else
            rr.SkipValue();
    });
    r.ReadChildrenEnd();
    EXPECT_EQ(seen, static_cast<int>(values.size()) + 1);
    EXPECT_EQ(last, 42);
}

TEST(CollectionFile, ValueReadersAcceptTheirTags) {
    std::vector<std::uint8_t> b;
    add(b, {2, 0x80, 3, 0x00, 0x80, 4, 0xFF, 0xFF, 0xFF, 0x7F});             // integers
    add(b, {8, 9, 7, 4, 'T', 'R', 'U', 'E', 7, 5, 'f', 'a', 'l', 's', 'e'}); // booleans
    add(b, {6, 1, 'a', 12, 1, 0, 0, 0, 'b', 18, 2, 0, 0, 0, 0xE9, 0, 0x00, 0x20, 20, 3, 0, 0, 0, 0xC3, 0xA9, 'c'});
    add(b, {7, 5, 'c', 'l', 'R', 'e', 'd', 7, 9, 'c', 'l', 'B', 't', 'n', 'F', 'a', 'c', 'e', 4, 1, 2, 3, 0});
    CollectionReader r(b);
    EXPECT_EQ(r.ReadInteger(), -128);
    EXPECT_EQ(r.ReadInteger(), -32768);
    EXPECT_EQ(r.ReadInteger(), 0x7FFFFFFF);
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_EQ(r.ReadString(), "a");
    EXPECT_EQ(r.ReadString(), "b");
    EXPECT_EQ(r.ReadString(), "\xE9?"); // U+2000 has no 8-bit form
    EXPECT_EQ(r.ReadString(), "\xE9"
                              "c");
    EXPECT_EQ(r.ReadColor(), 0x0000FFu);
    EXPECT_EQ(r.ReadColor(), 0xFF00000Fu);
    EXPECT_EQ(r.ReadColor(), 0x030201u);
}

TEST(CollectionFile, WrongTagsAndErrorsNameTheirProperty) {
    struct Case {
        const char* what;
        std::vector<int> value;
        std::string error;
    };
    const Case cases[] = {
        {"string where an integer is wanted", {6, 1, 'x'}, "Error reading Obj.Count: Invalid property value"},
        {"64-bit integer for an int32",
         {19, 1, 2, 3, 4, 5, 6, 7, 8},
         "Error reading Obj.Count: Invalid property value"},
        {"integer cut short", {4, 1}, "Error reading Obj.Count: Stream read error"},
        {"unknown tag", {21}, "Error reading Obj.Count: Invalid property value"},
    };
    for (const auto& c : cases) {
        auto b = header();
        addShort(b, "T");
        addShort(b, "Obj");
        addShort(b, "Count");
        for (int v : c.value) b.push_back(static_cast<std::uint8_t>(v));
        add(b, {0, 0});
        CollectionReader r(b);
        r.ReadHeader();
        std::string error = "(no error)";
        try {
            r.ReadProperties(r.RootName(), [](const std::string&, CollectionReader& rr) { rr.ReadInteger(); });
        } catch (const EReadError& e) {
            error = e.what();
        }
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(CollectionFile, InnerErrorsAreNotWrappedTwice) {
    CollectionWriter w("TThing", "Root");
    w.PropertyName("List");
    w.CollectionBegin();
    w.ItemBegin();
    w.PropertyName("Name");
    w.String("first");
    w.PropertyName("Bogus");
    w.Integer(1);
    w.ListEnd();
    w.ListEnd();
    w.ListEnd();
    auto bytes = w.Finish();
    CollectionReader r(bytes);
    r.ReadHeader();
    std::string error;
    try {
        r.ReadProperties(r.RootName(), [](const std::string&, CollectionReader& rr) {
            rr.ReadCollection([](int, CollectionReader& ir) {
                std::string label;
                ir.ReadProperties(label, [&label](const std::string& name, CollectionReader& pr) {
                    if (name == "Name")
                        label = pr.ReadString();
                    else
                        CollectionReader::PropertyDoesNotExist(name);
                });
            });
        });
    } catch (const EReadError& e) {
        error = e.what();
    }
    EXPECT_EQ(error, "Error reading first.Bogus: Property Bogus does not exist");
}

TEST(CollectionFile, WriterOutputReadsBack) {
    CollectionWriter w("TThing", "Root");
    w.PropertyName("A");
    w.Integer(-5);
    w.PropertyName("B");
    w.Integer(300);
    w.PropertyName("C");
    w.Integer(-70000);
    w.PropertyName("D");
    w.String(std::string(300, 's'));
    w.PropertyName("E");
    w.Color(0x0000FF);
    w.PropertyName("F");
    w.Color(0x123456);
    w.PropertyName("G");
    w.Binary(std::vector<std::uint8_t>{9, 8});
    w.PropertyName("H");
    w.Boolean(true);
    w.ListEnd();
    auto bytes = w.Finish();
    // Resource header: the name is the class in capitals, and the size counts what follows it.
    ASSERT_GE(bytes.size(), 20u);
    EXPECT_EQ(std::string(bytes.begin() + 3, bytes.begin() + 9), "TTHING");
    const std::uint32_t size = static_cast<std::uint32_t>(bytes[12]) | (static_cast<std::uint32_t>(bytes[13]) << 8) |
                               (static_cast<std::uint32_t>(bytes[14]) << 16) |
                               (static_cast<std::uint32_t>(bytes[15]) << 24);
    EXPECT_EQ(size, bytes.size() - 16);

    CollectionReader r(bytes);
    r.ReadHeader();
    EXPECT_EQ(r.RootName(), "Root");
    std::vector<std::string> got;
    r.ReadProperties(r.RootName(), [&](const std::string& name, CollectionReader& rr) {
        if (name == "A" || name == "B" || name == "C")
            got.push_back(std::to_string(rr.ReadInteger()));
        else if (name == "D")
            got.push_back(std::to_string(rr.ReadString().size()));
        else if (name == "E" || name == "F")
            got.push_back(std::to_string(rr.ReadColor()));
        else if (name == "G")
            got.push_back(std::to_string(rr.ReadBinary().size()));
        else
            got.push_back(rr.ReadBoolean() ? "true" : "false");
    });
    r.ReadChildrenEnd();
    EXPECT_EQ(got,
              (std::vector<std::string>{"-5", "300", "-70000", "300", "255", std::to_string(0x123456), "2", "true"}));
}

TEST(CollectionFile, ColourNamesAndPaths) {
    EXPECT_EQ(colorFromIdent("clFuchsia"), 0xFF00FFu);
    EXPECT_EQ(colorFromIdent("CLNONE"), 0x1FFFFFFFu);
    EXPECT_EQ(colorFromIdent("clWindow"), 0xFF000005u);
    EXPECT_EQ(colorFromIdent("clPlaid"), std::nullopt);
    EXPECT_EQ(colorToIdent(0xFFFFFF), "clWhite");
    EXPECT_EQ(colorToIdent(0x123456), std::nullopt);
    EXPECT_EQ(splitPropertyPath("Picture.Data").first, "Picture");
    EXPECT_EQ(splitPropertyPath("Picture.Data").second, "Data");
    EXPECT_EQ(splitPropertyPath("Name").second, "");
    EXPECT_TRUE(samePropertyName("transparentCOLOR", "TransparentColor"));
}

} // namespace
