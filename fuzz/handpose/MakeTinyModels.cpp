// Writes the small models of every operator into a folder, as seeds for the
// model fuzz targets: make_tiny_models DIR
#include "support/TinyModels.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_tiny_models DIR\n");
        return 2;
    }
    for (const auto& [name, bytes] : vantor::testing::tinyModelsOfEveryOperator()) {
        std::ofstream file(std::string(argv[1]) + "/tiny-" + name + ".tflite", std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) return 1;
    }
    return 0;
}
