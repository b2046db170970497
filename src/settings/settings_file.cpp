#include "settings/settings_file.h"

#include "platform/files.h"
#include "text/cp1252.h"
#include "text/integer_text.h"

namespace reef::settings {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// A zero byte ends a line as well: it cannot be part of a text the program passes on, and
// treating it as a line end loses nothing else of a damaged file.
bool isLineEnd(char c) {
    return c == '\r' || c == '\n' || c == '\0';
}

// A line end or zero inside a written key or value would split it into lines of its own when
// the file is read again; it becomes a blank.
std::string singleLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (isLineEnd(c)) {
            c = ' ';
        }
    }
    return line;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

SettingsFile::~SettingsFile() {
    close();
}

bool SettingsFile::open(const std::string& path) {
    close();
    path_ = path;
    current_ = true;
    std::optional<std::string> bytes = platform::readFileBytes(path);
    if (!bytes) {
        return false;
    }
    std::string_view rest = *bytes;
    if (rest.size() > 2 && rest.substr(0, 3) == kByteOrderMark) {
        utf8_ = true;
        rest.remove_prefix(3);
    }
    parse(rest);
    return true;
}

void SettingsFile::parse(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t end = bytes.size();
    while (i < end) {
        while (i < end && isBlank(bytes[i])) {
            ++i;
        }
        std::size_t lineEnd = i;
        while (lineEnd < end && !isLineEnd(bytes[lineEnd])) {
            ++lineEnd;
        }
        const std::string_view line = bytes.substr(i, lineEnd - i);
        if (!line.empty()) {
            Item item;
            if (line.front() == ';') {
                std::string_view text = line.substr(1);
                if (!text.empty() && text.front() == ' ') {
                    text.remove_prefix(1);
                }
                item.kind = ItemKind::Comment;
                item.text = text;
            } else if (line.front() == '[') {
                const std::string_view name = line.substr(1);
                item.kind = ItemKind::Section;
                item.text = name.substr(0, name.find(']'));
            } else {
                const std::size_t equals = line.find('=');
                std::string_view key = line.substr(0, equals);
                while (!key.empty() && isBlank(key.back())) {
                    key.remove_suffix(1);
                }
                item.kind = ItemKind::Entry;
                item.text = key;
                if (equals != std::string_view::npos) {
                    std::string_view value = line.substr(equals + 1);
                    while (!value.empty() && isBlank(value.front())) {
                        value.remove_prefix(1);
                    }
                    item.value = value;
                }
            }
            items_.push_back(std::move(item));
        }
        i = lineEnd;
        while (i < end && isLineEnd(bytes[i])) {
            ++i;
        }
    }
}

const SettingsFile::Item* SettingsFile::findEntry(std::string_view key) const {
    const std::string fileKey = utf8_ ? text::cp1252ToUtf8(key) : std::string(key);
    for (const Item& item : items_) {
        if (item.kind == ItemKind::Section) {
            break;
        }
        if (item.kind == ItemKind::Entry && equalIgnoringAsciiCase(item.text, fileKey)) {
            return &item;
        }
    }
    return nullptr;
}

std::string SettingsFile::readString(std::string_view key, std::string_view defaultValue) const {
    const Item* entry = findEntry(key);
    if (entry == nullptr) {
        return std::string(defaultValue);
    }
    const std::string_view value = trimmed(entry->value);
    return utf8_ ? text::utf8ToCp1252(value) : std::string(value);
}

std::int32_t SettingsFile::readInteger(std::string_view key, std::int32_t defaultValue) const {
    if (findEntry(key) == nullptr) {
        return defaultValue;
    }
    std::string value = readString(key);
    // atoi skips every kind of white space; the value itself has no blanks or tabs left.
    std::size_t start = 0;
    while (start < value.size() && (value[start] == '\v' || value[start] == '\f')) {
        ++start;
    }
    return text::intValue(std::string_view(value).substr(start));
}

bool SettingsFile::create(const std::string& path) {
    close();
    if (!platform::replaceFileBytes(path, {})) {
        return false;
    }
    path_ = path;
    current_ = true;
    return true;
}

void SettingsFile::writeString(std::string_view key, std::string_view value) {
    if (!current_) {
        return;
    }
    const std::string fileKey = utf8_ ? text::cp1252ToUtf8(singleLine(key)) : singleLine(key);
    const std::string fileValue = utf8_ ? text::cp1252ToUtf8(singleLine(value)) : singleLine(value);
    std::size_t insertAt = items_.size();
    for (std::size_t i = 0; i < items_.size(); ++i) {
        Item& item = items_[i];
        if (item.kind == ItemKind::Section) {
            insertAt = i;
            break;
        }
        if (item.kind == ItemKind::Entry && equalIgnoringAsciiCase(item.text, fileKey)) {
            item.text = fileKey;
            item.value = fileValue;
            modified_ = true;
            return;
        }
    }
    Item entry;
    entry.kind = ItemKind::Entry;
    entry.text = fileKey;
    entry.value = fileValue;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
    modified_ = true;
}

bool SettingsFile::close() {
    bool written = true;
    if (current_ && modified_) {
        std::string bytes;
        if (utf8_) {
            bytes += kByteOrderMark;
            bytes += kLineEnd;
        }
        for (const Item& item : items_) {
            switch (item.kind) {
            case ItemKind::Section:
                bytes += '[';
                bytes += item.text;
                bytes += ']';
                break;
            case ItemKind::Comment:
                bytes += "; ";
                bytes += item.text;
                break;
            case ItemKind::Entry:
                bytes += item.text;
                bytes += " = ";
                bytes += item.value;
                break;
            }
            bytes += kLineEnd;
        }
        // A plain file whose first line begins with the bytes of the byte-order mark would be
        // read as UTF-8 next time; an empty line in front keeps it plain.
        if (!utf8_ && bytes.starts_with(kByteOrderMark)) {
            bytes.insert(0, kLineEnd);
        }
        written = platform::replaceFileBytes(path_, bytes);
    }
    items_.clear();
    path_.clear();
    current_ = false;
    modified_ = false;
    utf8_ = false;
    return written;
}

} // namespace reef::settings
