// bz_assetgen OUTPUT_FOLDER: writes the models, materials and textures of the resource archive.
#include <exception>
#include <iostream>

#include "tools/assetgen/assetgen.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: bz_assetgen OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        std::string error;
        if (!assetgen::writeAssets(assetgen::generateAssets(), argv[1], error)) {
            std::cerr << "bz_assetgen: " << error << "\n";
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << "bz_assetgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
