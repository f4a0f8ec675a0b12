#include "tools/packer/archive_packer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace {

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return false;
    out = bytes.str();
    return true;
}

// Writes through a temporary file so that a failed run never leaves a half-written output.
bool writeWholeFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::error_code ec;
    fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        if (!out.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    fs::rename(temporary, target, ec);
    if (ec) {
        error = "cannot rename " + temporary + " to " + path + ": " + ec.message();
        return false;
    }
    return true;
}

bool parseIndex(const std::string& field, size_t& out) {
    if (field.empty() || field.size() > 9) return false;
    size_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + size_t(c - '0');
    }
    out = value;
    return true;
}

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The material library names of a model's "mtllib" lines, as the importer reads them: the rest
// of the line after the blanks, without a carriage return.
std::vector<std::string> materialLibraryNames(const std::string& model) {
    std::vector<std::string> names;
    std::istringstream lines(model);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 6, "mtllib") != 0) continue;
        size_t afterKeyword = start + 6;
        if (afterKeyword >= line.size() || (line[afterKeyword] != ' ' && line[afterKeyword] != '\t')) continue;
        size_t nameStart = line.find_first_not_of(" \t", afterKeyword);
        if (nameStart != std::string::npos) names.push_back(line.substr(nameStart));
    }
    return names;
}

std::string escapeForDepfile(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#' || c == '\\') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

}  // namespace

namespace {

// One manifest file; `include` lines read further files relative to the same folder, so that each
// kind of asset keeps its own list. Index order is checked within one file and across all at the end.
bool parseManifestFile(const std::string& text, const ManifestRoots& roots, int depth, Manifest& manifest,
                       bool& haveSlots, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    size_t previousIndex = 0;
    bool havePrevious = false;
    for (size_t lineNumber = 1; std::getline(lines, line); ++lineNumber) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.empty() || words[0][0] == '#') continue;
        std::string where = "manifest line " + std::to_string(lineNumber) + ": ";

        if (words[0] == "slots") {
            if (depth > 0 || haveSlots || words.size() != 2 || !parseIndex(words[1], manifest.slots)) {
                error = where + "expected one \"slots <count>\" line in the main manifest";
                return false;
            }
            haveSlots = true;
            continue;
        }
        if (words[0] == "include") {
            std::string included;
            std::string path = words.size() == 2 ? (fs::path(roots.source) / words[1]).string() : std::string();
            if (words.size() != 2 || depth >= 4 || !readWholeFile(path, included)) {
                error = where + "cannot include " + (words.size() == 2 ? words[1] : std::string("(nothing)"));
                return false;
            }
            manifest.includedFiles.push_back(path);
            if (!parseManifestFile(included, roots, depth + 1, manifest, haveSlots, error)) {
                error = words[1] + ": " + error;
                return false;
            }
            continue;
        }
        ManifestEntry entry;
        if (words.size() != 3 || !parseIndex(words[0], entry.index)) {
            error = where + "expected \"<index> <plain path> <source file>\"";
            return false;
        }
        if (havePrevious && entry.index <= previousIndex) {
            error = where + "index " + words[0] + " is not above the one before";
            return false;
        }
        havePrevious = true;
        previousIndex = entry.index;
        entry.plainPath = words[1];
        const std::string buildPrefix = "@build/";
        fs::path source(words[2]);
        if (words[2].compare(0, buildPrefix.size(), buildPrefix) == 0)
            entry.sourceFile = (fs::path(roots.build) / words[2].substr(buildPrefix.size())).string();
        else
            entry.sourceFile = source.is_absolute() ? source.string() : (fs::path(roots.source) / source).string();
        manifest.entries.push_back(std::move(entry));
    }
    return true;
}

}  // namespace

bool parseManifest(const std::string& text, const ManifestRoots& roots, Manifest& out, std::string& error) {
    Manifest manifest;
    bool haveSlots = false;
    if (!parseManifestFile(text, roots, 0, manifest, haveSlots, error)) return false;
    std::stable_sort(manifest.entries.begin(), manifest.entries.end(),
                     [](const ManifestEntry& a, const ManifestEntry& b) { return a.index < b.index; });
    std::map<std::string, size_t> indexOfPath;
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
        const ManifestEntry& entry = manifest.entries[i];
        if (i > 0 && manifest.entries[i - 1].index == entry.index) {
            error = "manifest: index " + std::to_string(entry.index) + " is given twice";
            return false;
        }
        auto [previous, added] = indexOfPath.emplace(entry.plainPath, entry.index);
        if (!added) {
            error = "manifest: " + entry.plainPath + " is already at index " + std::to_string(previous->second);
            return false;
        }
    }
    if (haveSlots && !manifest.entries.empty() && manifest.entries.back().index >= manifest.slots) {
        error = "manifest: index " + std::to_string(manifest.entries.back().index) + " lies beyond " +
                std::to_string(manifest.slots) + " slots";
        return false;
    }
    out = std::move(manifest);
    return true;
}

bool parseManifest(const std::string& text, const std::string& sourceRoot, Manifest& out, std::string& error) {
    return parseManifest(text, ManifestRoots{sourceRoot, sourceRoot}, out, error);
}


bool loadMembers(const Manifest& manifest, std::vector<PackMember>& members, std::string& error) {
    size_t count = manifest.slots;
    if (!manifest.entries.empty()) count = std::max(count, manifest.entries.back().index + 1);
    std::vector<PackMember> laidOut(count);
    for (const ManifestEntry& entry : manifest.entries) {
        PackMember& member = laidOut[entry.index];
        member.plainPath = entry.plainPath;
        if (!readWholeFile(entry.sourceFile, member.bytes)) {
            error = "cannot read " + entry.sourceFile + " (for " + entry.plainPath + ")";
            return false;
        }
    }
    members = std::move(laidOut);
    return true;
}

