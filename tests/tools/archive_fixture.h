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
#include "tools/packer/archive_packer.h"

class ArchiveFixture : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("bzarchive-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        resetLogForTests();
        initLog(dir.string() + "/");
        enableLog();
    }

    void TearDown() override {
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder("");
        resetLogForTests();
        std::filesystem::remove_all(dir);
    }

    // Packs the members into <dir>/res/vidoda.dat and makes the process-wide index read it.
    void pack(const std::vector<PackMember>& members) {
        std::string error;
        ASSERT_TRUE(writeArchive(members, archiveFile(), rows, error)) << error;
        ArchiveIndex::instance().replaceTable(rows, "res/vidoda.dat");
        ArchiveIndex::instance().setBaseFolder(dir.string() + "/");
    }

    std::string archiveFile() const { return (dir / "res" / "vidoda.dat").string(); }

    std::string logText() const {
        std::ifstream in(dir / "bzlog.txt", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path dir;
    std::vector<ArchiveEntry> rows;
};
