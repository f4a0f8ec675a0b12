// The resource archive "res/vidoda.dat": its compiled-in index and the reader of one member.
//
// The archive has no header and no directory. Members lie back to back from byte 0, each padded to
// a multiple of 16 bytes and enciphered block by block; before a block is enciphered, its byte
// offset within the member is added to its first little-endian word. The index names each member
// by the SHA-256 digest of the archive key followed by the member's plain path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/cipher.h"
#include "core/sha256.h"

// The key text serves twice: as the prefix of every digested path and as the member cipher's key.
inline constexpr char kArchiveKey[] = "Qp3Lk:Wt7hRa2nVc";
inline constexpr char kArchivePath[] = "res/vidoda.dat";
inline constexpr uint64_t kArchiveBlockSize = 16;

// The stored length of a member of plain length `length`. Callers check that it did not wrap.
constexpr uint64_t archivePaddedLength(uint64_t length) {
    return (length + (kArchiveBlockSize - 1)) & ~(kArchiveBlockSize - 1);
}

// Adds `delta` (mod 2^32) to a block's first 32-bit word, taken little-endian: the packer adds the
// block's member offset before enciphering, the reader takes it off again after deciphering.
inline void archiveAddToFirstWord(uint8_t* block, uint32_t delta) {
    uint32_t word = uint32_t(block[0]) | uint32_t(block[1]) << 8 | uint32_t(block[2]) << 16 |
                    uint32_t(block[3]) << 24;
    word += delta;
    for (int i = 0; i < 4; ++i) block[i] = uint8_t(word >> (8 * i));
}

// The index name of a member: sha256Hex of the archive key immediately followed by the path.
inline std::string archiveDigestName(const std::string& plainPath) {
    return sha256Hex(std::string(kArchiveKey) + plainPath);
}

// One row of the index. An unused position has an empty name and is never found.
struct ArchiveEntry {
    std::string name;
    uint64_t offset = 0;
    uint64_t length = 0;
};

// The form in which the packer's generated source states the built-in rows.
struct ArchiveRow {
    const char* name;
    uint64_t offset;
    uint64_t length;
};

// Defined by the generated source that the archive packer writes at build time.
extern const ArchiveRow kBuiltInArchiveRows[];
extern const size_t kBuiltInArchiveRowCount;

class ArchiveIndex {
public:
    std::vector<std::string> names;  // entries[i].name, for the callers that take members by number
    std::string archivePath;         // relative to the base folder
    std::string archiveKey;
    std::vector<ArchiveEntry> entries;

    // The one index of the process, built from the compiled-in table on first use.
    static ArchiveIndex& instance();

    // Looks the name up exactly, entries in order. Outputs are untouched when it is not found.
    bool find(const std::string& name, std::string& path, uint64_t& offset, uint64_t& length,
              uint64_t& readLength) const;
    std::string digestName(const std::string& plainPath) const;
    // Deciphers whole 16-byte blocks in place and takes each block's member offset back out; the
    // bytes start at `memberOffset` (a multiple of 16) within their member.
    void decipher(uint8_t* bytes, uint64_t count, uint64_t memberOffset = 0) const;

    // The name at an index position, or the empty text past the end of the table.
    const std::string& nameAt(size_t position) const;

    // The executable's folder, ending with "/"; set once at start-up before the first member is read.
    void setBaseFolder(const std::string& folder);
    const std::string& baseFolder() const { return baseFolder_; }

    // Tests read archives of their own; the built-in table comes back with useBuiltInTable.
    void replaceTable(std::vector<ArchiveEntry> newEntries, const std::string& newArchivePath);
    void useBuiltInTable();

    ArchiveIndex(const ArchiveIndex&) = delete;
    ArchiveIndex& operator=(const ArchiveIndex&) = delete;

private:
    ArchiveIndex();

    std::string baseFolder_;
    Cipher cipher_;
};

// One member of the archive, read whole into memory and deciphered. Not copyable.
class BZFile {
public:
    // The name may be a stored member name or a plain path.
    explicit BZFile(const std::string& name);
    // Only the bytes [from, from + count) of the member, cut at its end: the calls below see them
    // as the whole file. Nothing else of the member is read.
    BZFile(const std::string& name, uint64_t from, uint64_t count);
    BZFile(const BZFile&) = delete;
    BZFile& operator=(const BZFile&) = delete;

    bool isOpen() const { return ok_; }
    // Hands out the buffer (no terminator) and returns the plain length; all bits set when not open.
    uint64_t data(const char** out) const;
    uint64_t read(void* destination, uint64_t n);
    // The next line without its line feed and one trailing carriage return; false at the end.
    bool getLine(std::string& out);
    // whence 0 from the start, 1 from the position, 2 from the end; wraps, so a negative offset in
    // two's complement moves backwards. 0 on success, -1 (position unchanged) otherwise.
    int seek(uint64_t offset, int whence);
    uint64_t tell() const;
    uint64_t size() const;

private:
    void open(const std::string& name, uint64_t from, uint64_t count);

    bool ok_ = false;
    std::unique_ptr<uint8_t[]> buffer_;
    uint64_t length_ = 0;
    uint64_t pos_ = 0;
};
