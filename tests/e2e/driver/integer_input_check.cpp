// 编辑框1 takes whole numbers: typed characters other than digits and "-" are dropped, and
// leaving the box rewrites its text as the integer it reads as.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/steps.h"

namespace e2e {

namespace {

void post(HWND edit, const std::wstring& characters) {
    for (wchar_t c : characters) {
        PostMessageW(edit, WM_CHAR, c, 1);
    }
}

void expectTextBecomes(Check& check, HWND edit, const std::wstring& want,
                       const std::wstring& after) {
    if (!waitUntil([&] { return windowText(edit) == want; }, 3000)) {
        check.fail(L"编辑框1 holds " + quote(windowText(edit)) + L" " + after + L", expected " +
                   quote(want));
    }
}

struct LeavingCase {
    const wchar_t* text;
    const wchar_t* left; // the text once the focus has gone elsewhere
    // The selection before leaving, and after it; -1 where the case does not look at it.
    int selectionStart = -1, selectionEnd = -1, afterStart = -1, afterEnd = -1;
};

} // namespace

void checkIntegerInput(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"integer-input", Configuration{}); // 编辑框1 loads "25"
    rudi.start();
    rudi.waitForMainWindow();
    HWND edit = rudi.control(ids::intervalEdit);
    HWND elsewhere = rudi.control(ids::restMessageEdit);

    if (!clickToFocus(check, rudi, edit, L"编辑框1")) {
        return;
    }
    sendTo(edit, EM_SETSEL, 2, 2);
    // The characters go through rudi's own message loop, as typed ones do; the 9 at the end
    // shows that everything before it has been handled.
    post(edit, L"ab Z+.,中9");
    expectTextBecomes(check, edit, L"259", L"after typing \"ab Z+.,中9\" behind 25");
    post(edit, L"-7");
    expectTextBecomes(check, edit, L"259-7", L"after typing \"-7\"");
    post(edit, L"\b\b\b"); // control keys are not filtered
    expectTextBecomes(check, edit, L"25", L"after three Backspaces");

    const LeavingCase cases[] = {
        {L"007", L"7"},
        {L"0", L""},
        {L"-0", L""},
        {L"99999999999", L"2147483647", 3, 6, 3, 3},
        {L"-99999999999", L"-2147483648"},
        {L"  12abc", L"12"},
        {L"abc", L""},
        {L"+5", L"5"},
        {L"-", L""},
        // Nothing to change: the text stays and so does the selection.
        {L"123", L"123", 1, 2, 1, 2},
    };
    for (const LeavingCase& c : cases) {
        const std::wstring what = L"leaving 编辑框1 with " + quote(c.text);
        if (!clickToFocus(check, rudi, edit, L"编辑框1")) {
            return;
        }
        sendTo(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.text));
        if (c.selectionStart >= 0) {
            sendTo(edit, EM_SETSEL, static_cast<WPARAM>(c.selectionStart), c.selectionEnd);
        }
        if (!clickToFocus(check, rudi, elsewhere, L"编辑框2")) {
            return;
        }
        check.expectEqual(what, windowText(edit), c.left);
        if (c.afterStart >= 0) {
            const auto selection = static_cast<DWORD>(sendTo(edit, EM_GETSEL));
            check.expect(LOWORD(selection) == c.afterStart && HIWORD(selection) == c.afterEnd,
                         what + L" (selected " + std::to_wstring(c.selectionStart) + L" to " +
                             std::to_wstring(c.selectionEnd) + L"): selection " +
                             std::to_wstring(LOWORD(selection)) + L" to " +
                             std::to_wstring(HIWORD(selection)) + L", expected " +
                             std::to_wstring(c.afterStart) + L" to " + std::to_wstring(c.afterEnd));
        }
    }
}

} // namespace e2e
