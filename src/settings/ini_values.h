// ReadIniValue and WriteIniValue: one key of the settings file, with the size limits
// of the fixed buffers the program has always read and written through.
#pragma once

#include <filesystem>
#include <string>

namespace tallyro::settings {

class ProfileFile;

// Writes the first 128 characters (code points) of value, up to a NUL if it holds one,
// creating the file, the section or the key as needed. Returns "" whatever happens;
// callers that need to know use tryWriteIniValue.
std::string WriteIniValue(const std::string& section, const std::string& key,
                          const std::string& value, const std::filesystem::path& file);

// WriteIniValue that reports success: false when the file could not be replaced or the
// value has no GBK form; the old file is then left untouched.
bool tryWriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                      const std::filesystem::path& file);

// The value as at most 127 bytes of GBK (a double-byte character that would be cut in
// half at the limit is left out), up to a NUL, with leading and trailing spaces
// removed. "" when the file, the section or the key is missing.
std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::filesystem::path& file);

// The same two, on a file already read, for callers that handle several keys with one
// read and one replace. setIniValue is false, changing nothing, where the write would
// fail for a reason other than the disk.
std::string iniValue(const ProfileFile& profile, const std::string& section,
                     const std::string& key);
bool setIniValue(ProfileFile& profile, const std::string& section, const std::string& key,
                 const std::string& value);

}  // namespace tallyro::settings