bool addMaterialLibraryCopies(std::vector<PackMember>& members, std::vector<std::string>& warnings,
                              std::string& error) {
    std::map<std::string, size_t> byPath;
    for (size_t i = 0; i < members.size(); ++i) {
        if (!members[i].plainPath.empty()) byPath[members[i].plainPath] = i;
    }
    std::vector<PackMember> copies;
    std::map<std::string, size_t> copyByName;
    for (const PackMember& model : members) {
        if (!endsWith(model.plainPath, ".obj")) continue;
        size_t slash = model.plainPath.rfind('/');
        std::string folder = slash == std::string::npos ? "" : model.plainPath.substr(0, slash + 1);
        for (const std::string& name : materialLibraryNames(model.bytes)) {
            auto library = byPath.find(folder + name);
            if (library == byPath.end()) {
                warnings.push_back(model.plainPath + " names material library " + folder + name +
                                   ", which is not in the manifest");
                continue;
            }
            const std::string& bytes = members[library->second].bytes;
            const std::string* existing = nullptr;
            if (auto member = byPath.find(name); member != byPath.end()) {
                existing = &members[member->second].bytes;
            } else if (auto copy = copyByName.find(name); copy != copyByName.end()) {
                existing = &copies[copy->second].bytes;
            }
            if (existing && *existing != bytes) {
                error = model.plainPath + " asks for material library " + name +
                        ", which other models or members give other contents";
                return false;
            }
            if (existing) continue;
            copyByName[name] = copies.size();
            copies.push_back({name, bytes});
        }
    }
    for (PackMember& copy : copies) members.push_back(std::move(copy));
    return true;
}

std::string encodeArchiveMember(const std::string& plain, const Cipher& cipher) {
    std::string stored(plain);
    stored.resize(archivePaddedLength(plain.size()), '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(stored.data());
    for (uint64_t n = 0; n < stored.size(); n += kArchiveBlockSize) {
        uint8_t* block = bytes + n;
        archiveAddToFirstWord(block, uint32_t(n));
        cipher.encryptBlock(block);
    }
    return stored;
}

bool writeArchive(const std::vector<PackMember>& members, const std::string& archivePath,
                  std::vector<ArchiveEntry>& rows, std::string& error) {
    Cipher cipher(kArchiveKey);
    std::string archive;
    std::vector<ArchiveEntry> laidOut;
    for (const PackMember& member : members) {
        ArchiveEntry row;
        row.offset = archive.size();
        if (!member.plainPath.empty()) {
            row.name = archiveDigestName(member.plainPath);
            row.length = member.bytes.size();
            archive += encodeArchiveMember(member.bytes, cipher);
        }
        laidOut.push_back(std::move(row));
    }
    if (!writeWholeFile(archivePath, archive, error)) return false;
    rows = std::move(laidOut);
    return true;
}

std::string archiveIndexSource(const std::vector<ArchiveEntry>& rows) {
    std::ostringstream out;
    out << "// Written by the archive packer from the resource manifest at build time. Do not edit.\n"
        << "#include \"core/archive.h\"\n\n"
        << "const ArchiveRow kBuiltInArchiveRows[] = {\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        out << "    {\"" << rows[i].name << "\", " << rows[i].offset << "u, " << rows[i].length << "u},  // "
            << i << "\n";
    }
    // An array may not be empty; the count below is what readers go by.
    if (rows.empty()) out << "    {\"\", 0u, 0u},\n";
    out << "};\n\nconst size_t kBuiltInArchiveRowCount = " << rows.size() << ";\n";
    return out.str();
}

int runPacker(const PackOptions& options, std::ostream& log) {
    std::string text, error;
    if (!readWholeFile(options.manifestPath, text)) {
        log << "bz_pack: cannot read " << options.manifestPath << "\n";
        return 1;
    }
    Manifest manifest;
    std::vector<PackMember> members;
    std::vector<std::string> warnings;
    std::vector<ArchiveEntry> rows;
    ManifestRoots roots{fs::path(options.manifestPath).parent_path().string(),
                        options.buildRoot.empty() ? std::string(".") : options.buildRoot};
    bool ok = parseManifest(text, roots, manifest, error) && loadMembers(manifest, members, error) &&
              addMaterialLibraryCopies(members, warnings, error) &&
              writeArchive(members, options.archivePath, rows, error);
    for (const std::string& warning : warnings) log << "bz_pack: warning: " << warning << "\n";
    if (!ok) {
        log << "bz_pack: " << error << "\n";
        return 1;
    }

    // Rewritten only on a change, so that a new asset of the same size does not rebuild the library.
    std::string source = archiveIndexSource(rows), current;
    if ((!readWholeFile(options.indexSourcePath, current) || current != source) &&
        !writeWholeFile(options.indexSourcePath, source, error)) {
        log << "bz_pack: " << error << "\n";
        return 1;
    }
    if (!options.depfilePath.empty()) {
        std::string deps = escapeForDepfile(options.archivePath) + ": " + escapeForDepfile(options.manifestPath);
        for (const std::string& path : manifest.includedFiles) deps += " \\\n  " + escapeForDepfile(path);
        for (const ManifestEntry& entry : manifest.entries) deps += " \\\n  " + escapeForDepfile(entry.sourceFile);
        if (!writeWholeFile(options.depfilePath, deps + "\n", error)) {
            log << "bz_pack: " << error << "\n";
            return 1;
        }
    }
    return 0;
}
