#pragma once
// The program as the opener of the kinds it knows, on a desktop that follows the XDG rules:
// a shared-mime-info package with one MIME type per kind, a desktop entry naming the types
// this program opens, and the default-application list, all under $XDG_DATA_HOME. What is
// associated now is asked of the system (xdg-mime), not of our own files.

#include <set>
#include <string>
#include <vector>

#include "model/FormatRegistry.h"

namespace tessarind {

// A kind that takes part: a format-registry row with flag bit 0.
struct AssociationKind {
    const FormatRow* row = nullptr;
    std::string mimeType; // "application/x-" and the extension without its dot
    std::string extension;
};

std::vector<AssociationKind> AssociationKinds();
// The shell class identifier of a view class: "Tessarind", "Tessarind.81", ".seq", ".t64".
std::string AssociationClass(int viewClass);
// The icon of a view class, by its name in the icon theme.
std::string AssociationIcon(int viewClass);

inline constexpr const char* kDesktopEntryName = "tessarind.desktop";

class DesktopAssociations {
public:
    // `program` is the path of the desktop program; `dataHome` empty means $XDG_DATA_HOME
    // (or ~/.local/share). `kinds` are the kinds AssociateAll and Apply go through.
    explicit DesktopAssociations(std::string program, std::string dataHome = {},
                                 std::vector<AssociationKind> kinds = AssociationKinds());
    const std::vector<AssociationKind>& kinds() const { return kinds_; }

    // The command of the program the system opens this kind with, as far as the last "%"
    // of its Exec line; empty for none.
    std::string CurrentProgram(const AssociationKind& kind) const;
    // Whether that program is this one (its path compared without regard to case).
    bool IsOurs(const std::string& currentProgram) const;

    // One kind: with `force` off a kind another program already opens is left as it is;
    // otherwise the kind becomes ours (`associate`) or is given up.
    void Associate(const AssociationKind& kind, bool force, bool associate);
    // Writes the MIME package and the desktop entry (only when missing unless `always`).
    void RegisterClasses(bool always);
    // Rebuilds the desktop's caches when its tools are present.
    void NotifyShell() const;

    // "-a": every kind nobody else opens becomes ours.
    void AssociateAll();
    // The dialog's OK: checked kinds become ours, unchecked ones that were ours are given
    // up, the others keep their owner. `checked` runs parallel to kinds().
    void Apply(const std::vector<bool>& checked);

    // The texts as written, for the install and the tests.
    static std::string MimePackage();
    // A desktop entry starting `exec` (a path or a name on PATH) for these MIME types.
    static std::string DesktopEntry(const std::string& exec,
                                    const std::vector<std::string>& mimeTypes);

    const std::string& dataHome() const { return dataHome_; }
    std::string MimePackagePath() const;
    std::string DesktopEntryPath() const;
    std::string DefaultsListPath() const;

private:
    std::string QueryDefault(const std::string& mimeType) const;
    void SetDefault(const std::string& mimeType, bool ours);

    std::string program_;
    std::string dataHome_;
    std::vector<AssociationKind> kinds_;
    std::set<std::string> ours_; // the MIME types our desktop entry names
};

} // namespace tessarind
