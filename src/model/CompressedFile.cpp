#include "model/CompressedFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include <minizip/unzip.h>
#include <zlib.h>

#include "model/SafeFile.h"
#include "text/AsciiCase.h"

namespace tessarind {

namespace {

bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() > tail.size() &&
           SameTextIgnoringCase(std::string(text.substr(text.size() - tail.size())),
                                std::string(tail));
}

std::string LimitText(size_t limit) {
    return "it inflates past " + std::to_string(limit >> 20) + " MB";
}

// ---- A zip archive held in memory, read through minizip's file functions ----------------

struct MemoryZip {
    std::span<const uint8_t> bytes;
    uint64_t at = 0;
};

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int mode) {
    return (mode & ZLIB_FILEFUNC_MODE_WRITE) ? nullptr : opaque;
}
uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* zip = static_cast<MemoryZip*>(stream);
    if (zip->at >= zip->bytes.size()) return 0;
    const uLong n = static_cast<uLong>(std::min<uint64_t>(size, zip->bytes.size() - zip->at));
    std::memcpy(buffer, zip->bytes.data() + zip->at, n);
    zip->at += n;
    return n;
}
uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}
ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) {
    return static_cast<MemoryZip*>(stream)->at;
}
long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* zip = static_cast<MemoryZip*>(stream);
    uint64_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = zip->at;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = zip->bytes.size();
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    if (offset > zip->bytes.size() || base > zip->bytes.size() - offset) return -1;
    zip->at = base + offset;
    return 0;
}
int ZCALLBACK MemoryClose(voidpf, voidpf) {
    return 0;
}
int ZCALLBACK MemoryError(voidpf, voidpf) {
    return 0;
}

struct ZipCloser {
    void operator()(void* file) const { unzClose(file); }
};
using ZipHandle = std::unique_ptr<void, ZipCloser>;

// The archive at `path`, or the bytes in `memory` when the path is empty.
ZipHandle OpenZip(const std::string& path, MemoryZip& memory) {
    if (!path.empty()) return ZipHandle(unzOpen64(path.c_str()));
    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemoryOpen;
    functions.zread_file = MemoryRead;
    functions.zwrite_file = MemoryWrite;
    functions.ztell64_file = MemoryTell;
    functions.zseek64_file = MemorySeek;
    functions.zclose_file = MemoryClose;
    functions.zerror_file = MemoryError;
    functions.opaque = &memory;
    return ZipHandle(unzOpen2_64("", &functions));
}

