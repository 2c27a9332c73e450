#include <gtest/gtest.h>

#include "support/ImageBuilder.h"
#include "catalog/DirectoryListing.h"

namespace tessarind {
namespace {

using testing::AddFile;
using testing::BlankD64;
using testing::Pattern;

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::unique_ptr<D64Image> TestDisk() {
    auto image = BlankD64("TEST DISK", "AB 2A");
    EXPECT_TRUE(AddFile(*image, {"GAME", 0x82, Pattern(12 * 254)}));
    EXPECT_TRUE(AddFile(*image, {"LOCKED", 0xC2, Pattern(12 * 254, 2)}));
    return image;
}

TEST(DirectoryListing, AsciiFormListsLikeTheDrive) {
    auto image = TestDisk();
    EXPECT_EQ(AsText(ListDirectory(*image, ListingForm::Ascii, false)),
              "0 \"TEST DISK       \" AB 2A\n"
              "12   \"GAME\"             PRG \n"
              "12   \"LOCKED\"           PRG<\n"
              "640 BLOCKS FREE.\n");
}

TEST(DirectoryListing, PetsciiFormKeepsRawBytesAndMarksReverse) {
    auto image = TestDisk();
    std::string text = AsText(ListDirectory(*image, ListingForm::Petscii, false));
    EXPECT_EQ(text.substr(0, 4), std::string("0 \x12\"", 4));
    EXPECT_NE(text.find("\"GAME\"             PRG \r"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 17), "640 BLOCKS FREE.\r");
    EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(DirectoryListing, LowerCaseModeSwapsLetterCase) {
    auto image = BlankD64("Disk", "ab 2a");
    AddFile(*image, {"\xC7" "AME", 0x81, Pattern(10)});
    EXPECT_EQ(AsText(ListDirectory(*image, ListingForm::Ascii, true)),
              "0 \"dISK            \" AB 2A\n"
              "1    \"Game\"             seq \n"
              "663 blocks free.\n");
}

TEST(DirectoryListing, EntryColumnsFollowTheNameAndFlags) {
    auto image = BlankD64("X");
    // A full 16-byte name has no closing 0xA0: the quote goes to column 22.
    AddFile(*image, {"ABCDEFGHIJKLMNOP", 0x01, Pattern(300)}); // open (splat) SEQ
    // A quote inside the name closes it; later padding is drawn as blanks.
    AddFile(*image, {"AB\"CD", 0x87, {}});
    std::vector<ListingRow> rows = ListingRows(*image);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(RowText(rows[1], ListingForm::Ascii, false), "2    \"ABCDEFGHIJKLMNOP\"*SEQ \n");
    EXPECT_EQ(RowText(rows[2], ListingForm::Ascii, false), "0    \"AB\"CD             ??? \n");
}

TEST(DirectoryListing, TypeNamesStopAtTheFormatsHighestCode) {
    EXPECT_STREQ(TypeName(4, 4), "REL");
    EXPECT_STREQ(TypeName(5, 4), "???");
    EXPECT_STREQ(TypeName(5, 6), "CBM");
    EXPECT_STREQ(TypeName(6, 6), "CMD");
    EXPECT_STREQ(TypeName(7, 7), "???");
}

TEST(DirectoryListing, DeletedEntriesListedOnlyWhenShown) {
    auto image = BlankD64("X");
    AddFile(*image, {"A", 0x82, Pattern(10)});
    DirEntry gone = AddFile(*image, {"GONE", 0x82, Pattern(10)});
    AddFile(*image, {"B", 0x82, Pattern(10)});
    gone.type() = 0;
    image->Refresh();
    EXPECT_EQ(ListingRows(*image).size(), 2u + 2u);
    image->SetShowDeleted(true);
    image->Refresh();
    // Every slot of the directory block is listed, the empty ones as DEL.
    std::vector<ListingRow> rows = ListingRows(*image);
    ASSERT_EQ(rows.size(), 8u + 2u);
    EXPECT_EQ(RowText(rows[2], ListingForm::Ascii, false), "1    \"GONE\"            *DEL \n");
}

TEST(DirectoryListing, EveryNameByteTakesOneColumnInEitherCharacterSet) {
    // The padding and the quote end a name; every other code shows as one character, so
    // the type column stays where it is.
    for (int code = 0; code < 256; ++code) {
        if (code == 0xA0 || code == '"') continue;
        std::array<uint8_t, kSlotSize> slot{};
        DirEntry entry(slot.data());
        entry.type() = 0x82;
        std::array<uint8_t, 16> name = testing::RawName("A?B");
        name[1] = static_cast<uint8_t>(code);
        std::copy(name.begin(), name.end(), entry.name().begin());
        for (bool lowerCase : {false, true}) {
            SCOPED_TRACE("code " + std::to_string(code) + (lowerCase ? " lower" : " upper"));
            const std::string text =
                RowText(EntryRow(slot.data(), 4), ListingForm::Ascii, lowerCase);
            ASSERT_EQ(text.size(), 29u);
            EXPECT_EQ(text.substr(5, 2), lowerCase ? "\"a" : "\"A");
            EXPECT_EQ(text.substr(8, 2), lowerCase ? "b\"" : "B\"");
            EXPECT_EQ(text.substr(24), lowerCase ? "prg \n" : "PRG \n");
            const char shown = text[7];
            EXPECT_TRUE(shown >= 0x20 && shown <= 0x7E);
            EXPECT_EQ(shown, ListingCharacter(static_cast<uint8_t>(code), lowerCase));
        }
    }
    EXPECT_EQ(ListingCharacter(0x0D, false), kListingReplacement);
    EXPECT_EQ(ListingCharacter(0xFF, false), kListingReplacement);
    EXPECT_EQ(ListingCharacter(0xC1, false), 'a');
    EXPECT_EQ(ListingCharacter(0xC1, true), 'A');
    EXPECT_EQ(ListingCharacter(0xA4, true), '_');
}

} // namespace
} // namespace tessarind
