#include "catalog/DesktopAssociations.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "catalog/HostProgram.h"
#include "model/SafeFile.h"
#include "text/AsciiCase.h"

namespace tessarind {

namespace {

constexpr uint32_t kAssociationFlag = 0x1; // flag bit 0: the kind can be associated
constexpr const char* kDefaultsSection = "[Default Applications]";

std::string XmlEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

// A path as the Exec key wants it: quoted, with the characters the quoting reserves escaped,
// when it holds anything but plain characters.
std::string ExecQuoted(const std::string& program) {
    if (program.find_first_of(" \t\"'\\`$<>~|&;*?#()") == std::string::npos) return program;
    std::string out = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteText(const std::string& path, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return WriteWholeFile(path, std::span<const uint8_t>(bytes, text.size())) == WriteResult::Ok;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The folders desktop entries are looked for in, the user's first.
std::vector<std::filesystem::path> ApplicationFolders(const std::string& dataHome) {
    std::vector<std::filesystem::path> folders{std::filesystem::path(dataHome) / "applications"};
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string rest = (dirs && *dirs) ? dirs : "/usr/local/share:/usr/share";
    std::istringstream in(rest);
    for (std::string folder; std::getline(in, folder, ':');)
        if (!folder.empty()) folders.push_back(std::filesystem::path(folder) / "applications");
    return folders;
}

std::string ExecLine(const std::filesystem::path& desktopFile) {
    for (const std::string& line : Lines(ReadText(desktopFile)))
        if (line.rfind("Exec=", 0) == 0) return line.substr(5);
    return {};
}

} // namespace

std::vector<AssociationKind> AssociationKinds() {
    std::vector<AssociationKind> kinds;
    for (const FormatRow& row : FormatRegistry) {
        if (!(row.flags & kAssociationFlag) || row.extension.size() < 2) continue;
        const std::string bare(row.extension.substr(1));
        kinds.push_back({&row, "application/x-" + bare, bare});
    }
    return kinds;
}

std::string AssociationClass(int viewClass) {
    static constexpr const char* kSuffixes[] = {"", ".81", ".seq", ".t64"};
    return std::string("Tessarind") + kSuffixes[viewClass >= 0 && viewClass < 4 ? viewClass : 0];
}

std::string AssociationIcon(int viewClass) {
    static constexpr const char* kIcons[] = {"tessarind", "tessarind-81", "tessarind-seq",
                                             "tessarind-t64"};
    return kIcons[viewClass >= 0 && viewClass < 4 ? viewClass : 0];
}

DesktopAssociations::DesktopAssociations(std::string program, std::string dataHome,
                                         std::vector<AssociationKind> kinds)
    : program_(std::move(program)), dataHome_(std::move(dataHome)), kinds_(std::move(kinds)) {
    if (dataHome_.empty()) {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        const char* home = std::getenv("HOME");
        if (xdg && *xdg)
            dataHome_ = xdg;
        else
            dataHome_ = std::string(home ? home : "") + "/.local/share";
    }
    // The types our entry names are the ones we were given before.
    for (const std::string& line : Lines(ReadText(DesktopEntryPath()))) {
        if (line.rfind("MimeType=", 0) != 0) continue;
        std::istringstream in(line.substr(9));
        for (std::string type; std::getline(in, type, ';');)
            if (!type.empty()) ours_.insert(type);
    }
}

std::string DesktopAssociations::MimePackagePath() const {
    return dataHome_ + "/mime/packages/tessarind.xml";
}
std::string DesktopAssociations::DesktopEntryPath() const {
    return dataHome_ + "/applications/" + kDesktopEntryName;
}
std::string DesktopAssociations::DefaultsListPath() const {
    return dataHome_ + "/applications/mimeapps.list";
}

std::string DesktopAssociations::QueryDefault(const std::string& mimeType) const {
    std::optional<std::string> answer = RunHostProgram({"xdg-mime", "query", "default", mimeType});
    if (!answer) return {};
    while (!answer->empty() && (answer->back() == '\n' || answer->back() == ' '))
        answer->pop_back();
    return *answer;
}

std::string DesktopAssociations::CurrentProgram(const AssociationKind& kind) const {
    const std::string desktop = QueryDefault(kind.mimeType);
    if (desktop.empty()) return {};
    for (const std::filesystem::path& folder : ApplicationFolders(dataHome_)) {
        std::error_code ec;
        if (!std::filesystem::exists(folder / desktop, ec)) continue;
        std::string command = ExecLine(folder / desktop);
        // As far as the last "%", without a quote right before it.
        const size_t percent = command.rfind('%');
        if (percent != std::string::npos) {
            command.resize(percent);
            if (!command.empty() && command.back() == '"') command.pop_back();
        }
        return command.empty() ? desktop : command;
    }
    return desktop;
}

bool DesktopAssociations::IsOurs(const std::string& currentProgram) const {
    std::string_view text = currentProgram;
    if (!text.empty() && text.front() == '"') text.remove_prefix(1);
    return !program_.empty() && StartsWithIgnoringCase(text, program_);
}

void DesktopAssociations::SetDefault(const std::string& mimeType, bool ours) {
    // Only our own line for the type is added or removed; the rest of the list stays.
    const std::string prefix = mimeType + "=";
    std::vector<std::string> lines = Lines(ReadText(DefaultsListPath()));
    std::vector<std::string> out;
    bool inDefaults = false, sawSection = false, placed = false;
    for (const std::string& line : lines) {
        if (!line.empty() && line.front() == '[') {
            if (inDefaults && ours && !placed) {
                out.push_back(prefix + kDesktopEntryName);
                placed = true;
            }
            inDefaults = line == kDefaultsSection;
            sawSection = sawSection || inDefaults;
        } else if (inDefaults && line.rfind(prefix, 0) == 0) {
            const bool names_us = line.find(kDesktopEntryName) != std::string::npos;
            if (ours) {
                if (!placed) out.push_back(prefix + kDesktopEntryName);
                placed = true;
                continue;
            }
            if (names_us) continue;
        }
        out.push_back(line);
    }
    if (ours && !placed) {
        if (!sawSection) out.push_back(kDefaultsSection);
        out.push_back(prefix + kDesktopEntryName);
    }
    std::string text;
    for (const std::string& line : out)
        text += line + "\n";
    WriteText(DefaultsListPath(), text);
}

void DesktopAssociations::Associate(const AssociationKind& kind, bool force, bool associate) {
    if (!force) {
        // A type some installed program already opens keeps its owner.
        const std::string current = QueryDefault(kind.mimeType);
        if (!current.empty()) return;
    }
    if (associate)
        ours_.insert(kind.mimeType);
    else
        ours_.erase(kind.mimeType);
    SetDefault(kind.mimeType, associate);
}

std::string DesktopAssociations::MimePackage() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info "
                      "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const AssociationKind& kind : AssociationKinds()) {
        std::string upper = kind.extension;
        for (char& c : upper)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        xml += "  <mime-type type=\"" + kind.mimeType + "\">\n";
        xml += "    <comment>" + XmlEscaped(kind.row->displayName) + "</comment>\n";
        xml += "    <icon name=\"" + AssociationIcon(kind.row->viewClass) + "\"/>\n";
        xml += "    <glob pattern=\"*." + XmlEscaped(kind.extension) + "\"/>\n";
        if (upper != kind.extension) xml += "    <glob pattern=\"*." + XmlEscaped(upper) + "\"/>\n";
        xml += "  </mime-type>\n";
    }
    return xml + "</mime-info>\n";
}

std::string DesktopAssociations::DesktopEntry(const std::string& exec,
                                              const std::vector<std::string>& mimeTypes) {
    std::string types;
    for (const std::string& type : mimeTypes)
        types += type + ";";
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tessarind\n"
           "GenericName=Commodore Disk Image Editor\n"
           "Comment=Browse and edit Commodore 8-bit disk images, tapes and archives\n"
           "Exec=" +
           ExecQuoted(exec) +
           " %f\n"
           "Icon=tessarind\n"
           "Terminal=false\n"
           "Categories=Utility;\n"
           "MimeType=" +
           types + "\n";
}

void DesktopAssociations::RegisterClasses(bool always) {
    std::error_code ec;
    if (always || !std::filesystem::exists(MimePackagePath(), ec))
        WriteText(MimePackagePath(), MimePackage());
    if (always || !std::filesystem::exists(DesktopEntryPath(), ec))
        WriteText(DesktopEntryPath(), DesktopEntry(program_, {ours_.begin(), ours_.end()}));
}

void DesktopAssociations::NotifyShell() const {
    if (HostProgramExists("update-mime-database"))
        RunHostProgram({"update-mime-database", dataHome_ + "/mime"});
    if (HostProgramExists("update-desktop-database"))
        RunHostProgram({"update-desktop-database", dataHome_ + "/applications"});
}

void DesktopAssociations::AssociateAll() {
    for (const AssociationKind& kind : kinds_)
        Associate(kind, false, true);
    RegisterClasses(true);
    NotifyShell();
}

void DesktopAssociations::Apply(const std::vector<bool>& checked) {
    const std::vector<AssociationKind>& kinds = kinds_;
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (i < checked.size() && checked[i]) {
            Associate(kinds[i], true, true);
            continue;
        }
        // Unchecked: ours is given up; another program's stays. A type nobody opens has
        // nothing to clear but our stale lines, so it is cleared the same way.
        const std::string current = CurrentProgram(kinds[i]);
        if (current.empty() || IsOurs(current)) Associate(kinds[i], true, false);
    }
    // The entry names the new set before the caches are rebuilt from it.
    RegisterClasses(true);
    NotifyShell();
}

} // namespace tessarind
