#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model/NameMatch.h"
#include "support/ImageBuilder.h"
#include "text/DirectoryListing.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::RawName;

TEST(NameMatch, PatternsMatchEitherCodeOfAShiftedLetter) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    };
    for (const Case& c : {
             Case{"\xC7" "AME", "\x67" "AME", true},
             Case{"\x67" "AME", "\xC7" "AME", true},
             Case{"\xDA*", "\x7A" "ONE", true},
             Case{"G*", "\xC7" "AME", false}, // the unshifted letter is another character
             Case{"\xC0", "\x60", false},     // only letters have two codes that match
             Case{"?AME", "\xC7" "AME", true},
             Case{"*", "", true},
             Case{"A*C", "ABBC", true},
             Case{"A*C", "ABBD", false},
         }) {
        SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
        EXPECT_EQ(MatchesPattern(RawName(c.pattern), RawName(c.name)), c.matches);
    }
}

TEST(NameMatch, TypedNamesMatchAsListedOrAsHostNamesAre) {
    struct Case {
        const char* stored; // PETSCII
        const char* typed;
        bool matches;
    };
    for (const Case& c : {
             // Shifted letters: listed "game" in the upper-case set, "GAME" as host names.
             Case{"\xC7\xC1\xCD\xC5", "game", true},
             Case{"\xC7\xC1\xCD\xC5", "GAME", true},
             Case{"\x67\x61\x6D\x65", "game", true},
             Case{"\x67\x61\x6D\x65", "GAME", true},
             Case{"GAME", "GAME", true},
             Case{"GAME", "game", true},
             // Mixed case: as typed (host name, lower-case listing) or as the default
             // listing shows it; a third spelling is another name.
             Case{"\xD2" "E\xCE" "AMED", "ReNamed", true},
             Case{"\xD2" "E\xCE" "AMED", "rEnAMED", true},
             Case{"\xD2" "E\xCE" "AMED", "renamed", false},
             Case{"\xD2" "E\xCE" "AMED", "RENAMED", false},
             Case{"\xD2" "E\xCE" "AMED", "R*d", true},
             Case{"\xC7" "AME", "game", false},
             Case{"MY\xA4GAME", "MY_GAME", true},
             Case{"MY\xA4GAME", "my_game", true},
             // Up to a quote, where the listing closes the name, or whole.
             Case{"AB\"CD", "AB", true},
             Case{"AB\"CD", "AB\"CD", true},
             Case{"AB\"CD", "ABCD", false},
             // Codes without a character list as "?", which matches them.
             Case{"X\x01\xFFY", "X??Y", true},
             Case{"X\x01\xFFY", "X?Y", false},
             Case{"SEVENTEEN LETTER", "SEVENTEEN LETTERS", false},
         }) {
        SCOPED_TRACE(std::string(c.stored) + " / " + c.typed);
        EXPECT_EQ(MatchesTypedName(c.typed, RawName(c.stored)), c.matches);
    }
}

// The name of each entry line as the listing shows it: between the quotes.
std::vector<std::string> ListedNames(DiskImage& image, bool lowerCase) {
    std::vector<uint8_t> text = ListDirectory(image, ListingForm::Ascii, lowerCase);
    std::istringstream in(std::string(text.begin(), text.end()));
    std::vector<std::string> names;
    std::string line;
    std::getline(in, line); // the header
    while (std::getline(in, line)) {
        const size_t open = line.find('"');
        if (open == std::string::npos) break; // the free-blocks line
        names.push_back(line.substr(open + 1, line.find('"', open + 1) - open - 1));
    }
    return names;
}

TEST(NameMatch, EveryCodeInANameTypesBackFromEitherListingToItsOwnEntry) {
    // Each name: the code in hex (so the names differ elsewhere too), the code, "Z".
    for (int first : {0x20, 0x90}) {
        auto image = BlankD64("CODES");
        for (int code = first; code < first + 0x70; ++code) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", code);
            ASSERT_TRUE(AddFile(*image, {std::string(hex) + static_cast<char>(code) + "Z", 0x82, {}}));
        }
        for (bool lowerCase : {false, true}) {
            const std::vector<std::string> listed = ListedNames(*image, lowerCase);
            ASSERT_EQ(listed.size(), 0x70u);
            for (int i = 0; i < 0x70; ++i) {
                SCOPED_TRACE("code " + std::to_string(first + i) + " listed as " + listed[i] +
                             (lowerCase ? " (lower case)" : ""));
                std::vector<int> found;
                for (int e = 0; e < image->entryCount; ++e)
                    if (MatchesTypedName(listed[static_cast<size_t>(i)], image->EntryAt(e).name()))
                        found.push_back(e);
                EXPECT_EQ(found, std::vector<int>{i});
            }
        }
    }
}

} // namespace
} // namespace tessarind
