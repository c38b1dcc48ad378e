// GBK and UTF-8 through the C library's iconv.
#include "runtime/text_codec.h"

#include <cerrno>
#include <iconv.h>

namespace rudi {

namespace {

class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (isOpen()) {
            iconv_close(cd_);
        }
    }
    bool isOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> convert(std::string_view input) {
        if (!isOpen()) {
            return std::nullopt;
        }
        std::string output(input.size() * 4 + 8, '\0');
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        // Every GBK character is at most 3 bytes of UTF-8 and every UTF-8 character at most
        // 2 bytes of GBK, so the output buffer cannot run out.
        if (iconv(cd_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
            iconv(cd_, nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        output.resize(output.size() - outLeft);
        return output;
    }

  private:
    iconv_t cd_;
};

} // namespace

std::optional<std::string> gbkToUtf8(std::string_view gbk) {
    return Converter("UTF-8", "GBK").convert(gbk);
}

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    return Converter("GBK", "UTF-8").convert(utf8);
}

void useUtf8Console() {}

} // namespace rudi
