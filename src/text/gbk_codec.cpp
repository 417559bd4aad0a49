#include "text/gbk_codec.h"

#include <iconv.h>

#include <cerrno>

namespace tallyro::text {
namespace {

class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok())
            iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

std::optional<std::string> utf8ToGbk(std::string_view utf8) {
    Iconv cd("GBK", "UTF-8");
    if (!cd.ok())
        return std::nullopt;
    std::string out(utf8.size() * 2 + 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    if (iconv(cd.get(), &in, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::string gbkToUtf8(std::string_view gbk) {
    Iconv cd("UTF-8", "GBK");
    std::string out;
    if (!cd.ok())
        return out;
    out.reserve(gbk.size() * 3 / 2 + 4);
    char* in = const_cast<char*>(gbk.data());
    size_t inLeft = gbk.size();
    char buf[256];
    while (inLeft > 0) {
        char* dst = buf;
        size_t outLeft = sizeof buf;
        size_t r = iconv(cd.get(), &in, &inLeft, &dst, &outLeft);
        const int error = errno;  // the append below may allocate, which may touch errno
        out.append(buf, static_cast<size_t>(dst - buf));
        if (r != static_cast<size_t>(-1))
            break;
        if (error == E2BIG)
            continue;
        if (error == EINVAL)
            break;              // incomplete character at the end: dropped
        out += "\xEF\xBF\xBD";  // EILSEQ: one bad byte becomes U+FFFD
        ++in;
        --inLeft;
    }
    return out;
}

}  // namespace tallyro::text
