// SPDX-License-Identifier: MIT
// The record, its encoding and the token, against vectors worked out independently.
#include "online/ResultEncoding.h"

#include <gtest/gtest.h>

namespace tw::online {
namespace {

TEST(ResultEncodingTest, BitsAndSymbolsOfShortTexts) {
    EXPECT_EQ(TextToBits("abc"), "011000010110001001100011");
    EXPECT_EQ(TextToBits(""), "");
    // Bytes above 127, as a damaged settings file may hold, still give their own eight bits.
    EXPECT_EQ(TextToBits("\xff\x80"), "1111111110000000");
    EXPECT_EQ(BitsToSymbols("1"), "W");
    EXPECT_EQ(BitsToSymbols("00000"
                            "11111"
                            "10000"),
              "Q0Z");
    EXPECT_EQ(BitsToSymbols("111111"), "W0"); // front-padded to ten bits
}

TEST(ResultEncodingTest, RecordsAndTheirEncoding) {
    struct Case {
        const char* name;
        std::uint16_t score;
        const char* token;
        const char* country;
        const char* record;
        const char* inf;
    };
    const Case cases[] = {
        // 50 characters already: no padding after "z=".
        {"Nemo", 120, "tok42", "nz", "type=0|name=Nemo|score=120|key=T|p=tok42|add=nz|z=",
         "KX72Q4S8UW9U73FHGB9B74FHH89PU36LKSCV5GSCUW9UM4F4PNDP37W8KX2MMHWCLXZMA4W8H48P39X8"},
        // Empty name, token and country still send their fields.
        {"", 0, "", "", "type=0|name=|score=0|key=T|p=|add=|z=000",
         "KX72Q4S8UW9U73FHGB92376RH84UDLSZLXNMD9S8DX9PQLF7GYCUALF7LA9VQGWZ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record);
        const std::string record = ResultRecord(c.name, c.score, c.token, c.country);
        EXPECT_EQ(record, c.record);
        EXPECT_EQ(EncodeRecord(record), c.inf);
    }
    EXPECT_EQ(ResultRecord("A", 65535, "t", "x"), "type=0|name=A|score=65535|key=T|p=t|add=x|z=0");
}

TEST(ResultEncodingTest, OnlyTypableCharactersOfNameAndCountryGoIntoTheRecord) {
    // A country edited into the settings file must not forge a field of its own.
    EXPECT_EQ(ResultRecord("Ne|mo\xe9", 5, "t", "x|score=65535"),
              "type=0|name=Nemo|score=5|key=T|p=t|add=xscore65535|z=00");
    EXPECT_EQ(TypableOnly(" 09AZaz!<>&=|\x7f\x80"), " 09AZaz");
}

TEST(ResultEncodingTest, TokenIsTheFifthField) {
    const std::string longField(300, 'x');
    const struct {
        std::string answer;
        std::optional<std::string> token;
    } cases[] = {
        {"OK|a|b|c|d|more", "d"},
        {"OK|a|b|c|d|", "d"},
        {"OK|a|b|c|d", ""},
        {"OK", ""},
        {"OK|||||", ""},
        // Long fields before the token do not shift the split.
        {"OK|" + longField + "|b|c|tok|", "tok"},
        {"OK|a|b|c|" + std::string(254, 't') + "|", std::string(254, 't')},
        {"OK|a|b|c|" + std::string(255, 't') + "|", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.substr(0, 40));
        EXPECT_EQ(TokenFromAnswer(c.answer), c.token);
    }
}

} // namespace
} // namespace tw::online
