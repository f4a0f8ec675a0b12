#include <cstring>

#include "archive_fixture.h"

namespace {

std::string bytesOf(size_t count, char seed) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i) bytes[i] = char(seed + i * 7);
    return bytes;
}

std::string contents(const BZFile& file) {
    const char* data = nullptr;
    uint64_t length = file.data(&data);
    return std::string(data, length);
}

uint32_t wordAt(const uint8_t* p) { return uint32_t(p[0]) | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }

using ArchiveTest = ArchiveFixture;

}  // namespace

TEST(ArchiveIndexTest, DigestNameIsSha256OfKeyAndPath) {
    EXPECT_EQ(ArchiveIndex::instance().digestName("res/lobby.html"),
              "1b08dc8fc117a386ec2539e008b0eafb4bb6dff18cc61ed32f0978b08b82f9f9");
}

TEST(ArchiveIndexTest, BuiltInTableMatchesTheArchiveBesideTheClient) {
    const ArchiveIndex& index = ArchiveIndex::instance();
    ASSERT_GE(index.entries.size(), 215u);
    ASSERT_EQ(index.names.size(), index.entries.size());
    uint64_t end = 0;
    for (size_t i = 0; i < index.entries.size(); ++i) {
        const ArchiveEntry& entry = index.entries[i];
        EXPECT_EQ(index.names[i], entry.name);
        EXPECT_TRUE(entry.name.empty() || entry.name.size() == 64) << i;
        EXPECT_EQ(entry.offset, end) << i;
        end = entry.offset + archivePaddedLength(entry.length);
    }
    EXPECT_EQ(std::filesystem::file_size(BZ_BUILT_ARCHIVE), end);
    EXPECT_EQ(index.nameAt(index.entries.size()), "");
    EXPECT_EQ(index.archivePath, "res/vidoda.dat");

    // Every member of the shipped archive deciphers whole from the folder of the client.
    std::string archive = BZ_BUILT_ARCHIVE;
    ArchiveIndex::instance().setBaseFolder(archive.substr(0, archive.size() - index.archivePath.size()));
    for (const ArchiveEntry& entry : index.entries) {
        if (entry.name.empty()) continue;
        BZFile member(entry.name);
        EXPECT_TRUE(member.isOpen()) << entry.name;
        EXPECT_EQ(member.size(), entry.length);
    }
    ArchiveIndex::instance().setBaseFolder("");
}

TEST_F(ArchiveTest, MembersOpenByStoredNameAndByPlainPath) {
    std::string first = bytesOf(16 * 3, 'a');
    std::string small = bytesOf(111, 'x');
    pack({{"res/first.bin", first}, {"", ""}, {"res/small.txt", small}});

    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].offset, 0u);
    EXPECT_EQ(rows[1].offset, 48u);  // a whole number of blocks takes no padding
    EXPECT_EQ(rows[1].name, "");
    EXPECT_EQ(rows[2].offset, 48u);
    EXPECT_EQ(rows[2].length, 111u);
    EXPECT_EQ(std::filesystem::file_size(archiveFile()), 48u + 112u);

    std::string path;
    uint64_t offset = 7, length = 7, readLength = 7;
    EXPECT_FALSE(ArchiveIndex::instance().find("res/small.txt", path, offset, length, readLength));
    EXPECT_EQ(offset + length + readLength, 21u);  // untouched when not found
    ASSERT_TRUE(ArchiveIndex::instance().find(rows[2].name, path, offset, length, readLength));
    EXPECT_EQ(path, dir.string() + "/res/vidoda.dat");
    EXPECT_EQ(readLength, 112u);

    BZFile byName(rows[0].name);
    ASSERT_TRUE(byName.isOpen());
    EXPECT_EQ(contents(byName), first);

    BZFile byPath("res/small.txt");
    ASSERT_TRUE(byPath.isOpen());
    EXPECT_EQ(byPath.size(), 111u);
    EXPECT_EQ(contents(byPath), small);

    // An unused position has no name, and the empty name opens nothing.
    EXPECT_FALSE(BZFile("").isOpen());
    EXPECT_FALSE(BZFile(ArchiveIndex::instance().nameAt(1)).isOpen());
    EXPECT_EQ(logText(), "");
}

