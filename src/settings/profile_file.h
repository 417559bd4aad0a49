// A Windows-style profile file ("[Section]" lines and "key=value" lines), read and
// written one key at a time with the rules of the Windows profile functions.
//
// The file is GBK text on disk; names and values cross this API as UTF-8. Every line
// that a write does not need to change is kept byte for byte: comments, blank lines,
// lines that are not understood, and each line's own line ending.
//
// Rules a caller may rely on:
// - A line ends at "\r\n", "\n" or a lone "\r" (files saved by old editors); a
//   line added takes the file's first line ending. The old end-of-file mark 0x1A
//   ends the text: what follows it is kept, after the last line, but never read.
// - Section and key names match without regard to ASCII letter case, with blanks
//   (space, tab) around them ignored, in the file and in the arguments alike.
// - A value read has its surrounding blanks removed, then one pair of matching double
//   or single quotes around it. A value written reads back as written: one that has
//   blanks or such a pair of quotes around it is stored inside double quotes.
// - The first of duplicate sections, and the first of duplicate keys in it, wins for
//   reading and writing; later duplicates are kept but never seen.
// - Lines before the first section, lines starting with ';' or '#', and lines without
//   '=' are not keys. A line that holds only a key's name ("MainTop") reads as
//   missing; a write of that key, when the section has no real line for it, fills
//   that line in place. A line starting with '[' without a closing ']' is not a section
//   header. The name of a header runs to its last ']'.
// - A file starting with a UTF-8 byte-order mark is read and written as UTF-8 and
//   keeps its mark. A file starting with a UTF-16 mark is not understood: it reads as
//   empty and is never written over.
// - Bytes that are not valid text in the file's encoding read as U+FFFD.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyro::settings {

class ProfileFile {
public:
    // Takes the bytes of a profile file as they are on disk. Never fails: what it does
    // not understand it keeps as it is.
    explicit ProfileFile(std::string_view bytes = {});

    // Reads a file. A missing file (or a missing folder) gives an empty profile; a file
    // that exists but cannot be read gives nothing, so that it is never written over.
    static std::optional<ProfileFile> load(const std::filesystem::path& file);

    // The value of the key, or nothing when the section or the key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the key's value in place (filling a line that holds only its name),
    // or adds the key at the end of its section
    // (after the section's last non-blank line), or adds the section at the end of the
    // file. False, changing nothing, when a name is empty or holds a line break, NUL
    // or 0x1A, when the key holds '=' or starts with '[', ';' or '#', when the value
    // holds a line break, NUL or 0x1A, when the text has no form in the file's encoding, or when
    // the file's encoding is not understood.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    // The file as it would stand on disk.
    std::string bytes() const;

    // Replaces the file atomically: the bytes go to a temporary file in the same folder,
    // which is then renamed over the old one. On failure (folder missing or not
    // writable, disk full) the old file is left exactly as it was and false is returned.
    bool save(const std::filesystem::path& file) const;

private:
    enum class Encoding { Gbk, Utf8, Unsupported };
    struct Line {
        std::string text;  // bytes of the line without its line ending
        std::string eol;   // "\r\n", "\n", "\r", or "" for a last line without one
    };
    struct Location;

    Location locate(std::string_view section, std::string_view key) const;
    std::optional<std::string> encode(std::string_view utf8) const;
    std::string decode(std::string_view bytes) const;
    void ensureLineEnding(std::size_t line);

    Encoding encoding_ = Encoding::Gbk;
    std::string bom_;
    std::string newline_ = "\r\n";  // for lines this class adds: the file's own style
    std::vector<Line> lines_;
    std::string tail_;  // from the end-of-file mark on
};

// One-shot forms, as the Windows profile functions are used: each call reads the whole
// file, and a write replaces it atomically. readProfileString gives nothing when the
// file, section or key is missing or the file cannot be read.
std::optional<std::string> readProfileString(std::string_view section, std::string_view key,
                                             const std::filesystem::path& file);
bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::filesystem::path& file);

}  // namespace tallyro::settings
