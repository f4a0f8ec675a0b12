// Writes the resource archive and the source of its compiled-in index from a manifest.
//
// Manifest lines, in index order ('#' starts a comment line):
//   slots <count>                        the size of the index; unused positions stay empty
//   <index> <plain path> <source file>   a member; the source is relative to the manifest's folder
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/cipher.h"

struct ManifestEntry {
    size_t index = 0;
    std::string plainPath;
    std::string sourceFile;
};

struct Manifest {
    size_t slots = 0;
    std::vector<ManifestEntry> entries;
    std::vector<std::string> includedFiles;  // for the build's dependency scan
};

// Source files are resolved against the source root unless they are absolute; a source that begins
// "@build/" is a file the build generates, resolved against the build root. "include <file>" reads
// another list (relative to the source root); index order holds within each list and across all.
struct ManifestRoots {
    std::string source;
    std::string build;
};
bool parseManifest(const std::string& text, const ManifestRoots& roots, Manifest& out, std::string& error);
bool parseManifest(const std::string& text, const std::string& sourceRoot, Manifest& out, std::string& error);

// One index position with its contents; an empty plain path leaves the position unused.
struct PackMember {
    std::string plainPath;
    std::string bytes;
};

// Lays the manifest's members out by index position, reading each source file whole.
bool loadMembers(const Manifest& manifest, std::vector<PackMember>& members, std::string& error);

// A model opened by its plain path asks for its material library in the model's folder; opened by
// its digest name, it asks for the library by the bare name its "mtllib" line gives. So each such
// library is also stored under that bare name, behind all other positions.
bool addMaterialLibraryCopies(std::vector<PackMember>& members, std::vector<std::string>& warnings,
                              std::string& error);

// The stored form of one member: padded to whole blocks, each block's member offset added to its
// first little-endian word, then enciphered.
std::string encodeArchiveMember(const std::string& plain, const Cipher& cipher);

// Writes the members back to back from offset 0 and gives the index rows in the same order.
bool writeArchive(const std::vector<PackMember>& members, const std::string& archivePath,
                  std::vector<ArchiveEntry>& rows, std::string& error);

// The C++ source that defines the built-in index rows.
std::string archiveIndexSource(const std::vector<ArchiveEntry>& rows);

struct PackOptions {
    std::string manifestPath;
    std::string archivePath;
    std::string indexSourcePath;
    std::string buildRoot;    // where "@build/" sources lie
    std::string depfilePath;  // optional: the manifest and sources, for the build's dependency scan
};

// The whole run of the command line; 0 on success, messages on `log`.
int runPacker(const PackOptions& options, std::ostream& log);
