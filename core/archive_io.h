// The model importer's file system, answered from the resource archive instead of the disk.
// The importer owns an ArchiveIOSystem once it is handed over with SetIOHandler; both classes come
// from assimp's own heap through their base classes, because assimp frees them.
#pragma once

#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>

#include "core/archive.h"

class ArchiveIOStream : public Assimp::IOStream {
public:
    explicit ArchiveIOStream(const std::string& name) : file_(name) {}
    ~ArchiveIOStream() override = default;

    // Whole items only: bytes that do not fill an item at the end are never delivered.
    size_t Read(void* buffer, size_t itemSize, size_t itemCount) override;
    // The archive is read-only.
    size_t Write(const void* buffer, size_t itemSize, size_t itemCount) override;
    aiReturn Seek(size_t offset, aiOrigin origin) override;
    size_t Tell() const override;
    size_t FileSize() const override;
    void Flush() override {}

private:
    BZFile file_;
};

class ArchiveIOSystem : public Assimp::IOSystem {
public:
    ArchiveIOSystem() : index_(&ArchiveIndex::instance()) {}
    ~ArchiveIOSystem() override = default;

    bool Exists(const char* file) const override;
    char getOsSeparator() const override { return '/'; }
    // Returns a stream even for a missing member; it is empty and the import fails on it.
    Assimp::IOStream* Open(const char* file, const char* mode = "rb") override;
    void Close(Assimp::IOStream* stream) override;

private:
    ArchiveIndex* index_;
};
