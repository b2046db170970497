#pragma once
// Settings kept as "key = value" lines in small text files of the working directory. The
// program writes some of them itself; others are written by hand, so the reader accepts
// comments (";"), section headers ("[name]"), leading blanks and tabs, empty lines and any
// mix of CR and LF as line ends.
//
// Use one object per use: open, some reads, close; or create, some writes, close. Only the
// entries before the first section header are seen by reads and writes. Keys are compared
// without regard to ASCII letter case; of two equal keys the first one counts. Texts are
// CP1252; a file that begins with the UTF-8 byte-order mark is read and written back as
// UTF-8, converting keys and values at this boundary.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reef::settings {

class SettingsFile {
  public:
    SettingsFile() = default;
    // Closes a file that is still current (writing it when it was modified).
    ~SettingsFile();

    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Closes the current file first, then reads the named file whole. False when it does not
    // exist or cannot be read: reads then give their defaults, and writes are still accepted
    // and create the file at close.
    bool open(const std::string& path);

    // The value of the first visible entry with that key, without leading and trailing blanks
    // and tabs. An entry with an empty value gives "", not the default.
    std::string readString(std::string_view key, std::string_view defaultValue = {}) const;

    // The value of the matching entry read like atoi (12abc gives 12, abc gives 0), or the
    // default when no entry matches.
    std::int32_t readInteger(std::string_view key, std::int32_t defaultValue = 0) const;

    // Closes the current file first, then creates the named file empty at once (truncating an
    // existing one). False when it cannot be created; there is no current file then.
    bool create(const std::string& path);

    // Replaces the value of the visible entry with that key (the key takes the given letter
    // case) or adds the entry before the first section header. Ignored without a current file.
    void writeString(std::string_view key, std::string_view value);

    // Rewrites the file whole when something was written ("key = value" lines, CR LF after
    // every line), then forgets it. False only when such a rewrite failed.
    bool close();

  private:
    enum class ItemKind { Entry, Section, Comment };
    struct Item {
        ItemKind kind = ItemKind::Entry;
        std::string text;  // the key of an entry, the name of a section, a comment's text
        std::string value; // entries only, as it stands in the file
    };

    const Item* findEntry(std::string_view key) const;
    void parse(std::string_view bytes);

    std::vector<Item> items_;
    std::string path_;
    bool current_ = false; // open, created, or a name remembered from a failed open
    bool modified_ = false;
    bool utf8_ = false;
};

} // namespace reef::settings
