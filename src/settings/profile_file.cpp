// Parsing, editing and atomic saving of profile files.
#include "settings/profile_file.h"

#include "text/gbk_codec.h"
#include "text/utf8.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <mutex>
#include <set>

namespace tallyro::settings {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t";
constexpr char kEndOfFileMark = '\x1A';
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names are compared as UTF-8, where every byte of a non-ASCII character is above
// 0x7F: folding ASCII letters can never touch part of a Chinese character. (In GBK it
// could, as trail bytes run from 0x40.)
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// A value whose blanks or quotes reading would take off is stored in double quotes,
// which reading takes off again, so that every value reads back as written.
std::string quotedIfNeeded(std::string value) {
    const std::string_view v = value;
    if (trimBlanks(v) == v && unquote(v) == v)
        return value;
    return '"' + value + '"';
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

// Takes the decoded (UTF-8) text of one line; the views point into it.
ParsedLine parseLine(std::string_view text) {
    ParsedLine parsed;
    const std::string_view t = trimBlanks(text);
    if (t.empty() || t.front() == ';' || t.front() == '#')
        return parsed;
    if (t.front() == '[') {
        const auto close = t.rfind(']');
        if (close != t.npos) {
            parsed.kind = LineKind::Section;
            parsed.name = trimBlanks(t.substr(1, close - 1));
        }
        return parsed;
    }
    const auto eq = t.find('=');
    if (eq == t.npos || trimBlanks(t.substr(0, eq)).empty())
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = trimBlanks(t.substr(0, eq));
    parsed.value = unquote(trimBlanks(t.substr(eq + 1)));
    return parsed;
}

// Bytes that would end the line or the file's text if written.
constexpr std::string_view kLineBreakOrNul{"\r\n\0\x1A", 4};

bool holdsLineBreakOrNul(std::string_view s) {
    return s.find_first_of(kLineBreakOrNul) != s.npos;
}

std::string replaceInvalidUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = text::utf8SequenceLength(s, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s, i, length);
            i += length;
        }
    }
    return out;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// A temporary file is named ".<file>.<pid>-<serial>.tmp", in the folder of the file.
std::string tempPrefix(const fs::path& target) {
    return "." + target.filename().string() + ".";
}

// Digits as std::to_string writes them: no sign, no leading zero.
bool isPlainNumber(std::string_view s) {
    return !s.empty() && s.size() <= 10 && s.find_first_not_of("0123456789") == s.npos &&
           (s.size() == 1 || s.front() != '0');
}

// The process that made a temporary file of this name, or 0 when the name is not
// exactly one that replaceFile gives.
pid_t tempFileOwner(std::string_view name, std::string_view prefix) {
    constexpr std::string_view kSuffix = ".tmp";
    if (!name.starts_with(prefix) || !name.ends_with(kSuffix))
        return 0;
    name = name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    const auto dash = name.find('-');
    if (dash == name.npos)
        return 0;
    const std::string_view pid = name.substr(0, dash);
    const std::string_view serial = name.substr(dash + 1);
    unsigned serialValue = 0;
    pid_t owner = 0;
    if (!isPlainNumber(pid) || !isPlainNumber(serial) ||
        std::from_chars(serial.data(), serial.data() + serial.size(), serialValue).ec !=
            std::errc() ||
        std::from_chars(pid.data(), pid.data() + pid.size(), owner).ec != std::errc()) {
        return 0;
    }
    return owner > 0 ? owner : 0;
}

// The temporary files this process is writing right now, which a save of the same
// file from another thread must not take for leftovers.
class TempFilesInUse {
public:
    explicit TempFilesInUse(fs::path path) : path_(std::move(path)) {
        const std::lock_guard lock(mutex_);
        paths_.insert(path_);
    }
    ~TempFilesInUse() {
        const std::lock_guard lock(mutex_);
        paths_.erase(path_);
    }
    TempFilesInUse(const TempFilesInUse&) = delete;
    TempFilesInUse& operator=(const TempFilesInUse&) = delete;
    static bool contains(const fs::path& path) {
        const std::lock_guard lock(mutex_);
        return paths_.contains(path);
    }

private:
    static inline std::mutex mutex_;
    static inline std::set<fs::path> paths_;
    fs::path path_;
};

