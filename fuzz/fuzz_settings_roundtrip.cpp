// The settings file read, written and read again. The input is a file image, then
// two NUL bytes, then section, key and value choices separated by single NULs.
// Properties: an unchanged profile gives back its bytes; a refused write changes
// nothing; an accepted value reads back as written, from the profile and from its
// bytes, and writing what was read changes nothing read; other keys keep their
// values; a save and a load give the same bytes and the same values.
#include <unistd.h>

#include "require.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/ini_values.h"
#include "settings/profile_file.h"

using namespace tallyro::settings;
namespace fs = std::filesystem;

namespace {

using tallyro::fuzz::require;

struct Choice {
    std::string section, key, value;
};

// Names as the file matches them: blanks around them ignored, ASCII letters folded.
std::string matchForm(std::string_view name) {
    const auto first = name.find_first_not_of(" \t\r");
    if (first == name.npos)
        return {};
    name = name.substr(first, name.find_last_not_of(" \t\r") - first + 1);
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool sameKey(const Choice& a, const Choice& b) {
    return matchForm(a.section) == matchForm(b.section) && matchForm(a.key) == matchForm(b.key);
}

const fs::path& settingsFile() {
    static const fs::path file = tallyro::fuzz::scratchFile("config.ini");
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find(std::string_view("\0\0", 2));
    const std::string_view image = input.substr(0, split);
    std::vector<Choice> choices;
    if (split != input.npos) {
        std::vector<std::string> parts;
        std::string_view rest = input.substr(split + 2);
        for (;;) {
            const std::size_t nul = rest.find('\0');
            parts.emplace_back(rest.substr(0, nul));
            if (nul == rest.npos)
                break;
            rest.remove_prefix(nul + 1);
        }
        for (std::size_t i = 0; i + 2 < parts.size() && choices.size() < 8; i += 3)
            choices.push_back({parts[i], parts[i + 1], parts[i + 2]});
    }

    ProfileFile profile(image);
    require(profile.bytes() == image);
    for (const Choice& choice : choices) {
        ProfileFile changed = profile;
        if (!changed.setValue(choice.section, choice.key, choice.value)) {
            require(changed.bytes() == profile.bytes());
            continue;
        }
        const auto written = changed.value(choice.section, choice.key);
        require(written == choice.value);
        require(ProfileFile(changed.bytes()).value(choice.section, choice.key) == written);
        ProfileFile again = changed;
        require(again.setValue(choice.section, choice.key, *written));
        require(again.bytes() == changed.bytes());
        for (const Choice& other : choices) {
            if (!sameKey(other, choice)) {
                require(changed.value(other.section, other.key) ==
                        profile.value(other.section, other.key));
            }
        }
        profile = std::move(changed);
    }

    // Through the disk, with the wrappers of the fixed buffers.
    const fs::path& file = settingsFile();
    if (!profile.save(file))
        return 0;
    const auto loaded = ProfileFile::load(file);
    require(loaded && loaded->bytes() == profile.bytes());
    for (const Choice& choice : choices) {
        const std::string read = ReadIniValue(choice.section, choice.key, file);
        require(read == iniValue(profile, choice.section, choice.key));
        if (tryWriteIniValue(choice.section, choice.key, read, file))
            require(ReadIniValue(choice.section, choice.key, file) == read);
    }
    return 0;
}
