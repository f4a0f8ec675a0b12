#include <sstream>

#include "archive_fixture.h"

namespace {

using PackerTest = ArchiveFixture;

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(ManifestTest, ReadsSlotsAndMembersInIndexOrder) {
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest("# comment\n\nslots 6\n0 res/a.wav sounds/a.wav\n  4\tres/b.vs /abs/b.vs\n",
                              "/root/assets", manifest, error))
        << error;
    EXPECT_EQ(manifest.slots, 6u);
    ASSERT_EQ(manifest.entries.size(), 2u);
    EXPECT_EQ(manifest.entries[0].index, 0u);
    EXPECT_EQ(manifest.entries[0].plainPath, "res/a.wav");
    EXPECT_EQ(manifest.entries[0].sourceFile, "/root/assets/sounds/a.wav");
    EXPECT_EQ(manifest.entries[1].index, 4u);
    EXPECT_EQ(manifest.entries[1].sourceFile, "/abs/b.vs");
}

TEST(ManifestTest, RefusesLinesThatWouldMisplaceMembers) {
    const char* bad[] = {
        "1 res/a a\n1 res/b b\n",       // the same index twice
        "2 res/a a\n1 res/b b\n",       // out of order
        "0 res/a a\n1 res/a b\n",       // one path at two positions
        "slots 2\n2 res/a a\n",         // beyond the slots
        "slots 2\nslots 3\n",           // two sizes
        "0 res/a\n",                    // no source
        "x res/a a\n",                  // no number
        "-1 res/a a\n",
        "0 res/a a extra\n",
    };
    for (const char* text : bad) {
        Manifest manifest;
        std::string error;
        EXPECT_FALSE(parseManifest(text, "", manifest, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST_F(PackerTest, LaysMembersOutByIndexAndLeavesGapsEmpty) {
    writeFile(dir / "src" / "one.txt", "one");
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest("slots 4\n2 res/one.txt src/one.txt\n", dir.string(), manifest, error)) << error;
    std::vector<PackMember> members;
    ASSERT_TRUE(loadMembers(manifest, members, error)) << error;
    ASSERT_EQ(members.size(), 4u);
    EXPECT_EQ(members[2].plainPath, "res/one.txt");
    EXPECT_EQ(members[2].bytes, "one");
    EXPECT_EQ(members[0].plainPath, "");

    ASSERT_TRUE(parseManifest("0 res/gone.txt src/gone.txt\n", dir.string(), manifest, error));
    EXPECT_FALSE(loadMembers(manifest, members, error));
    EXPECT_NE(error.find("gone.txt"), std::string::npos);
}

TEST(MaterialCopiesTest, StoresEachLibraryUnderTheNameTheModelGives) {
    std::vector<PackMember> members = {
        {"res/table/a.obj", "o a\r\n  mtllib   shared.mtl\r\nv 0 0 0\n"},
        {"res/table/b.obj", "mtllib shared.mtl\nmtllib missing.mtl\n"},
        {"res/table/shared.mtl", "newmtl M\n"},
        {"top.obj", "mtllib top.mtl\n"},
        {"top.mtl", "newmtl T\n"},
        {"res/table/notes.txt", "mtllib ignored.mtl\n"},
    };
    std::vector<std::string> warnings;
    std::string error;
    ASSERT_TRUE(addMaterialLibraryCopies(members, warnings, error)) << error;
    ASSERT_EQ(members.size(), 7u);  // one copy for the two models; none for the model at the top
    EXPECT_EQ(members[6].plainPath, "shared.mtl");
    EXPECT_EQ(members[6].bytes, "newmtl M\n");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("res/table/missing.mtl"), std::string::npos);
}

TEST(MaterialCopiesTest, RefusesTwoLibrariesThatWouldShareOneName) {
    std::vector<PackMember> members = {
        {"res/a/m.obj", "mtllib m.mtl\n"}, {"res/a/m.mtl", "newmtl A\n"},
        {"res/b/m.obj", "mtllib m.mtl\n"}, {"res/b/m.mtl", "newmtl B\n"},
    };
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_FALSE(addMaterialLibraryCopies(members, warnings, error));
    EXPECT_NE(error.find("m.mtl"), std::string::npos);
}

TEST_F(PackerTest, CommandLineRunWritesArchiveIndexSourceAndDependencies) {
    writeFile(dir / "assets" / "models" / "ball.obj", "mtllib ball.mtl\n");
    writeFile(dir / "assets" / "models" / "ball.mtl", std::string(111, 'm'));
    writeFile(dir / "assets" / "manifest.txt",
              "slots 3\n0 res/table/ball.obj models/ball.obj\n2 res/table/ball.mtl models/ball.mtl\n");
    PackOptions options;
    options.manifestPath = (dir / "assets" / "manifest.txt").string();
    options.archivePath = (dir / "out" / "res" / "vidoda.dat").string();
    options.indexSourcePath = (dir / "out" / "archive_index.cpp").string();
    options.depfilePath = (dir / "out" / "archive.d").string();
    std::ostringstream messages;
    ASSERT_EQ(runPacker(options, messages), 0) << messages.str();
    EXPECT_EQ(messages.str(), "");

    // ball.obj (16), an empty slot, ball.mtl (112), then its copy under the bare name (112).
    EXPECT_EQ(std::filesystem::file_size(options.archivePath), 16u + 112u + 112u);
    std::string source = readFile(options.indexSourcePath);
    EXPECT_NE(source.find("{\"" + archiveDigestName("res/table/ball.obj") + "\", 0u, 16u},  // 0"),
              std::string::npos)
        << source;
    EXPECT_NE(source.find("{\"\", 16u, 0u},  // 1"), std::string::npos);
    EXPECT_NE(source.find("{\"" + archiveDigestName("ball.mtl") + "\", 128u, 111u},  // 3"), std::string::npos);
    EXPECT_NE(source.find("kBuiltInArchiveRowCount = 4;"), std::string::npos);
    EXPECT_EQ(source.find("res/table"), std::string::npos);  // no plain path in the program

    std::string deps = readFile(options.depfilePath);
    EXPECT_EQ(deps.rfind(options.archivePath + ": " + options.manifestPath, 0), 0u) << deps;
    EXPECT_NE(deps.find((dir / "assets" / "models" / "ball.mtl").string()), std::string::npos);

    // The archive reads back through the rows that the source states.
    ArchiveIndex::instance().replaceTable({{archiveDigestName("res/table/ball.mtl"), 16, 111}}, options.archivePath);
    BZFile library("res/table/ball.mtl");
    EXPECT_EQ(library.size(), 111u);
}

TEST_F(PackerTest, FailedRunNamesTheProblemAndLeavesNoArchive) {
    writeFile(dir / "manifest.txt", "0 res/a.txt missing.txt\n");
    PackOptions options;
    options.manifestPath = (dir / "manifest.txt").string();
    options.archivePath = (dir / "res" / "vidoda.dat").string();
    options.indexSourcePath = (dir / "index.cpp").string();
    std::ostringstream messages;
    EXPECT_EQ(runPacker(options, messages), 1);
    EXPECT_NE(messages.str().find("missing.txt"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(options.archivePath));
    EXPECT_FALSE(std::filesystem::exists(options.indexSourcePath));
}

TEST_F(PackerTest, IncludedListsAndBuildFilesJoinOneIndexOrder) {
    writeFile(dir / "sounds.txt", "0 res/a.wav @build/sounds/a.wav\n9 res/r.wav @build/sounds/r.wav\n");
    writeFile(dir / "pages.txt", "5 res/p.html html/p.html\n");
    Manifest manifest;
    std::string error;
    ASSERT_TRUE(parseManifest("slots 10\ninclude sounds.txt\ninclude pages.txt\n",
                              ManifestRoots{dir.string(), "/gen"}, manifest, error))
        << error;
    ASSERT_EQ(manifest.entries.size(), 3u);
    EXPECT_EQ(manifest.entries[0].sourceFile, "/gen/sounds/a.wav");
    EXPECT_EQ(manifest.entries[1].sourceFile, (dir / "html/p.html").string());
    EXPECT_EQ(manifest.entries[2].index, 9u);
    EXPECT_EQ(manifest.includedFiles.size(), 2u);

    writeFile(dir / "clash.txt", "5 res/q.html html/q.html\n");
    EXPECT_FALSE(parseManifest("include pages.txt\ninclude clash.txt\n", ManifestRoots{dir.string(), "/gen"},
                               manifest, error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    EXPECT_FALSE(parseManifest("include missing.txt\n", ManifestRoots{dir.string(), "/gen"}, manifest, error));
    EXPECT_FALSE(parseManifest("slots 4\ninclude nested.txt\n", ManifestRoots{dir.string(), "/gen"}, manifest, error));
}