// A save killed between creating its temporary file and the rename leaves that file,
// as large as the settings file, and nothing else would ever remove it. One whose
// process is gone is a leftover. So is one with our own process number that we are not
// writing now: an earlier run had the same number, or a save of ours could not remove
// it. A file of another live process may be that process's save under way and stays;
// so does anything not named exactly as ours, and anything that is not a plain file.
void removeLeftoverTempFiles(const fs::path& folder, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const pid_t owner = tempFileOwner(it->path().filename().string(), prefix);
        std::error_code gone;  // removed meanwhile, say: the scan goes on
        if (owner == 0 || !fs::is_regular_file(it->symlink_status(gone)))
            continue;
        const bool leftover = owner == ::getpid() ? !TempFilesInUse::contains(it->path())
                                                  : ::kill(owner, 0) != 0 && errno == ESRCH;
        if (leftover)
            ::unlink(it->path().c_str());
    }
}

// Writes a temporary file beside the target, flushes it to the disk and renames it
// over the target, so that at every moment the target is either the old file or the
// complete new one.
bool replaceFile(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    fs::path target = file;
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        target = fs::canonical(file, ec);  // write through the link, keep the link
        if (ec)
            return false;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // A file the user made read-only stays as it is, as it would under Windows.
    if (existed && ::access(target.c_str(), W_OK) != 0)
        return false;

    const std::string prefix = tempPrefix(target);
    removeLeftoverTempFiles(folder, prefix);

    // O_EXCL makes the name ours; a name taken by another thread or process is skipped.
    static std::atomic<unsigned> serial{0};
    const std::string stem = prefix + std::to_string(::getpid());
    fs::path temp;
    int fd = -1;
    std::optional<TempFilesInUse> inUse;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = folder / (stem + "-" + std::to_string(serial++) + ".tmp");
        inUse.emplace(temp);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;

    bool ok = writeAll(fd, bytes);
    if (ok && existed) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        [[maybe_unused]] const int ignored = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself only survives a power cut once the folder is flushed too.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return true;
}

}  // namespace

struct ProfileFile::Location {
    std::optional<std::size_t> header;  // the first header of the section
    std::optional<std::size_t> key;     // the first line of the key in that section
    std::optional<std::size_t> bare;    // the first line there holding only its name
    std::size_t lastContent = 0;        // the section's last non-blank line
};

ProfileFile::ProfileFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf8Bom)) {
        encoding_ = Encoding::Utf8;
        bom_ = kUtf8Bom;
        bytes.remove_prefix(kUtf8Bom.size());
    } else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        encoding_ = Encoding::Unsupported;  // UTF-16: kept whole, never interpreted
    }
    // 0x1A is no byte of a GBK or UTF-8 character, but may be one of UTF-16.
    if (const auto mark = bytes.find(kEndOfFileMark);
        mark != bytes.npos && encoding_ != Encoding::Unsupported) {
        tail_ = bytes.substr(mark);
        bytes = bytes.substr(0, mark);
    }
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find_first_of("\r\n", start);
        if (end == bytes.npos) {
            lines_.push_back({std::string(bytes.substr(start)), ""});
            break;
        }
        const std::size_t eol = bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        lines_.push_back(
            {std::string(bytes.substr(start, end - start)), std::string(bytes.substr(end, eol))});
        start = end + eol;
    }
    for (const Line& line : lines_) {
        if (!line.eol.empty()) {
            newline_ = line.eol;
            break;
        }
    }
}

std::optional<ProfileFile> ProfileFile::load(const fs::path& file) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (status.type() == fs::file_type::not_found)
        return ProfileFile{};
    if (ec || status.type() != fs::file_type::regular)
        return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes;
    std::array<char, 1 << 16> chunk;
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0)
        bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return std::nullopt;
    return ProfileFile(bytes);
}

std::optional<std::string> ProfileFile::encode(std::string_view utf8) const {
    if (encoding_ == Encoding::Gbk)
        return text::utf8ToGbk(utf8);
    if (encoding_ == Encoding::Utf8 && text::isValidUtf8(utf8))
        return std::string(utf8);
    return std::nullopt;
}

std::string ProfileFile::decode(std::string_view bytes) const {
    return encoding_ == Encoding::Gbk ? text::gbkToUtf8(bytes) : replaceInvalidUtf8(bytes);
}

