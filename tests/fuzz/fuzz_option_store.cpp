// Any bytes stored as the option value, loaded onto the defaults: a value of at most 2892 bytes
// replaces the start of the record and the rest keeps the defaults; a longer one is refused and
// every default stays. Saving what was loaded and loading it again gives the same 2892 bytes.
#include <stdlib.h>
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "FuzzFiles.h"
#include "options/OptionRecord.h"
#include "options/OptionStore.h"

namespace {
// The settings live in the scratch folder, never in the real user's.
const std::string& ValuePath() {
    static const std::string path = [] {
        const std::string root = FuzzScratchFolder();
        ::setenv("HOME", root.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        ::mkdir((root + "/config").c_str(), 0700);
        ::mkdir((root + "/config/VAZ").c_str(), 0700);
        ::mkdir((root + "/config/VAZ/Tillstream").c_str(), 0700);
        return root + "/config/VAZ/Tillstream/OptionData";
    }();
    return path;
}

std::string Bytes(const OptionRecord& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteFuzzFile(ValuePath(), data, size);
    const std::string stored(reinterpret_cast<const char*>(data), size);
    const std::string defaults = Bytes(MakeDefaultOptionRecord());

    OptionRecord record = MakeDefaultOptionRecord();
    const int32_t result = LoadStoredOptions(record, "fuzz");
    const std::string loaded = Bytes(record);
    if (size <= kOptionRecordSize) {
        FUZZ_CHECK(result == 0);
        FUZZ_CHECK(loaded.compare(0, size, stored) == 0);
        FUZZ_CHECK(loaded.compare(size, std::string::npos, defaults, size) == 0);
    } else {
        FUZZ_CHECK(result == -2);
        FUZZ_CHECK(loaded == defaults);
    }

    FUZZ_CHECK(SaveStoredOptions(record, "fuzz") == 0);
    FUZZ_CHECK(ReadFuzzFile(ValuePath()) == loaded);
    // Loaded onto a record that differs from it everywhere: every byte comes from the store.
    OptionRecord again;
    std::memset(&again, 0, sizeof again);
    for (std::size_t i = 0; i < sizeof again; ++i) {
        reinterpret_cast<unsigned char*>(&again)[i] =
            static_cast<unsigned char>(~static_cast<unsigned char>(loaded[i]));
    }
    FUZZ_CHECK(LoadStoredOptions(again, "fuzz") == 0);
    FUZZ_CHECK(Bytes(again) == loaded);
    return 0;
}
