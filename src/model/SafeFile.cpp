#include "model/SafeFile.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace tessarind {

WriteResult WriteWholeFile(const std::string& target, std::span<const uint8_t> bytes) {
    namespace fs = std::filesystem;
    static std::atomic<unsigned> counter{0};
    fs::path targetPath(target);
    fs::path temp = targetPath;
    temp += ".ts" + std::to_string(::getpid()) + "_" + std::to_string(counter++);

    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return WriteResult::CannotCreate;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = ::fsync(::fileno(f)) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    std::error_code ec;
    if (ok) {
        fs::rename(temp, targetPath, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp, ec);
        return WriteResult::WriteFailed;
    }
    return WriteResult::Ok;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, bool& openFailed) {
    openFailed = false;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        openFailed = true;
        return false;
    }
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long length = ok ? std::ftell(f) : -1;
    ok = ok && length >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(length));
        ok = out.empty() || std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    return ok;
}

} // namespace tessarind
