// libFuzzer target for the language-table parser: any bytes as a table, then the lookups and the
// dialog labelling that read the resulting map.
//
// Sources are listed in fuzz_langtable.sources (the parser needs no generated table); tokens of
// the format are in fuzz_langtable.dict. A good seed is common/text/English.ini.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/labelled_window.h"
#include "text/langtable.h"

namespace {

class Window : public lang::LabelledWindow {
  public:
    void SetWindowText(const std::wstring& text) override { title_ = text; }
    int ChildCount() const override { return static_cast<int>(std::size(kIds)); }
    int ChildId(int index) const override { return kIds[index]; }
    void SetChildText(int index, const std::wstring& text) override {
        texts_[static_cast<std::size_t>(index)] = text;
    }

  private:
    static constexpr int kIds[] = {1000, -1, 1001, 1161, 1};
    std::wstring title_;
    std::wstring texts_[std::size(kIds)];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    lang::TextMap map;
    lang::ParseTable(bytes, map);
    // Every key the parser makes has a section separator and is lower-case ASCII.
    for (const auto& [key, value] : map) {
        if (key.find('.') == std::string::npos) {
            __builtin_trap();
        }
        for (char c : key) {
            if (c >= 'A' && c <= 'Z') {
                __builtin_trap();
            }
        }
    }

    // One object for all runs, as in the program; its finder hands out the current input.
    static std::span<const unsigned char> input;
    static CLangTable lang([](int) { return std::optional(input); });
    input = std::span<const unsigned char>(data, size);
    lang.LoadLanguage(L"ENG");
    // The object parses what fits its load buffer and keeps nothing of a larger table.
    bool fits = size <= lang::kLoadBufferSize;
    if (fits ? lang.Texts() != map : !lang.Texts().empty()) {
        __builtin_trap();
    }
    lang.GetText(L"IDS_ON");
    lang.GetText(L"IDS_TAB_WiFi");
    Window window;
    lang.ApplyDialogTexts(window, 102);
    return 0;
}