ProfileFile::Location ProfileFile::locate(std::string_view section, std::string_view key) const {
    Location found;
    if (encoding_ == Encoding::Unsupported || section.empty() || key.empty())
        return found;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        // Only a line whose first byte after blanks is '[' can be a header, in GBK and
        // UTF-8 alike (blanks are never part of a character), and outside the section
        // asked for only headers matter: a large file is decoded line by line only
        // where it has to be.
        const std::string_view raw = trimBlanks(lines_[i].text);
        const bool maybeHeader = !raw.empty() && raw.front() == '[';
        if (!maybeHeader && (!found.header || found.key)) {
            if (found.header && !raw.empty())
                found.lastContent = i;
            continue;
        }
        const std::string text = decode(lines_[i].text);
        const ParsedLine parsed = parseLine(text);
        if (parsed.kind == LineKind::Section) {
            if (found.header)
                break;  // the end of the section
            if (sameName(parsed.name, section)) {
                found.header = i;
                found.lastContent = i;
            }
            continue;
        }
        if (!found.header)
            continue;
        if (!raw.empty())
            found.lastContent = i;
        if (parsed.kind == LineKind::Key && !found.key && sameName(parsed.name, key)) {
            found.key = i;
        } else if (parsed.kind == LineKind::Other && !found.bare &&
                   sameName(trimBlanks(text), key)) {
            found.bare = i;
        }
    }
    return found;
}

std::optional<std::string> ProfileFile::value(std::string_view section,
                                              std::string_view key) const {
    const Location found = locate(trimBlanks(section), trimBlanks(key));
    if (!found.key)
        return std::nullopt;
    const std::string text = decode(lines_[*found.key].text);
    return std::string(parseLine(text).value);
}

void ProfileFile::ensureLineEnding(std::size_t line) {
    if (lines_[line].eol.empty())
        lines_[line].eol = newline_;
}

bool ProfileFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    section = trimBlanks(section);
    key = trimBlanks(key);
    if (encoding_ == Encoding::Unsupported || section.empty() || key.empty())
        return false;
    if (holdsLineBreakOrNul(section) || holdsLineBreakOrNul(key) || holdsLineBreakOrNul(value)) {
        return false;
    }
    // Such a key would read back as another key, a comment or a section header.
    if (key.find('=') != key.npos || key.front() == '[' || key.front() == ';' ||
        key.front() == '#') {
        return false;
    }
    const auto fileSection = encode(section);
    const auto fileKey = encode(key);
    const auto encodedValue = encode(value);
    if (!fileSection || !fileKey || !encodedValue)
        return false;
    const std::string fileValue = quotedIfNeeded(*encodedValue);

    const Location found = locate(section, key);
    if (found.key) {
        // '=' is never part of a double-byte GBK character, so the first '=' byte is
        // the one the parser split at. Blanks after it stay, as the user laid them out.
        std::string& text = lines_[*found.key].text;
        std::size_t at = text.find('=') + 1;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        text.replace(at, text.npos, fileValue);
        return true;
    }
    if (found.bare) {
        std::string& text = lines_[*found.bare].text;
        text.erase(text.find_last_not_of(kBlanks) + 1);
        text += "=" + fileValue;
        return true;
    }
    const std::string keyLine = *fileKey + "=" + fileValue;
    if (found.header) {
        ensureLineEnding(found.lastContent);
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(found.lastContent) + 1,
                      Line{keyLine, newline_});
        return true;
    }
    if (!lines_.empty())
        ensureLineEnding(lines_.size() - 1);
    lines_.push_back({"[" + *fileSection + "]", newline_});
    lines_.push_back({keyLine, newline_});
    return true;
}

std::string ProfileFile::bytes() const {
    std::string out = bom_;
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    return out + tail_;
}

bool ProfileFile::save(const fs::path& file) const {
    return replaceFile(file, bytes());
}

std::optional<std::string> readProfileString(std::string_view section, std::string_view key,
                                             const fs::path& file) {
    const auto profile = ProfileFile::load(file);
    if (!profile)
        return std::nullopt;
    return profile->value(section, key);
}

bool writeProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const fs::path& file) {
    auto profile = ProfileFile::load(file);
    return profile && profile->setValue(section, key, value) && profile->save(file);
}

}  // namespace tallyro::settings
