// The language object: the table in force as a text map, text lookups, dialog labelling and the
// start-up choice of language code.
//
// A table is INI text in code page 936 with a section "String" (texts keyed IDS_<name>) and a
// section "Dialog" (IDD<dialog>_Title and IDD<dialog>_<control id>). Keys are "<section>.<name>"
// with ASCII letters lower-cased; values stay raw code page 936 bytes until they are handed out.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lang {

class LabelledWindow;

using TextMap = std::map<std::string, std::string>;

// Empties `map` and fills it from the table text in `bytes`. Never fails: a line that breaks the
// format is skipped and parsing goes on to the end.
void ParseTable(std::string_view bytes, TextMap& map);

// "<section>.<name>" with ASCII upper-case letters turned to lower case.
std::string MakeKey(std::string_view section, std::string_view name);

// The language code for a POSIX locale name such as "de_DE.UTF-8" ("DEU"); "CHS" for every
// language without a code of its own.
std::wstring CodeForLocaleName(std::string_view localeName);

// The locale name that decides the user's language: LC_ALL, then LC_MESSAGES, then LANG (the first
// that is set and not empty); empty when none is.
std::string UserLocaleName();

// The language the user configured: the value of `Language` in
// $XDG_CONFIG_HOME/Velmora/Orvane.conf (~/.config/Velmora/Orvane.conf when XDG_CONFIG_HOME is not
// set). Empty when the file or the value is missing, empty or too long.
std::wstring ConfiguredLanguage();

// Path of that file; empty when neither XDG_CONFIG_HOME nor HOME names a directory.
std::string ConfigFilePath();

// An embedded table by resource number, or nothing when the program carries none of that number.
using ResourceFinder = std::function<std::optional<std::span<const unsigned char>>(int id)>;

// The tables this program carries (only the English one, 133).
std::optional<std::span<const unsigned char>> FindEmbeddedTable(int id);

constexpr int kEnglishTableId = 133;
constexpr std::size_t kLoadBufferSize = 0x20000;

}  // namespace lang

class CLangTable {
  public:
    CLangTable();
    // For tests: tables come from `finder` instead of the program's own resources.
    explicit CLangTable(lang::ResourceFinder finder);

    CLangTable(const CLangTable&) = delete;
    CLangTable& operator=(const CLangTable&) = delete;

    // The text of an IDS_ key of section "String", "ndefined!" when it is missing.
    std::wstring GetText(const std::wstring& key) const;

    // Sets the dialog's title from IDD<id>_Title and the text of each direct child with an id
    // from IDD<id>_<child id>; a missing key gives an empty text. Children with id -1 keep theirs.
    void ApplyDialogTexts(lang::LabelledWindow& dialog, int dialogId) const;

    // Loads the English table (every code uses it) and records `code`. False when the table
    // cannot be found; the text map and the code then stay as they were.
    bool LoadLanguage(const std::wstring& code);

    // Chooses the code (the argument, else the configured language, else the user's locale) and
    // loads the table. Always true.
    bool SelectStartupLanguage(const std::wstring& code);

    const std::wstring& LanguageCode() const { return code_; }
    const lang::TextMap& Texts() const { return map_; }

    // The raw value for (section, name), or `fallback` when the key is absent.
    std::string Lookup(std::string_view section, std::string_view name,
                       std::string_view fallback) const;

    // Copies a table into the load buffer and parses it. A table larger than the buffer is not
    // copied and leaves the text map empty.
    void LoadTableBytes(std::span<const unsigned char> table);

  private:
    lang::ResourceFinder finder_;
    lang::TextMap map_;
    std::wstring code_;
    std::vector<char> buffer_;
};

// The one language object of the process.
CLangTable& LangTable();
