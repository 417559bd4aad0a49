// A key chord that works while other programs have the keyboard: the boss key.
#pragma once

#include <functional>
#include <string>

namespace tallyro::platform {

// A key with the modifiers held for it, as written in config.ini ("Ctrl+Alt+Z").
struct KeyChord {
    bool ctrl = false, alt = false, shift = false, super = false;
    // "A" to "Z", "0" to "9", "F1" to "F12".
    std::string key;
    bool operator==(const KeyChord&) const = default;
};

class GlobalKeys {
public:
    virtual ~GlobalKeys() = default;
    // Takes the chord for the whole desktop; `pressed` runs on the user-interface
    // thread at every press. "" when it is taken, else why not (another program
    // holds it, the desktop offers no such thing), in a few words.
    virtual std::string grab(const KeyChord& chord, std::function<void()> pressed) = 0;
    // Gives the chord back.
    virtual void release() = 0;
};

}  // namespace tallyro::platform
