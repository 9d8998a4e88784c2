#include "fuzz_support.h"

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/message_box.h"

void swallowMessageBoxes() {
    platform::setMessageBoxSink(
        [](const platform::MessageBoxRequest&, void*) { return platform::kMessageBoxOk; }, nullptr);
}

std::string writeInputFile(const std::string& name, const uint8_t* data, size_t size) {
    // A private folder, removed when the process ends:
    // the removal is registered after the string is made, so it runs before the string goes.
    static std::string folder;
    if (folder.empty()) {
        folder = std::filesystem::temp_directory_path() / "hopsasa-fuzz-XXXXXX";
        if (!mkdtemp(folder.data())) {
            std::perror("fuzz: cannot make a temporary folder");
            std::abort();
        }
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        });
    }
    const std::string path = folder + "/" + name;
    if (!std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), size)) {
        std::perror("fuzz: cannot write the input file");
        std::abort();
    }
    return path;
}
