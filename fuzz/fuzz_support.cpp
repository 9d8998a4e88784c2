#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/message_box.h"

namespace {

int swallow(const platform::MessageBoxRequest&, void*) {
    return platform::kMessageBoxOk;
}

std::string gFolder;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(gFolder, ignored);
}

const std::string& folder() {
    if (gFolder.empty()) {
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        pattern += "/hopsasa-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("fuzz: cannot make a temporary folder");
            std::abort();
        }
        gFolder = pattern;
        std::atexit(removeFolder);
    }
    return gFolder;
}

}  // namespace

void swallowMessageBoxes() {
    platform::setMessageBoxSink(swallow, nullptr);
}

std::string writeInputFile(const std::string& name, const uint8_t* data, size_t size) {
    std::string path = folder() + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size)) {
        std::perror("fuzz: cannot write the input file");
        std::abort();
    }
    std::fclose(file);
    return path;
}
