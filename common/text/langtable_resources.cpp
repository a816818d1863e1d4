// The language tables the program carries, and the process's language object that reads them.
// Kept apart from the parser so that the parser builds without the generated table (the fuzz
// target links langtable.cpp and text.cpp alone).
#include "text/langtable.h"

// A source generated at build time from English.ini defines these.
namespace lang_res {
extern const unsigned char kEnglishTable[];
extern const std::size_t kEnglishTableSize;
}  // namespace lang_res

namespace lang {

std::optional<std::span<const unsigned char>> FindEmbeddedTable(int id) {
    if (id == kEnglishTableId) {
        return std::span<const unsigned char>(::lang_res::kEnglishTable,
                                              ::lang_res::kEnglishTableSize);
    }
    return std::nullopt;
}

}  // namespace lang

CLangTable::CLangTable() : CLangTable(lang::FindEmbeddedTable) {}

CLangTable& LangTable() {
    static CLangTable table;
    return table;
}
