// A temporary folder with an archive that the packer writes, swapped in for the built-in index.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/log.h"
#include "support/captured_log.h"
#include "tools/packer/archive_packer.h"

class ArchiveFixture : public ::testing::Test {
protected:
    void TearDown() override {
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder("");
    }

    // Packs the members into <dir>/res/vidoda.dat and makes the process-wide index read it.
    void pack(const std::vector<PackMember>& members) {
        std::string error;
        ASSERT_TRUE(writeArchive(members, archiveFile(), rows, error)) << error;
        ArchiveIndex::instance().replaceTable(rows, "res/vidoda.dat");
        ArchiveIndex::instance().setBaseFolder(dir.string() + "/");
    }

    std::string archiveFile() const { return (dir / "res" / "vidoda.dat").string(); }

    std::string logText() const { return log.text(); }

    bztest::CapturedLog log{"bzarchive"};
    const std::filesystem::path& dir = log.dir();
    std::vector<ArchiveEntry> rows;
};