// The current member's name and facts; false when the entry cannot be read.
bool CurrentMember(unzFile zip, std::string& name, unz_file_info64& info) {
    char buffer[1024];
    if (unzGetCurrentFileInfo64(zip, &info, buffer, sizeof buffer, nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return false;
    name.assign(buffer, strnlen(buffer, sizeof buffer));
    return true;
}

} // namespace

bool IsGzipPath(std::string_view path) {
    return EndsWithIgnoringCase(path, ".gz");
}

std::string WithoutGzipSuffix(std::string_view path) {
    return std::string(IsGzipPath(path) ? path.substr(0, path.size() - 3) : path);
}

bool IsZipPath(std::string_view path) {
    return EndsWithIgnoringCase(path, ".zip");
}

bool SplitZipMemberPath(const std::string& path, std::string& archive, std::string& member) {
    for (size_t slash = path.find('/'); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string head = path.substr(0, slash);
        if (!IsZipPath(head) || slash + 1 >= path.size()) continue;
        struct stat info {};
        if (::stat(head.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        archive = head;
        member = path.substr(slash + 1);
        return true;
    }
    return false;
}

bool InflateGzip(std::span<const uint8_t> compressed, std::vector<uint8_t>& out,
                 std::string& reason, size_t limit) {
    out.clear();
    if (compressed.size() < 2 || compressed[0] != 0x1F || compressed[1] != 0x8B) {
        reason = "it is no gzip file";
        return false;
    }
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        reason = "out of memory";
        return false;
    }
    stream.next_in = const_cast<Bytef*>(compressed.data());
    stream.avail_in = static_cast<uInt>(std::min<size_t>(compressed.size(), UINT32_MAX));
    size_t inputLeft = compressed.size() - stream.avail_in;
    // The trailer states the length (of the last member, modulo 4 GB): room for it at once.
    if (compressed.size() >= 18) {
        const uint8_t* tail = compressed.data() + compressed.size() - 4;
        const size_t stated = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (size_t{tail[3]} << 24);
        out.reserve(std::min(stated, limit));
    }
    std::vector<uint8_t> chunk(size_t{1} << 16);
    bool ok = true;
    for (;;) {
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        const int status = inflate(&stream, Z_NO_FLUSH);
        const size_t produced = chunk.size() - stream.avail_out;
        if (produced > limit - std::min(limit, out.size())) {
            reason = LimitText(limit);
            ok = false;
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(produced));
        if (stream.avail_in == 0 && inputLeft > 0) {
            const size_t more = std::min<size_t>(inputLeft, UINT32_MAX);
            stream.avail_in = static_cast<uInt>(more);
            inputLeft -= more;
        }
        if (status == Z_STREAM_END) {
            // Another member may follow; anything else after the end is damage.
            if (stream.avail_in == 0 && inputLeft == 0) break;
            if (stream.avail_in < 2 || stream.next_in[0] != 0x1F || stream.next_in[1] != 0x8B) {
                reason = "it holds data after the end of its compressed stream";
                ok = false;
                break;
            }
            inflateReset(&stream);
            continue;
        }
        if (status == Z_OK) continue;
        if (status == Z_BUF_ERROR && produced > 0) continue; // room again for the output
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && inputLeft == 0) {
            reason = "it is cut short";
        } else if (status == Z_DATA_ERROR) {
            reason = std::string("it is damaged (") + (stream.msg ? stream.msg : "bad data") + ")";
        } else {
            reason = "it cannot be inflated";
        }
        ok = false;
        break;
    }
    inflateEnd(&stream);
    if (!ok) out.clear();
    return ok;
}

std::vector<uint8_t> DeflateGzip(std::span<const std::span<const uint8_t>> pieces) {
    std::vector<uint8_t> out;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return out;
    std::vector<uint8_t> chunk(size_t{1} << 16);
    auto drain = [&](int flush) {
        int status = Z_OK;
        do {
            stream.next_out = chunk.data();
            stream.avail_out = static_cast<uInt>(chunk.size());
            status = deflate(&stream, flush);
            out.insert(out.end(), chunk.begin(),
                       chunk.end() - static_cast<ptrdiff_t>(stream.avail_out));
        } while (stream.avail_out == 0 && status != Z_STREAM_END);
    };
    for (std::span<const uint8_t> piece : pieces) {
        while (!piece.empty()) {
            const size_t n = std::min<size_t>(piece.size(), UINT32_MAX);
            stream.next_in = const_cast<Bytef*>(piece.data());
            stream.avail_in = static_cast<uInt>(n);
            drain(Z_NO_FLUSH);
            piece = piece.subspan(n);
        }
    }
    stream.avail_in = 0;
    drain(Z_FINISH);
    deflateEnd(&stream);
    return out;
}

bool ListZipMembers(const std::string& path, std::span<const uint8_t> bytes,
                    std::vector<std::string>& names, std::string& reason) {
    names.clear();
    MemoryZip memory{bytes};
    ZipHandle zip = OpenZip(path, memory);
    if (!zip) {
        reason = "it is no zip archive";
        return false;
    }
    int status = unzGoToFirstFile(zip.get());
    while (status == UNZ_OK) {
        std::string name;
        unz_file_info64 info{};
        if (!CurrentMember(zip.get(), name, info)) break;
        if (!name.empty() && name.back() != '/') names.push_back(std::move(name));
        status = unzGoToNextFile(zip.get());
    }
    if (status != UNZ_END_OF_LIST_OF_FILE) {
        reason = "its list of members is damaged";
        return false;
    }
    return true;
}

bool ReadZipMember(const std::string& path, std::span<const uint8_t> bytes,
                   const std::string& member, std::vector<uint8_t>& out, std::string& reason,
                   size_t limit) {
    out.clear();
    MemoryZip memory{bytes};
    ZipHandle zip = OpenZip(path, memory);
    if (!zip) {
        reason = "it is no zip archive";
        return false;
    }
    if (unzLocateFile(zip.get(), member.c_str(), 1) != UNZ_OK) {
        reason = "the archive holds no " + member;
        return false;
    }
    std::string name;
    unz_file_info64 info{};
    if (!CurrentMember(zip.get(), name, info)) {
        reason = "its list of members is damaged";
        return false;
    }
    if (info.flag & 1) {
        reason = member + " is encrypted";
        return false;
    }
    if (info.uncompressed_size > limit) {
        reason = member + " is larger than " + std::to_string(limit >> 20) + " MB";
        return false;
    }
    if (unzOpenCurrentFile(zip.get()) != UNZ_OK) {
        reason = member + " cannot be read";
        return false;
    }
    // The stated size is only a claim: the reading stops at the limit whatever it says.
    std::vector<uint8_t> chunk(size_t{1} << 16);
    bool ok = true;
    for (;;) {
        const int n =
            unzReadCurrentFile(zip.get(), chunk.data(), static_cast<unsigned>(chunk.size()));
        if (n == 0) break;
        if (n < 0) {
            reason =
                n == UNZ_CRCERROR ? member + " is damaged (CRC mismatch)" : member + " is damaged";
            ok = false;
            break;
        }
        if (static_cast<size_t>(n) > limit - std::min(limit, out.size())) {
            reason = member + ": " + LimitText(limit);
            ok = false;
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + n);
    }
    const int closed = unzCloseCurrentFile(zip.get());
    if (ok && closed != UNZ_OK) {
        reason =
            closed == UNZ_CRCERROR ? member + " is damaged (CRC mismatch)" : member + " is damaged";
        ok = false;
    }
    if (ok && out.size() != info.uncompressed_size) {
        reason = member + " is damaged (its length differs from the archive's)";
        ok = false;
    }
    if (!ok) out.clear();
    return ok;
}

bool ReadHostContainer(const std::string& path, std::vector<uint8_t>& out, bool& openFailed,
                       std::string& reason) {
    reason.clear();
    std::string archive, member;
    if (SplitZipMemberPath(path, archive, member)) {
        openFailed = false;
        return ReadZipMember(archive, {}, member, out, reason);
    }
    if (!IsGzipPath(path)) return ReadWholeFile(path, out, openFailed);
    std::vector<uint8_t> compressed;
    if (!ReadWholeFile(path, compressed, openFailed)) return false;
    return InflateGzip(compressed, out, reason);
}

} // namespace tessarind
