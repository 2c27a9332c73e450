#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "model/NameMatch.h"
#include "support/ImageBuilder.h"
#include "catalog/DirectoryListing.h"

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
    // Octal escapes: a hex escape would swallow the letters after it.
    for (const Case& c : {
             Case{"\307AME", "\147AME", true},
             Case{"\147AME", "\307AME", true},
             Case{"\332*", "\172ONE", true},
             Case{"G*", "\307AME", false}, // the unshifted letter is another character
             Case{"\300", "\140", false},  // only letters have two codes that match
             Case{"?AME", "\307AME", true},
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
             Case{"\307\301\315\305", "game", true},
             Case{"\307\301\315\305", "GAME", true},
             Case{"\147\141\155\145", "game", true},
             Case{"\147\141\155\145", "GAME", true},
             Case{"GAME", "GAME", true},
             Case{"GAME", "game", true},
             // Mixed case: as typed (host name, lower-case listing) or as the default
             // listing shows it; a third spelling is another name.
             Case{"\322E\316AMED", "ReNamed", true},
             Case{"\322E\316AMED", "rEnAMED", true},
             Case{"\322E\316AMED", "renamed", false},
             Case{"\322E\316AMED", "RENAMED", false},
             Case{"\322E\316AMED", "R*d", true},
             Case{"\307AME", "game", false},
             Case{"MY\244GAME", "MY_GAME", true},
             Case{"MY\244GAME", "my_game", true},
             // Up to a quote, where the listing closes the name, or whole.
             Case{"AB\"CD", "AB", true},
             Case{"AB\"CD", "AB\"CD", true},
             Case{"AB\"CD", "ABCD", false},
             // Codes without a character list as "?", which matches them.
             Case{"X\001\377Y", "X??Y", true},
             Case{"X\001\377Y", "X?Y", false},
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
            ASSERT_TRUE(
                AddFile(*image, {std::string(hex) + static_cast<char>(code) + "Z", 0x82, {}}));
        }
        for (bool lowerCase : {false, true}) {
            const std::vector<std::string> listed = ListedNames(*image, lowerCase);
            ASSERT_EQ(listed.size(), 0x70u);
            for (int i = 0; i < 0x70; ++i) {
                SCOPED_TRACE("code " + std::to_string(first + i) + " listed as " + listed[i] +
                             (lowerCase ? " (lower case)" : ""));
                std::vector<int> found;
                for (int e = 0; e < image->entryCount(); ++e)
                    if (MatchesTypedName(listed[static_cast<size_t>(i)], image->EntryAt(e).name()))
                        found.push_back(e);
                EXPECT_EQ(found, std::vector<int>{i});
            }
        }
    }
}

} // namespace
} // namespace tessarind
