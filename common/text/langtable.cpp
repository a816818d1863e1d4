#include "text/langtable.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "text/labelled_window.h"
#include "text/text.h"

namespace lang {
namespace {

// Longest section name and longest remembered entry name, in bytes.
constexpr std::size_t kMaxName = 49;

// The C locale's white space; bytes of 0x80 and above never count.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view Trim(std::string_view s) {
    return TrimRight(TrimLeft(s));
}

// Index of the first byte of `s` that is one of `chars`, or of a ';' that directly follows white
// space (an inline comment), whichever comes first; s.size() when there is neither.
std::size_t FindCharsOrComment(std::string_view s, std::string_view chars) {
    bool wasSpace = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (chars.find(c) != std::string_view::npos || (wasSpace && c == ';')) {
            return i;
        }
        wasSpace = IsSpace(c);
    }
    return s.size();
}

void Store(TextMap& map, std::string_view section, std::string_view name, std::string_view value) {
    std::string& slot = map[MakeKey(section, name)];
    if (!slot.empty()) {
        slot += '\n';
        slot += value;
    } else {
        slot.assign(value);
    }
}

class Parser {
  public:
    explicit Parser(TextMap& map) : map_(map) {}

    void Line(std::string_view line, bool first) {
        // The table's texts are C strings: a zero byte ends the line's text.
        line = line.substr(0, line.find('\0'));
        if (first && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
        }
        bool indented = !line.empty() && IsSpace(line.front());
        std::string_view start = Trim(line);
        if (start.empty() || start.front() == ';' || start.front() == '#') {
            return;
        }
        if (!prevName_.empty() && indented) {
            Store(map_, section_, prevName_, start);
            return;
        }
        if (start.front() == '[') {
            std::string_view inner = start.substr(1);
            std::size_t end = FindCharsOrComment(inner, "]");
            if (end < inner.size() && inner[end] == ']') {
                section_.assign(inner.substr(0, std::min(end, kMaxName)));
                prevName_.clear();
            }
            return;
        }
        std::size_t sep = FindCharsOrComment(start, "=");
        if (sep == start.size() || start[sep] != '=') {
            sep = FindCharsOrComment(start, ":");
            if (sep == start.size() || start[sep] != ':') {
                return;
            }
        }
        std::string_view name = TrimRight(start.substr(0, sep));
        std::string_view value = TrimLeft(start.substr(sep + 1));
        value = TrimRight(value.substr(0, FindCharsOrComment(value, "")));
        Store(map_, section_, name, value);
        prevName_.assign(name.substr(0, std::min(name.size(), kMaxName)));
    }

  private:
    TextMap& map_;
    std::string section_;
    std::string prevName_;
};

}  // namespace

std::string MakeKey(std::string_view section, std::string_view name) {
    std::string key;
    key.reserve(section.size() + 1 + name.size());
    key.append(section).append(1, '.').append(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

void ParseTable(std::string_view bytes, TextMap& map) {
    map.clear();
    Parser parser(map);
    bool first = true;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        if (end > pos) {
            parser.Line(bytes.substr(pos, end - pos), first);
            first = false;
        }
        pos = end + 1;
    }
}

std::wstring CodeForLocaleName(std::string_view localeName) {
    std::string_view language = localeName.substr(0, localeName.find_first_of("_.@"));
    static constexpr struct {
        const char* language;
        const wchar_t* code;
    } kCodes[] = {
        {"en", L"ENG"}, {"zh", L"CHS"}, {"ru", L"RUS"}, {"de", L"DEU"}, {"es", L"ESP"},
        {"fr", L"FRA"}, {"it", L"ITA"}, {"ja", L"JPN"}, {"ko", L"KOR"},
    };
    for (const auto& entry : kCodes) {
        if (language.size() == std::strlen(entry.language) &&
            strncasecmp(language.data(), entry.language, language.size()) == 0) {
            return entry.code;
        }
    }
    return L"CHS";
}

std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') {
            return value;
        }
    }
    return {};
}

