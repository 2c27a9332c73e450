#include "text/Petscii.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace tessarind {

namespace {

constexpr const char* kCodeNames[256] = {
    // $00-$1F: control codes
    "null", "ct a", "ct b", "ct c", "ct d", "white", "ct f", "ct g", "ct h", "ct i", "ct j", "ct k",
    "ct l", "return", "ct n", "ct o", "ct p", "down", "reverse on", "home", "delete", "ct u",
    "ct v", "ct w", "ct x", "ct y", "ct z", "027", "red", "right", "green", "blue",
    // $20-$3F
    " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/", "0", "1", "2",
    "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
    // $40-$5F: unshifted letters read as lower case in the listing font
    "@", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r",
    "s", "t", "u", "v", "w", "x", "y", "z", "[", "pound", "]", "^", "arrow left",
    // $60-$7F
    "096", "097", "098", "099", "100", "101", "102", "103", "104", "105", "106", "107", "108",
    "109", "110", "111", "112", "113", "114", "115", "116", "117", "118", "119", "120", "121",
    "122", "123", "124", "125", "126", "127",
    // $80-$9F: colours, cursor and function keys
    "128", "orange", "130", "131", "132", "f1", "f3", "f5", "f7", "f2", "f4", "f6", "f8", "141",
    "142", "143", "black", "up", "reverse off", "clear", "148", "brown", "pink", "dark gray",
    "gray", "light green", "light blue", "light gray", "156", "left", "yellow", "cyan",
    // $A0-$BF: Commodore-key and shifted graphics
    "sh space", "cm k", "cm i", "cm t", "cm @", "cm g", "cm +", "cm m", "cm pound", "sh pound",
    "cm n", "cm q", "cm d", "cm z", "cm s", "cm p", "cm a", "cm e", "cm r", "cm w", "cm h", "cm j",
    "cm l", "cm y", "cm u", "cm d", "sh @", "cm f", "cm c", "cm x", "cm v", "cm b",
    // $C0-$DF
    "sh asterisk", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P",
    "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "sh +", "cm -", "sh -", "222", "cm asterisk",
    // $E0-$FF
    "224", "225", "226", "227", "228", "229", "230", "231", "232", "233", "234", "235", "236",
    "237", "238", "239", "240", "241", "242", "243", "244", "245", "246", "247", "248", "249",
    "250", "251", "252", "253", "254", "pi"};

constexpr bool IsFileNameDrop(uint8_t c) {
    switch (c) {
    case 0x22:
    case 0x24:
    case 0x26:
    case 0x27:
    case 0x2A:
    case 0x2B:
    case 0x2C:
    case 0x2F:
        return true;
    default:
        return false;
    }
}

constexpr char SwapCase(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c;
}

constexpr bool IsAsciiLetter(uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

struct Converted {
    size_t written = 0;
    bool terminate = false; // whether a terminating zero belongs after the text
};

// The one conversion loop behind both PetsciiToAscii forms; `put` receives each character.
template <typename Put>
Converted Convert(std::span<const uint8_t> src, size_t capacity, bool fileNameMode,
                  bool useReplacement, bool keepCase, const Settings& settings, Put&& put) {
    size_t written = 0;
    for (uint8_t code : src) {
        const size_t room = capacity - written;
        if (room < 2) break;

        if (useReplacement) {
            if (const std::string* text = settings.FindSubstitution(code)) {
                // Leave room for the terminating zero; a cut-off replacement would read wrong.
                if (text->size() > room - 1) return {written, false};
                for (char c : *text)
                    put(c);
                written += text->size();
                continue;
            }
        }

        if (code < 0x20) {
            if (code == 0x09) {
                put('\t');
                ++written;
            } else if (code == 0x0D) {
                if (room < 3) break;
                put('\r');
                put('\n');
                written += 2;
            }
            continue;
        }
        if (code == 0xA4) {
            put('_');
            ++written;
            continue;
        }
        if (fileNameMode && IsFileNameDrop(code)) continue;

        uint8_t mapped = code;
        if (code >= 0xC0 && code <= 0xDF)
            mapped = static_cast<uint8_t>(code - 0x60);
        else if (code == 0xA0 || code == 0xE0)
            mapped = 0x20;
        if (mapped >= 0x7F) continue;

        char c = static_cast<char>(mapped);
        put(keepCase ? c : SwapCase(c));
        ++written;
    }
    return {written, capacity - written >= 1};
}

} // namespace

size_t PetsciiToAscii(std::span<const uint8_t> src, char* dest, size_t capacity, bool fileNameMode,
                      bool useReplacement, bool keepCase, const Settings& settings) {
    if (dest == nullptr) return 0;
    char* next = dest;
    const Converted result = Convert(src, capacity, fileNameMode, useReplacement, keepCase,
                                     settings, [&](char c) { *next++ = c; });
    if (result.terminate) dest[result.written] = '\0';
    return result.written;
}

std::string PetsciiToAscii(std::span<const uint8_t> src, bool fileNameMode, bool useReplacement,
                           bool keepCase, const Settings& settings) {
    std::string out;
    Convert(src, std::numeric_limits<size_t>::max(), fileNameMode, useReplacement, keepCase,
            settings, [&](char c) { out.push_back(c); });
    return out;
}

void AsciiToPetsciiName(std::span<uint8_t> buffer, bool keepLetters) {
    for (uint8_t& b : buffer) {
        if (IsAsciiLetter(b)) {
            // Lower case is the unshifted letter; upper case the shifted one, 0xC1-0xDA, as
            // shift and the letter give it on the machine (0x61-0x7A look the same but
            // cannot be typed there).
            if (keepLetters) continue;
            b = b >= 'a' ? static_cast<uint8_t>(b - 'a' + 'A')
                         : static_cast<uint8_t>(b - 'A' + 0xC1);
        } else if (b == 0x0A) {
            b = 0x0D;
        } else if (b == '_') {
            b = 0xA4;
        }
    }
}

std::array<uint8_t, 16> PetsciiName(std::string_view host) {
    std::array<uint8_t, 16> name;
    name.fill(0xA0);
    const size_t length = std::min(host.size(), name.size());
    std::memcpy(name.data(), host.data(), length);
    AsciiToPetsciiName(std::span<uint8_t>(name.data(), length), false);
    return name;
}

std::string HostFileName(std::span<const uint8_t> name, size_t capacity, const Settings& settings) {
    if (capacity == 0) return {};
    const auto end = std::find(name.begin(), name.end(), uint8_t{0xA0});
    const std::span<const uint8_t> cut(name.begin(), end);

    std::vector<char> buffer(capacity);
    const size_t length =
        PetsciiToAscii(cut, buffer.data(), capacity, true,
                       settings.On(SettingId::ReplaceFilenameChars), false, settings);

    std::string result(buffer.data(), length);
    // Characters no host file system accepts in a name.
    constexpr std::string_view kForbidden = "?\"/\\<>*|:";
    std::erase_if(result, [&](char c) { return kForbidden.find(c) != std::string_view::npos; });
    return result;
}

const char* BasTextCodeName(uint8_t code) {
    return kCodeNames[code];
}

namespace {

// The listing character of every code in both character sets, converted once: listings
// convert every byte of every name.
const std::array<char, 256>& ListingTable(bool lowerCase) {
    static const std::array<std::array<char, 256>, 2> characters = [] {
        std::array<std::array<char, 256>, 2> table{};
        for (int lower = 0; lower < 2; ++lower) {
            for (int c = 0; c < 256; ++c) {
                const auto petscii = static_cast<uint8_t>(c);
                char converted[4];
                const size_t n =
                    PetsciiToAscii(std::span<const uint8_t>(&petscii, 1), converted, sizeof converted,
                                   false, false, lower == 0, Settings::Defaults());
                // Control codes vanish, a carriage return becomes two characters: neither may
                // move the columns after it.
                const bool one = n == 1 && converted[0] >= 0x20 && converted[0] <= 0x7E;
                table[static_cast<size_t>(lower)][static_cast<size_t>(c)] =
                    one ? converted[0] : kListingReplacement;
            }
        }
        return table;
    }();
    return characters[lowerCase ? 1 : 0];
}

} // namespace

char ListingCharacter(uint8_t code, bool lowerCase) { return ListingTable(lowerCase)[code]; }

std::string ListingText(std::span<const uint8_t> bytes, bool lowerCase) {
    const std::array<char, 256>& table = ListingTable(lowerCase);
    std::string text(bytes.size(), ' ');
    for (size_t i = 0; i < bytes.size(); ++i) text[i] = table[bytes[i]];
    return text;
}

std::string ListedName(std::span<const uint8_t> name, bool lowerCase) {
    return ListingText(name.first(static_cast<size_t>(std::find(name.begin(), name.end(), 0xA0) - name.begin())),
                       lowerCase);
}

} // namespace tessarind
