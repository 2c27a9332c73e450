#include "ui/WindowsAssociations.h"

#ifdef _WIN32

#include <shlobj.h>
#include <windows.h>

#include "text/AsciiCase.h"

namespace tessarind {

namespace {

const std::wstring kClasses = L"Software\\Classes\\";

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The default value of a key below the merged classes root; empty when there is none.
std::wstring DefaultValue(const std::wstring& key) {
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

bool KeyExists(const std::wstring& key) {
    HKEY handle = nullptr;
    if (key.empty() ||
        RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

void SetDefault(HKEY key, const wchar_t* subKey, const std::wstring& value) {
    RegSetKeyValueW(key, subKey, nullptr, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

} // namespace

WindowsAssociations::WindowsAssociations(std::string program)
    : program_(std::move(program)), kinds_(AssociationKinds()) {}

std::string WindowsAssociations::CurrentProgram(const AssociationKind& kind) const {
    const std::wstring identifier = DefaultValue(Wide(std::string(kind.row->extension)));
    if (identifier.empty()) return {};
    std::wstring command = DefaultValue(identifier + L"\\shell\\open\\command");
    const size_t percent = command.rfind(L'%');
    if (percent == std::wstring::npos) return {};
    command.resize(percent);
    if (!command.empty() && command.back() == L'"') command.pop_back();
    return Narrow(command);
}

bool WindowsAssociations::IsOurs(const std::string& currentProgram) const {
    return !program_.empty() && StartsWithIgnoringCase(currentProgram, program_);
}

void WindowsAssociations::Associate(const AssociationKind& kind, bool force, bool associate) {
    const std::wstring extension = Wide(std::string(kind.row->extension));
    HKEY key = nullptr;
    DWORD disposition = 0;
    // Keys that cannot be made are skipped.
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (kClasses + extension).c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return;
    if (disposition == REG_OPENED_EXISTING_KEY && !force && KeyExists(DefaultValue(extension))) {
        RegCloseKey(key);
        return;
    }
    SetDefault(key, nullptr,
               associate ? Wide(AssociationClass(kind.row->viewClass)) : std::wstring());
    RegCloseKey(key);
}

void WindowsAssociations::RegisterClasses(bool always) {
    static constexpr int kIcons[] = {0, -102, -103, -104};
    for (int viewClass = 0; viewClass < 4; ++viewClass) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        if (RegCreateKeyExW(HKEY_CURRENT_USER,
                            (kClasses + Wide(AssociationClass(viewClass))).c_str(), 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS)
            continue;
        if (disposition == REG_CREATED_NEW_KEY || always) {
            const std::wstring program = Wide(program_);
            SetDefault(key, L"DefaultIcon", program + L"," + std::to_wstring(kIcons[viewClass]));
            SetDefault(key, L"Shell\\Open\\Command", program + L" \"%1\"");
        }
        RegCloseKey(key);
    }
}

void WindowsAssociations::NotifyShell() const {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void WindowsAssociations::AssociateAll() {
    for (const AssociationKind& kind : kinds_)
        Associate(kind, false, true);
    RegisterClasses(true);
    NotifyShell();
}

void WindowsAssociations::Apply(const std::vector<bool>& checked) {
    for (size_t i = 0; i < kinds_.size(); ++i) {
        if (i < checked.size() && checked[i])
            Associate(kinds_[i], true, true);
        else if (IsOurs(CurrentProgram(kinds_[i])))
            Associate(kinds_[i], true, false);
        else
            Associate(kinds_[i], false, false);
    }
    NotifyShell();
    RegisterClasses(true);
}

} // namespace tessarind

#endif
