#include "text/text.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <strings.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <utility>

namespace text {
namespace {

// glibc's name for the in-memory wchar_t encoding (UTF-32 in host order on Linux).
constexpr const char* kWide = "WCHAR_T";
constexpr const char* kCp936 = "CP936";
constexpr wchar_t kReplacement = 0xFFFD;

// iconv descriptors are costly to open; each thread keeps the ones it used, reset before each use.
class ConverterCache {
  public:
    ~ConverterCache() {
        for (auto& [names, cd] : open_) {
            if (cd != kInvalid) {
                iconv_close(cd);
            }
        }
    }
    iconv_t Get(const char* to, const char* from) {
        auto [it, inserted] = open_.try_emplace({to, from}, kInvalid);
        if (inserted) {
            it->second = iconv_open(to, from);
        }
        return it->second;
    }

    static inline const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

  private:
    std::map<std::pair<std::string, std::string>, iconv_t> open_;
};

class Converter {
  public:
    Converter(const char* to, const char* from) {
        thread_local ConverterCache cache;
        cd_ = cache.Get(to, from);
        reset();
    }

    bool ok() const { return cd_ != ConverterCache::kInvalid; }
    iconv_t get() const { return cd_; }
    void reset() {
        if (ok()) {
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
    }

  private:
    iconv_t cd_;
};

bool IsAsciiOnly(const char* codeSet) {
    return codeSet[0] == '\0' || strcasecmp(codeSet, "ANSI_X3.4-1968") == 0 ||
           strcasecmp(codeSet, "ASCII") == 0 || strcasecmp(codeSet, "US-ASCII") == 0 ||
           strcmp(codeSet, "646") == 0;
}

// The bytes of one wide character in the target code set, or empty when it has none there.
std::string EncodeOne(Converter& conv, wchar_t ch) {
    char out[16];
    char* in = reinterpret_cast<char*>(&ch);
    size_t inLeft = sizeof ch;
    char* outPtr = out;
    size_t outLeft = sizeof out;
    conv.reset();
    if (iconv(conv.get(), &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
        return {};
    }
    // Flush any shift state so each character stands alone.
    iconv(conv.get(), nullptr, nullptr, &outPtr, &outLeft);
    return std::string(out, outPtr);
}

// Encodes character by character, so the caller learns where every character ends. `limit` caps
// the byte count; a character that would cross it is left out along with the rest.
std::string EncodeLimited(std::wstring_view textIn, const char* codeSet, size_t limit) {
    std::string result;
    Converter conv(codeSet, kWide);
    for (wchar_t ch : textIn) {
        std::string bytes;
        if (conv.ok()) {
            bytes = EncodeOne(conv, ch);
        } else if (ch >= 0 && ch < 0x80) {
            bytes.assign(1, static_cast<char>(ch));
        }
        if (bytes.empty()) {
            bytes = "?";
        }
        if (result.size() + bytes.size() > limit) {
            break;
        }
        result += bytes;
    }
    return result;
}

}  // namespace

std::string AnsiCodeSet() {
    // Asking the C library is slow; the answer changes only with the variables it reads.
    std::string signature;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        signature += value != nullptr ? "=" + std::string(value) : "-";
        signature += '\0';
    }
    thread_local std::string cachedSignature;
    thread_local std::string cachedName;
    if (!cachedName.empty() && signature == cachedSignature) {
        return cachedName;
    }

    // The user's locale as the environment names it, without touching the process locale.
    std::string name;
    locale_t loc = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (loc != static_cast<locale_t>(nullptr)) {
        const char* codeSet = nl_langinfo_l(CODESET, loc);
        if (codeSet != nullptr) {
            name = codeSet;
        }
        freelocale(loc);
    }
    if (IsAsciiOnly(name.c_str())) {
        name = "UTF-8";
    }
    cachedSignature = std::move(signature);
    cachedName = name;
    return name;
}

std::wstring Decode(std::string_view bytes, const char* codeSet) {
    std::wstring result;
    Converter conv(kWide, codeSet);
    if (!conv.ok()) {
        for (char c : bytes) {
            auto b = static_cast<unsigned char>(c);
            result.push_back(b < 0x80 ? static_cast<wchar_t>(b) : kReplacement);
        }
        return result;
    }
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    wchar_t out[256];
    while (inLeft > 0) {
        char* outPtr = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof out;
        size_t rc = iconv(conv.get(), &in, &inLeft, &outPtr, &outLeft);
        int err = errno;
        result.append(out, reinterpret_cast<wchar_t*>(outPtr) - out);
        if (rc == static_cast<size_t>(-1)) {
            if (err == E2BIG) {
                continue;
            }
            // EILSEQ or a sequence cut short by the end: one byte becomes one replacement.
            result.push_back(kReplacement);
            ++in;
            --inLeft;
            conv.reset();
        }
    }
    return result;
}

std::string Encode(std::wstring_view textIn, const char* codeSet) {
    return EncodeLimited(textIn, codeSet, static_cast<size_t>(-1));
}

std::wstring FromCp936(std::string_view bytes) {
    return Decode(bytes, kCp936);
}
std::string ToCp936(std::wstring_view textIn) {
    return Encode(textIn, kCp936);
}

std::wstring FromAnsi(std::string_view bytes) {
    return Decode(bytes, AnsiCodeSet().c_str());
}
std::string ToAnsi(std::wstring_view textIn) {
    return Encode(textIn, AnsiCodeSet().c_str());
}

std::size_t ToAnsiBuffer(std::wstring_view textIn, void* buffer, std::size_t size,
                         Terminator terminator) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    std::memset(buffer, 0, size);
    size_t room = terminator == Terminator::kKeep ? size - 1 : size;
    std::string bytes = EncodeLimited(textIn, AnsiCodeSet().c_str(), room);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

std::wstring FromAnsiField(const void* field, std::size_t size) {
    if (field == nullptr) {
        return {};
    }
    const char* p = static_cast<const char*>(field);
    const void* nul = std::memchr(p, 0, size);
    size_t len = nul != nullptr ? static_cast<const char*>(nul) - p : size;
    return FromAnsi(std::string_view(p, len));
}

}  // namespace text
