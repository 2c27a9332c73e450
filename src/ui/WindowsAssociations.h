#pragma once
// File associations where the system keeps them in its class registry: the extension keys
// and the four class identifiers under HKEY_CURRENT_USER\Software\Classes. Compiled only on
// Windows; elsewhere DesktopAssociations does this work.

#ifdef _WIN32

#include <string>
#include <vector>

#include "catalog/DesktopAssociations.h"

namespace tessarind {

class WindowsAssociations {
public:
    explicit WindowsAssociations(std::string program);

    const std::vector<AssociationKind>& kinds() const { return kinds_; }
    // The command the extension's class opens files with, as far as its last "%" and
    // without a quote right before it; empty for none.
    std::string CurrentProgram(const AssociationKind& kind) const;
    bool IsOurs(const std::string& currentProgram) const;
    void Associate(const AssociationKind& kind, bool force, bool associate);
    void RegisterClasses(bool always);
    void NotifyShell() const;
    void AssociateAll();
    void Apply(const std::vector<bool>& checked);

private:
    std::string program_;
    std::vector<AssociationKind> kinds_;
};

} // namespace tessarind

#endif