std::string ConfigFilePath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid by the XDG rules and are ignored.
    if (xdg != nullptr && xdg[0] == '/') {
        return std::string(xdg) + "/Velmora/Orvane.conf";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/Velmora/Orvane.conf";
    }
    return {};
}

// The configuration file stands in for the registry key "Software\Velmora\Orvane" of the current
// user. It is read, never written. Its format:
//
//     # comment (lines starting with '#' or ';')
//     [Orvane]          optional; section lines are ignored
//     Language=ENG
//
// The name is matched without regard to ASCII case, blanks around name and value are dropped, and
// the first Language line counts. As with the registry value, read into 80 bytes: a value of 80
// bytes or more counts as unreadable, and a value stops at a zero byte.
std::wstring ConfiguredLanguage() {
    constexpr std::size_t kValueBuffer = 80;
    constexpr std::size_t kMaxFile = 64 * 1024;
    std::string path = ConfigFilePath();
    if (path.empty()) {
        return {};
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return {};
    }
    std::string content(kMaxFile, '\0');
    file.read(content.data(), static_cast<std::streamsize>(content.size()));
    content.resize(static_cast<std::size_t>(file.gcount()));

    std::string_view rest = content;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';' || line.front() == '[') {
            continue;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            continue;
        }
        std::string_view name = Trim(line.substr(0, eq));
        if (name.size() != 8 || strncasecmp(name.data(), "Language", 8) != 0) {
            continue;
        }
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= kValueBuffer) {
            return {};
        }
        value = value.substr(0, value.find('\0'));
        return text::FromAnsi(value);
    }
    return {};
}

}  // namespace lang

CLangTable::CLangTable(lang::ResourceFinder finder)
    : finder_(std::move(finder)), buffer_(lang::kLoadBufferSize) {}

std::string CLangTable::Lookup(std::string_view section, std::string_view name,
                               std::string_view fallback) const {
    auto it = map_.find(lang::MakeKey(section, name));
    return it != map_.end() ? it->second : std::string(fallback);
}

std::wstring CLangTable::GetText(const std::wstring& key) const {
    char name[128];
    text::ToAnsiBuffer(key, name);
    return text::FromCp936(Lookup("String", name, "ndefined!"));
}

void CLangTable::ApplyDialogTexts(lang::LabelledWindow& dialog, int dialogId) const {
    char key[64];
    std::snprintf(key, sizeof key, "IDD%d_Title", dialogId);
    dialog.SetWindowText(text::FromCp936(Lookup("Dialog", key, "")));
    int count = dialog.ChildCount();
    for (int i = 0; i < count; ++i) {
        int id = dialog.ChildId(i);
        if (id == -1) {
            continue;
        }
        std::snprintf(key, sizeof key, "IDD%d_%d", dialogId, id);
        dialog.SetChildText(i, text::FromCp936(Lookup("Dialog", key, "")));
    }
}

void CLangTable::LoadTableBytes(std::span<const unsigned char> table) {
    if (table.size() > buffer_.size()) {
        map_.clear();
        return;
    }
    if (!table.empty()) {
        std::memcpy(buffer_.data(), table.data(), table.size());
    }
    lang::ParseTable(std::string_view(buffer_.data(), table.size()), map_);
}

bool CLangTable::LoadLanguage(const std::wstring& code) {
    // Every language code uses the English table.
    std::optional<std::span<const unsigned char>> table =
        finder_ ? finder_(lang::kEnglishTableId) : std::nullopt;
    if (!table) {
        return false;
    }
    LoadTableBytes(*table);
    code_ = code;
    return true;
}

bool CLangTable::SelectStartupLanguage(const std::wstring& code) {
    std::wstring chosen = code;
    if (chosen.empty()) {
        chosen = lang::ConfiguredLanguage();
    }
    if (chosen.empty()) {
        chosen = lang::CodeForLocaleName(lang::UserLocaleName());
    }
    LoadLanguage(chosen);
    return true;
}
