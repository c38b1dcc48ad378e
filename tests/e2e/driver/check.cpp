#include "tests/e2e/driver/check.h"

#include <cstdio>

namespace e2e {

std::wstring quote(const std::wstring& text) {
    std::wstring shown = L"\"";
    for (wchar_t c : text) {
        switch (c) {
        case L'\r':
            shown += L"\\r";
            break;
        case L'\n':
            shown += L"\\n";
            break;
        case L'\t':
            shown += L"\\t";
            break;
        case L'"':
            shown += L"\\\"";
            break;
        case L'\\':
            shown += L"\\\\";
            break;
        default:
            if (c < 0x20) {
                wchar_t escaped[8];
                std::swprintf(escaped, 8, L"\\x%02X", static_cast<unsigned>(c));
                shown += escaped;
            } else {
                shown += c;
            }
        }
    }
    return shown + L"\"";
}

bool Check::expectEqual(const std::wstring& what, const std::wstring& actual,
                        const std::wstring& expected) {
    return expect(actual == expected,
                  what + L": got " + quote(actual) + L", expected " + quote(expected));
}

bool Check::expectEqual(const std::wstring& what, long long actual, long long expected) {
    return expect(actual == expected, what + L": got " + std::to_wstring(actual) + L", expected " +
                                          std::to_wstring(expected));
}

} // namespace e2e
