// bz_pack --manifest FILE --archive FILE --index-source FILE [--build-root DIR] [--depfile FILE]
#include <iostream>

#include "tools/packer/archive_packer.h"

int main(int argc, char** argv) {
    PackOptions options;
    bool usable = argc % 2 == 1;
    for (int i = 1; usable && i + 1 < argc; i += 2) {
        std::string flag = argv[i];
        std::string value = argv[i + 1];
        if (flag == "--manifest") options.manifestPath = value;
        else if (flag == "--archive") options.archivePath = value;
        else if (flag == "--index-source") options.indexSourcePath = value;
        else if (flag == "--depfile") options.depfilePath = value;
        else if (flag == "--build-root") options.buildRoot = value;
        else usable = false;
    }
    if (!usable || options.manifestPath.empty() || options.archivePath.empty() || options.indexSourcePath.empty()) {
        std::cerr << "usage: bz_pack --manifest FILE --archive FILE --index-source FILE [--build-root DIR] [--depfile FILE]\n";
        return 2;
    }
    return runPacker(options, std::cerr);
}
