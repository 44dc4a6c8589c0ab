// SPDX-License-Identifier: MIT
// The named collection: bucket numbers, case-insensitive lookup, the later name winning, renaming
// and index upkeep.
#include "core/DXClass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

class Named : public THashCollectionItem {
public:
    explicit Named(THashCollection& c) : THashCollectionItem(c) {}
};

class Names : public THashCollection {
public:
    ~Names() override { Clear(); }
    THashCollectionItem* Add() { return &Append(std::make_unique<Named>(*this)); }
    THashCollectionItem* ItemAt(int i) const { return GetItem(i); }
};

TEST(HashCollection, BucketOfAName) {
    struct Case {
        std::string name;
        int bucket;
    };
    for (const auto& c : {Case{"", 0}, Case{"a", 16}, Case{"ab", (32 + 'a' + 'a') % 256},
                          Case{"Fish", (64 + 's' + 'f') % 256}, Case{"FISH", (64 + 's' + 'f') % 256},
                          Case{std::string(20, 'x'), (320 + 2 * 'x') % 256}, Case{"\xC4Z", (32 + 0xE4 + 0xE4) % 256}})
        EXPECT_EQ(nameBucket(c.name), c.bucket) << c.name;
}

TEST(HashCollection, LookupIgnoresCaseAndTheLaterNameWins) {
    Names c;
    c.Add()->SetName("hero");
    c.Add()->SetName("Fish1");
    c.Add()->SetName("FISH1");
    c.Add()->SetName("\xC4rger"); // accented capital: lower case is 0xE4
    EXPECT_EQ(c.IndexOf("HERO"), 0);
    for (const char* name : {"fish1", "Fish1", "FISH1", "fIsH1"}) EXPECT_EQ(c.IndexOf(name), 2) << name;
    EXPECT_EQ(c.IndexOf("\xE4RGER"), 3);
    EXPECT_EQ(c.IndexOf("fish"), -1);
    // Naming the earlier one again puts it in front.
    c.ItemAt(1)->SetName("fish1");
    EXPECT_EQ(c.IndexOf("FISH1"), 1);
}

TEST(HashCollection, RenameDeleteAndErrors) {
    Names c;
    for (const char* n : {"a", "b", "c", "d"}) c.Add()->SetName(n);
    c.ItemAt(1)->SetName("bee");
    EXPECT_EQ(c.IndexOf("b"), -1);
    EXPECT_EQ(c.IndexOf("BEE"), 1);
    c.Delete(0);
    EXPECT_EQ(c.Count(), 3);
    EXPECT_EQ(c.IndexOf("bee"), 0);
    EXPECT_EQ(c.IndexOf("d"), 2);
    EXPECT_EQ(c.ItemAt(2)->Index(), 2);
    EXPECT_EQ(c.IndexOf("a"), -1);
    for (int bad : {-1, 3}) {
        EXPECT_THAT([&] { c.ItemAt(bad); },
                    ThrowsMessage<EListError>(StrEq("List index out of bounds (" + std::to_string(bad) + ")")))
            << bad;
    }
}

} // namespace