TEST_F(ArchiveTest, EachBlockCarriesItsMemberOffsetUnderTheCipher) {
    std::string zeros(48, '\0');
    pack({{"res/pad.bin", "abc"}, {"res/zeros.bin", zeros}});

    std::ifstream in(archiveFile(), std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(raw.size(), 16u + 48u);
    Cipher cipher(kArchiveKey);
    uint8_t block[16];
    for (uint32_t n : {0u, 16u, 32u}) {
        std::memcpy(block, raw.data() + 16 + n, 16);
        cipher.decryptBlock(block);
        EXPECT_EQ(wordAt(block), n) << "block at member offset " << n;
        EXPECT_EQ(wordAt(block + 4), 0u);
    }

    std::string stored = encodeArchiveMember(zeros, cipher);
    ArchiveIndex::instance().decipher(reinterpret_cast<uint8_t*>(stored.data()), stored.size());
    EXPECT_EQ(stored, zeros);
    BZFile file("res/zeros.bin");
    EXPECT_EQ(contents(file), zeros);
}

TEST_F(ArchiveTest, ReadStopsAtTheEndOfTheMember) {
    pack({{"m", "0123456789abcde"}});
    BZFile file("m");
    char out[16] = {};
    EXPECT_EQ(file.read(out, 10), 10u);
    EXPECT_EQ(file.read(out, 10), 5u);
    EXPECT_EQ(std::string(out, 5), "abcde");
    EXPECT_EQ(file.read(out, 10), 0u);
    EXPECT_EQ(file.tell(), 15u);
}

TEST_F(ArchiveTest, GetLineSplitsOnLineFeedAndDropsOneCarriageReturn) {
    pack({{"crlf", "a\r\n\nb"}, {"twoCr", "x\r\r\nlast\n"}, {"empty", ""}});
    std::string line = "stale";
    BZFile crlf("crlf");
    EXPECT_TRUE(crlf.getLine(line));
    EXPECT_EQ(line, "a");
    EXPECT_TRUE(crlf.getLine(line));
    EXPECT_EQ(line, "");
    EXPECT_TRUE(crlf.getLine(line));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(crlf.getLine(line));
    EXPECT_EQ(line, "");

    BZFile twoCr("twoCr");
    EXPECT_TRUE(twoCr.getLine(line));
    EXPECT_EQ(line, "x\r");
    EXPECT_TRUE(twoCr.getLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(twoCr.getLine(line));

    BZFile empty("empty");
    ASSERT_TRUE(empty.isOpen());
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_FALSE(empty.getLine(line));
}

TEST_F(ArchiveTest, SeekStaysWithinTheMember) {
    pack({{"m", "0123456789"}});
    BZFile file("m");
    char out[4];
    EXPECT_EQ(file.seek(10, 0), 0);
    EXPECT_EQ(file.read(out, 4), 0u);
    EXPECT_EQ(file.seek(11, 0), -1);
    EXPECT_EQ(file.tell(), 10u);
    EXPECT_EQ(file.seek(0, 3), -1);
    EXPECT_EQ(file.seek(uint64_t(-4), 2), 0);  // backwards from the end
    EXPECT_EQ(file.tell(), 6u);
    EXPECT_EQ(file.seek(uint64_t(-2), 1), 0);
    EXPECT_EQ(file.tell(), 4u);
    EXPECT_EQ(file.seek(uint64_t(-5), 1), -1);  // before the start wraps past the end
    EXPECT_EQ(file.seek(1, 2), -1);
    EXPECT_EQ(file.tell(), 4u);
    EXPECT_EQ(file.read(out, 2), 2u);
    EXPECT_EQ(std::string(out, 2), "45");
}

TEST_F(ArchiveTest, AStretchOfAMemberReadsAsThoseBytesOfTheWhole) {
    const std::string whole = bytesOf(100, 'q');
    pack({{"before", bytesOf(7, 'b')}, {"m", whole}});
    // Aligned and unaligned ends, inside one block, across blocks, cut at the member's end, past it.
    const struct {
        uint64_t from, count;
    } cases[] = {{0, 100}, {0, 16}, {16, 32}, {3, 5}, {15, 2}, {17, 70}, {90, 50}, {100, 4}, {250, 4}};
    for (const auto& c : cases) {
        BZFile part("m", c.from, c.count);
        ASSERT_TRUE(part.isOpen()) << c.from << "+" << c.count;
        EXPECT_EQ(contents(part), whole.substr(std::min<uint64_t>(c.from, 100), c.count)) << c.from << "+" << c.count;
        char out[4];
        EXPECT_EQ(part.read(out, 4), std::min<uint64_t>(4, part.size()));
    }
    EXPECT_EQ(logText(), "");
}

TEST_F(ArchiveTest, MemberNotFoundAnswersEveryCallAsClosed) {
    pack({{"m", "x"}});
    BZFile file("res/absent.txt");
    EXPECT_FALSE(file.isOpen());
    const char* data = reinterpret_cast<const char*>(&file);
    EXPECT_EQ(file.data(&data), ~uint64_t(0));
    EXPECT_EQ(data, reinterpret_cast<const char*>(&file));
    char out[4];
    EXPECT_EQ(file.read(out, 4), 0u);
    std::string line = "stale";
    EXPECT_FALSE(file.getLine(line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(file.seek(0, 0), -1);
    EXPECT_EQ(file.tell(), ~uint64_t(0));
    EXPECT_EQ(file.size(), 0u);
    EXPECT_EQ(logText(), "");
}

TEST_F(ArchiveTest, MissingArchiveOpensNothingSilently) {
    pack({{"m", "x"}});
    std::filesystem::remove(archiveFile());
    EXPECT_FALSE(BZFile("m").isOpen());
    EXPECT_EQ(logText(), "");
}

TEST_F(ArchiveTest, MemberPastTheEndOfATruncatedArchiveIsNotOpened) {
    pack({{"first", bytesOf(20, 'a')}, {"second", bytesOf(5, 'b')}});
    std::filesystem::resize_file(archiveFile(), 32 + 15);  // the second member's last byte is gone

    EXPECT_TRUE(BZFile("first").isOpen());
    BZFile second("second");
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.size(), 0u);
    EXPECT_NE(logText().find("BZFile: ERROR: Too few bytes read."), std::string::npos) << logText();
}

TEST_F(ArchiveTest, IndexRowsAreCheckedAgainstTheFileBeforeAnythingIsRead) {
    pack({{"m", bytesOf(32, 'a')}});
    std::string name = rows[0].name;
    const uint64_t huge = uint64_t(1) << 62;
    // An offset past the end, a length past the end, an offset + length that wraps, and a length
    // whose padding wraps to a small read: none may be read or allocated.
    std::vector<ArchiveEntry> bad = {{name, 48, 16}, {name, 0, huge}, {name, ~uint64_t(0) - 15, 32},
                                     {name, 0, ~uint64_t(0) - 3}};
    for (const ArchiveEntry& entry : bad) {
        ArchiveIndex::instance().replaceTable({entry}, "res/vidoda.dat");
        BZFile file(name);
        EXPECT_FALSE(file.isOpen()) << entry.offset << " " << entry.length;
    }
    std::string text = logText();
    size_t lines = 0;
    for (size_t at = text.find("Too few bytes read."); at != std::string::npos;
         at = text.find("Too few bytes read.", at + 1)) {
        ++lines;
    }
    EXPECT_EQ(lines, bad.size());
}
