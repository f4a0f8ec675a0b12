#include "tools/packer/archive_packer.h"

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

bool parseManifest(const std::string& text, const std::string& sourceRoot, Manifest& out, std::string& error) {
    Manifest manifest;
    std::map<std::string, size_t> lineOfPath;
    bool haveSlots = false;
    std::istringstream lines(text);
    std::string line;
    for (size_t lineNumber = 1; std::getline(lines, line); ++lineNumber) {
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;) words.push_back(word);
        if (words.empty() || words[0][0] == '#') continue;
        std::string where = "manifest line " + std::to_string(lineNumber) + ": ";

        if (words[0] == "slots") {
            if (haveSlots || words.size() != 2 || !parseIndex(words[1], manifest.slots)) {
                error = where + "expected one \"slots <count>\" line";
                return false;
            }
            haveSlots = true;
            continue;
        }
        ManifestEntry entry;
        if (words.size() != 3 || !parseIndex(words[0], entry.index)) {
            error = where + "expected \"<index> <plain path> <source file>\"";
            return false;
        }
        if (!manifest.entries.empty() && entry.index <= manifest.entries.back().index) {
            error = where + "index " + words[0] + " is not above the one before";
            return false;
        }
        auto [previous, added] = lineOfPath.emplace(words[1], lineNumber);
        if (!added) {
            error = where + words[1] + " is already on line " + std::to_string(previous->second);
            return false;
        }
        entry.plainPath = words[1];
        fs::path source(words[2]);
        entry.sourceFile = source.is_absolute() ? source.string() : (fs::path(sourceRoot) / source).string();
        manifest.entries.push_back(std::move(entry));
    }
    if (haveSlots && !manifest.entries.empty() && manifest.entries.back().index >= manifest.slots) {
        error = "manifest: index " + std::to_string(manifest.entries.back().index) + " lies beyond " +
                std::to_string(manifest.slots) + " slots";
        return false;
    }
    out = std::move(manifest);
    return true;
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
    std::string root = fs::path(options.manifestPath).parent_path().string();
    bool ok = parseManifest(text, root, manifest, error) && loadMembers(manifest, members, error) &&
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
        for (const ManifestEntry& entry : manifest.entries) deps += " \\\n  " + escapeForDepfile(entry.sourceFile);
        if (!writeWholeFile(options.depfilePath, deps + "\n", error)) {
            log << "bz_pack: " << error << "\n";
            return 1;
        }
    }
    return 0;
}
