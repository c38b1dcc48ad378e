#include "runtime/win32/win32_runtime.h"

#include "runtime/integer_input.h"
#include "runtime/tick_timing.h"
#include "runtime/tray.h"
#include "runtime/win32/banner.h"
#include "runtime/win32/resources.h"
#include "runtime/win32/tune_player.h"
#include "runtime/win32/wide.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <uxtheme.h>

#include <algorithm>

namespace rudi::win32 {

namespace {

// Carries out a destruction that a handler asked for, once the handler has returned.
constexpr UINT deferredDestroyMessage = WM_APP + 1;

const wchar_t* className(WindowName name) {
    return name == WindowName::main ? L"rudi.MainWindow" : L"rudi.RestWindow";
}

COLORREF colourRef(const Colour& c) {
    return RGB(c.red, c.green, c.blue);
}

bool isContainer(ControlKind kind) {
    return kind == ControlKind::tabControl || kind == ControlKind::groupBox;
}

// Window styles of each kind of control.
struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass controlClass(const ControlDesign& c) {
    const DWORD child = WS_CHILD | WS_CLIPSIBLINGS;
    switch (c.kind) {
    case ControlKind::tabControl:
        return {WC_TABCONTROLW, child | WS_TABSTOP | TCS_TABS | TCS_SINGLELINE, 0};
    case ControlKind::groupBox:
        return {L"BUTTON", child | BS_GROUPBOX | BS_LEFT, 0};
    case ControlKind::label:
        if (c.flags & wordWrap) {
            return {L"STATIC", child | SS_LEFT | SS_NOPREFIX | SS_NOTIFY, 0};
        }
        return {L"STATIC", child | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_NOTIFY, 0};
    case ControlKind::transparentLabel:
        return {L"STATIC", child | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX,
                WS_EX_TRANSPARENT};
    case ControlKind::editBox:
        if (c.flags & multiLine) {
            return {L"EDIT",
                    child | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
                    WS_EX_CLIENTEDGE};
        }
        return {L"EDIT", child | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::longDatePicker:
        return {DATETIMEPICK_CLASSW, child | WS_TABSTOP | DTS_LONGDATEFORMAT, WS_EX_CLIENTEDGE};
    case ControlKind::timePicker:
        return {DATETIMEPICK_CLASSW, child | WS_TABSTOP | DTS_TIMEFORMAT | DTS_UPDOWN,
                WS_EX_CLIENTEDGE};
    case ControlKind::checkBox:
        return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX | BS_LEFT | BS_VCENTER, 0};
    case ControlKind::pushButton:
        return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 0};
    case ControlKind::pictureBox:
        return {L"STATIC", child | SS_OWNERDRAW, 0};
    case ControlKind::timer:
        break;
    }
    return {nullptr, 0, 0};
}

SYSTEMTIME systemTimeOf(DateTime value) {
    const DateTimeParts p = partsOf(value);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    st.wSecond = static_cast<WORD>(p.second);
    // The picker wants the day of the week to match: 1899-12-30 was a Saturday.
    const long long days = static_cast<long long>(makeDateTime(p.year, p.month, p.day, 0, 0, 0));
    st.wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 6) % 7);
    return st;
}

// Copies as much of text as fits, always zero-terminated.
template <std::size_t N> void copyTruncated(wchar_t (&buffer)[N], std::wstring_view text) {
    const std::size_t n = std::min(text.size(), N - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = L'\0';
}

std::wstring windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(std::max(length, 0)) + 1, L'\0');
    const int copied = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

} // namespace

ControlInstance* WindowInstance::control(std::string_view name) {
    for (ControlInstance& c : controls) {
        if (c.design->name == name) {
            return &c;
        }
    }
    return nullptr;
}

ControlInstance* WindowInstance::control(HWND child) {
    for (ControlInstance& c : controls) {
        if (c.hwnd == child && child != nullptr) {
            return &c;
        }
    }
    return nullptr;
}

ControlInstance* WindowInstance::controlById(int id) {
    for (ControlInstance& c : controls) {
        if (c.design->id == id) {
            return &c;
        }
    }
    return nullptr;
}

Win32Runtime::Win32Runtime(HINSTANCE instance)
    : instance_(instance), taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")),
      faceBrush_(GetSysColorBrush(COLOR_BTNFACE)), tune_(std::make_unique<TunePlayer>()) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_DATE_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    registerClass(windowDesign(WindowName::main));
    registerClass(windowDesign(WindowName::rest));
    setClock(&clock_);
}

Win32Runtime::~Win32Runtime() {
    setClock(nullptr);
    tune_.reset();
    removeTrayIcon();
    if (banner_ != nullptr) {
        DeleteObject(banner_);
    }
    for (const auto& [colour, solid] : brushes_) {
        DeleteObject(solid);
    }
}

template <class F> void Win32Runtime::guarded(F&& handler) {
    if (ending_) {
        return;
    }
    try {
        handler();
    } catch (...) {
        // A handler must never throw across the window procedure; if it does, the program
        // cannot know its state any more.
        reportError(std::nullopt, "内存不足");
    }
}

void Win32Runtime::registerClass(const WindowDesign& design) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance_;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(resourceAppIcon),
                                             IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                             GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(resourceAppIcon),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = nullptr; // painted in WM_ERASEBKGND from the design's colour
    wc.lpszClassName = className(design.name);
    RegisterClassExW(&wc);
}

HBRUSH Win32Runtime::brush(COLORREF colour) {
    HBRUSH& solid = brushes_[colour];
    if (solid == nullptr) {
        solid = CreateSolidBrush(colour);
    }
    return solid;
}

WindowInstance* Win32Runtime::instance(WindowName window) {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second.get();
}

void Win32Runtime::loadWindow(WindowName window) {
    if (WindowInstance* existing = instance(window)) {
        if (IsIconic(existing->hwnd)) {
            ShowWindow(existing->hwnd, SW_RESTORE);
        }
        SetForegroundWindow(existing->hwnd);
        SetActiveWindow(existing->hwnd);
        return;
    }
    const WindowDesign& design = windowDesign(window);
    auto owned = std::make_unique<WindowInstance>();
    WindowInstance& w = *owned;
    w.design = &design;
    w.runtime = this;
    if (design.background) {
        w.background = CreateSolidBrush(colourRef(*design.background));
        w.ownsBackground = true;
    } else {
        w.background = faceBrush_;
    }

    DWORD style = WS_CLIPSIBLINGS;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (design.frame == Frame::fixedToolWindow) {
        style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        exStyle |= WS_EX_TOOLWINDOW;
    } else {
        // Transparent labels need the window to paint beneath them: no WS_CLIPCHILDREN.
        style |= WS_POPUP;
    }
    if (design.taskbarButton) {
        exStyle |= WS_EX_APPWINDOW;
    }
    if (design.topmost) {
        exStyle |= WS_EX_TOPMOST;
    }
    const ScreenSize screen = screenSize();
    const int left = (screen.width - design.width) / 2;
    const int top = (screen.height - design.height) / 2;

    windows_[window] = std::move(owned);
    HWND hwnd =
        CreateWindowExW(exStyle, className(window), widen(design.title).c_str(), style, left, top,
                        design.width, design.height, nullptr, nullptr, instance_, &w);
    if (hwnd == nullptr) {
        windows_.erase(window);
        reportError(std::nullopt, "无法创建窗口");
    }
    createControls(w);
    if (design.backgroundMusic) {
        tune_->play(tuneBytes(instance_));
    }
    if (design.handlers.created) {
        guarded([&] { design.handlers.created(*this); });
    }
    if (instance(window) == &w) {
        ShowWindow(hwnd, SW_SHOW);
        for (ControlInstance& c : w.controls) {
            if (c.design->flags & initialFocus) {
                SetFocus(c.hwnd);
            }
        }
    }
}

POINT Win32Runtime::parentOrigin(WindowInstance& w, const ControlDesign& c) {
    POINT origin{0, 0};
    std::string_view parent = c.parent;
    while (!parent.empty()) {
        const ControlInstance* p = w.control(parent);
        if (p == nullptr) {
            break;
        }
        origin.x += p->left;
        origin.y += p->top;
        parent = p->design->parent;
    }
    return origin;
}

void Win32Runtime::createControls(WindowInstance& w) {
    HFONT guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    w.controls.reserve(w.design->controls.size());
    for (const ControlDesign& d : w.design->controls) {
        ControlInstance c;
        c.design = &d;
        c.left = d.left;
        c.top = d.top;
        c.width = d.width;
        c.height = d.height;
        if (d.kind == ControlKind::timer) {
            // The first tick comes one period after creation; from then on the timer is
            // aligned to the wall clock's seconds.
            w.controls.push_back(c);
            SetTimer(w.hwnd, static_cast<UINT_PTR>(d.id), static_cast<UINT>(d.timerPeriod),
                     nullptr);
            continue;
        }
        const ControlClass cls = controlClass(d);
        const POINT origin = parentOrigin(w, d);
        const bool visible = d.page < 0 || d.page == w.page;
        const std::wstring text =
            d.kind == ControlKind::tabControl ? std::wstring{} : widen(d.text);
        c.hwnd = CreateWindowExW(
            cls.exStyle, cls.name, text.c_str(), cls.style | (visible ? WS_VISIBLE : 0),
            origin.x + d.left, origin.y + d.top, d.width, d.height, w.hwnd,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)), instance_, nullptr);
        if (d.font) {
            LOGFONTW lf{};
            lf.lfHeight = -d.font->height; // a character height, not a cell height
            lf.lfWeight = d.font->weight;
            lf.lfUnderline = d.font->underline ? TRUE : FALSE;
            lf.lfCharSet = d.font->face.empty() ? DEFAULT_CHARSET : GB2312_CHARSET;
            const std::wstring face = widen(d.font->face);
            copyTruncated(lf.lfFaceName, face);
            c.ownFont = CreateFontIndirectW(&lf);
        }
        SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.ownFont ? c.ownFont : guiFont),
                     FALSE);
        if (d.kind == ControlKind::editBox) {
            SendMessageW(c.hwnd, EM_SETLIMITTEXT, 0, 0); // no length limit
        }
        if (d.kind == ControlKind::tabControl) {
            Text pages(d.text);
            int index = 0;
            for (std::size_t start = 0; start <= pages.size(); ++index) {
                const std::size_t bar = std::min(pages.find('|', start), pages.size());
                std::wstring caption = widen(std::string_view(pages).substr(start, bar - start));
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                item.pszText = caption.data();
                SendMessageW(c.hwnd, TCM_INSERTITEMW, static_cast<WPARAM>(index),
                             reinterpret_cast<LPARAM>(&item));
                start = bar + 1;
            }
            SendMessageW(c.hwnd, TCM_SETCURSEL, 0, 0);
        }
        if (d.kind == ControlKind::groupBox || d.kind == ControlKind::tabControl) {
            // The classic drawing: group boxes honour their caption colour (themed ones ignore
            // it), and the tab control's page is the face colour the labels paint, where a
            // themed page would be white around them.
            SetWindowTheme(c.hwnd, L" ", L" ");
        }
        SetWindowSubclass(c.hwnd, controlProc, static_cast<UINT_PTR>(d.id),
                          reinterpret_cast<DWORD_PTR>(this));
        w.controls.push_back(c);
    }
    // Stacking: controls the user works with on top, in design order (which is also the Tab
    // order); beneath them the labels, a later one over an earlier one; then the group boxes
    // and, at the bottom, the tab control, so a container never hides what it holds.
    const auto sendToBottom = [](HWND hwnd) {
        SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    };
    for (auto it = w.controls.rbegin(); it != w.controls.rend(); ++it) {
        if (it->design->kind == ControlKind::label) {
            sendToBottom(it->hwnd);
        }
    }
    for (ControlKind containerKind : {ControlKind::groupBox, ControlKind::tabControl}) {
        for (ControlInstance& c : w.controls) {
            if (c.design->kind == containerKind) {
                sendToBottom(c.hwnd);
            }
        }
    }
}

void Win32Runtime::placeControl(WindowInstance& w, ControlInstance& c) {
    if (c.hwnd == nullptr) {
        return;
    }
    const POINT origin = parentOrigin(w, *c.design);
    SetWindowPos(c.hwnd, nullptr, origin.x + c.left, origin.y + c.top, c.width, c.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (isContainer(c.design->kind)) {
        for (ControlInstance& inner : w.controls) {
            if (inner.design->parent == c.design->name) {
                placeControl(w, inner);
            }
        }
    }
}

void Win32Runtime::showPage(WindowInstance& w, int page) {
    w.page = page;
    for (ControlInstance& c : w.controls) {
        if (c.hwnd != nullptr && c.design->page >= 0) {
            ShowWindow(c.hwnd, c.design->page == page ? SW_SHOWNA : SW_HIDE);
        }
    }
}

void Win32Runtime::armTimer(WindowInstance& w, const ControlDesign& timer) {
    int delay = timer.timerPeriod;
    if (timer.timerPeriod == 1000) {
        // A one-second timer follows the wall clock: it fires just after each second begins.
        SYSTEMTIME now;
        GetLocalTime(&now);
        delay = millisecondsToNextTick(now.wMilliseconds);
    }
    SetTimer(w.hwnd, static_cast<UINT_PTR>(timer.id), static_cast<UINT>(delay), nullptr);
}

bool Win32Runtime::windowExists(WindowName window) {
    return instance(window) != nullptr;
}

void Win32Runtime::destroyWindow(WindowName window) {
    if (WindowInstance* w = instance(window)) {
        PostMessageW(w->hwnd, deferredDestroyMessage, 0, 0);
    }
}

void Win32Runtime::setWindowVisible(WindowName window, bool visible) {
    if (WindowInstance* w = instance(window)) {
        ShowWindow(w->hwnd, visible ? SW_SHOW : SW_HIDE);
        if (visible) {
            SetForegroundWindow(w->hwnd);
        }
    }
}

bool Win32Runtime::windowVisible(WindowName window) {
    WindowInstance* w = instance(window);
    return w != nullptr && IsWindowVisible(w->hwnd);
}

void Win32Runtime::setAlwaysOnTop(WindowName window, bool onTop) {
    if (WindowInstance* w = instance(window)) {
        SetWindowPos(w->hwnd, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (onTop) {
            // Back in the topmost band after a message box: in front again too, so that its
            // keys (Esc) reach it without a click first.
            SetForegroundWindow(w->hwnd);
        }
    }
}

void Win32Runtime::enableMaximizeBox(WindowName window) {
    if (WindowInstance* w = instance(window)) {
        SetWindowLongPtrW(w->hwnd, GWL_STYLE,
                          GetWindowLongPtrW(w->hwnd, GWL_STYLE) | WS_MAXIMIZEBOX);
    }
}

void Win32Runtime::maximizeWindow(WindowName window) {
    if (WindowInstance* w = instance(window)) {
        SendMessageW(w->hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    }
}

void Win32Runtime::makeTranslucent(WindowName window, int alpha) {
    if (WindowInstance* w = instance(window)) {
        SetWindowLongPtrW(w->hwnd, GWL_EXSTYLE,
                          GetWindowLongPtrW(w->hwnd, GWL_EXSTYLE) | WS_EX_LAYERED);
        SetLayeredWindowAttributes(w->hwnd, 0, static_cast<BYTE>(std::clamp(alpha, 0, 255)),
                                   LWA_ALPHA);
    }
}

void Win32Runtime::enableThemedLook() {
    // The manifest asks for the themed common controls; allow themes for controls and frames
    // of every window of this thread, those made later included.
    SetThemeAppProperties(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS);
}

Text Win32Runtime::text(WindowName window, std::string_view name) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr || c->hwnd == nullptr) {
        return {};
    }
    return narrow(windowText(c->hwnd));
}

void Win32Runtime::setText(WindowName window, std::string_view name, std::string_view text) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr || c->hwnd == nullptr) {
        return;
    }
    const std::wstring wide = widen(text);
    if (windowText(c->hwnd) == wide) {
        return;
    }
    SetWindowTextW(c->hwnd, wide.c_str());
    if (c->design->kind == ControlKind::transparentLabel) {
        // Repaint what lies beneath, so no trace of the old caption remains.
        RECT r;
        GetWindowRect(c->hwnd, &r);
        MapWindowPoints(nullptr, w->hwnd, reinterpret_cast<POINT*>(&r), 2);
        RedrawWindow(w->hwnd, &r, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

std::int32_t Win32Runtime::checked(WindowName window, std::string_view name) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr || c->hwnd == nullptr) {
        return 0;
    }
    return SendMessageW(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void Win32Runtime::setChecked(WindowName window, std::string_view name, bool isChecked) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c != nullptr && c->hwnd != nullptr) {
        SendMessageW(c->hwnd, BM_SETCHECK, isChecked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

DateTime Win32Runtime::dateTimeValue(WindowName window, std::string_view name) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr || c->hwnd == nullptr) {
        return 0;
    }
    SYSTEMTIME st{};
    if (SendMessageW(c->hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) {
        return 0;
    }
    return makeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

void Win32Runtime::setDateTimeValue(WindowName window, std::string_view name, DateTime value) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c != nullptr && c->hwnd != nullptr) {
        SYSTEMTIME st = systemTimeOf(value);
        SendMessageW(c->hwnd, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
    }
}

void Win32Runtime::setDateTimeFormat(WindowName window, std::string_view name,
                                     std::string_view format) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c != nullptr && c->hwnd != nullptr) {
        const std::wstring wide = widen(format);
        SendMessageW(c->hwnd, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
}

int Win32Runtime::geometry(WindowName window, std::string_view name, Geometry which) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr) {
        return 0;
    }
    switch (which) {
    case Geometry::left:
        return c->left;
    case Geometry::top:
        return c->top;
    case Geometry::width:
        return c->width;
    case Geometry::height:
        return c->height;
    }
    return 0;
}

void Win32Runtime::setGeometry(WindowName window, std::string_view name, Geometry which,
                               int value) {
    WindowInstance* w = instance(window);
    ControlInstance* c = w ? w->control(name) : nullptr;
    if (c == nullptr) {
        return;
    }
    switch (which) {
    case Geometry::left:
        c->left = value;
        break;
    case Geometry::top:
        c->top = value;
        break;
    case Geometry::width:
        c->width = value;
        break;
    case Geometry::height:
        c->height = value;
        break;
    }
    placeControl(*w, *c);
}

NOTIFYICONDATAW Win32Runtime::trayRecord(HICON icon) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    WindowInstance* w = instance(WindowName::main);
    nid.hWnd = w != nullptr ? w->hwnd : nullptr;
    nid.uID = trayIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = trayCallbackMessage;
    nid.hIcon = icon;
    copyTruncated(nid.szTip, trayTip_);
    return nid;
}

void Win32Runtime::addTrayIcon() {
    if (instance(WindowName::main) == nullptr || trayIcon_ == nullptr) {
        return;
    }
    NOTIFYICONDATAW nid = trayRecord(trayIcon_);
    Shell_NotifyIconW(NIM_ADD, &nid);
}

void Win32Runtime::removeTrayIcon() {
    if (trayIcon_ == nullptr) {
        return;
    }
    if (instance(WindowName::main) != nullptr) {
        NOTIFYICONDATAW nid = trayRecord(nullptr);
        Shell_NotifyIconW(NIM_DELETE, &nid);
    }
    DestroyIcon(trayIcon_);
    trayIcon_ = nullptr;
}

void Win32Runtime::setTrayIcon(WindowName window, bool present, std::string_view tip) {
    if (window != WindowName::main || instance(window) == nullptr) {
        return;
    }
    if (!present) {
        removeTrayIcon();
        return;
    }
    // The tip keeps at most 62 bytes of its text.
    trayTip_ = widen(tip.substr(0, 62));
    HICON icon = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(resourceAppIcon),
                                               IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    if (icon == nullptr) {
        return;
    }
    if (trayIcon_ == nullptr) {
        trayIcon_ = icon;
        addTrayIcon();
        return;
    }
    NOTIFYICONDATAW nid = trayRecord(icon);
    Shell_NotifyIconW(NIM_MODIFY, &nid);
    DestroyIcon(trayIcon_);
    trayIcon_ = icon;
}

void Win32Runtime::popUpTrayMenu(WindowName window, std::string_view menuCaption) {
    WindowInstance* w = instance(window);
    if (w == nullptr || !w->design->menu || w->design->menu->caption != menuCaption ||
        w->design->menu->items.empty()) {
        return;
    }
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        return;
    }
    for (const MenuItemDesign& item : w->design->menu->items) {
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(item.id), widen(item.caption).c_str());
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    const Point anchor = trayMenuAnchor({cursor.x, cursor.y});
    SetForegroundWindow(w->hwnd);
    TrackPopupMenu(menu, TPM_RIGHTALIGN | TPM_LEFTBUTTON, anchor.x, anchor.y, 0, w->hwnd, nullptr);
    PostMessageW(w->hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void Win32Runtime::messageBox(std::string_view text, std::string_view title) {
    // Topmost, so that a reminder never opens behind the main window (itself topmost).
    MessageBoxW(nullptr, widen(text).c_str(), widen(title).c_str(),
                MB_OK | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
}

ScreenSize Win32Runtime::screenSize() {
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void Win32Runtime::registerExitCleanup(void (*cleanup)()) {
    exitCleanup_ = cleanup;
}

void Win32Runtime::endProgram(int exitCode) {
    ending_ = true;
    tune_.reset();
    removeTrayIcon();
    // No will-be-destroyed handler runs: the window procedure sees ending_.
    while (!windows_.empty()) {
        const std::unique_ptr<WindowInstance> w = std::move(windows_.begin()->second);
        windows_.erase(windows_.begin());
        DestroyWindow(w->hwnd);
    }
    if (exitCleanup_ != nullptr) {
        exitCleanup_();
    }
    OleUninitialize();
    ExitProcess(static_cast<UINT>(exitCode));
}

void Win32Runtime::reportError(std::optional<int> code, std::string_view message) {
    ending_ = true;
    tune_.reset();
    // Above the program's own topmost windows, which the task-modal box disables.
    MessageBoxW(nullptr, widen(errorReportText(code, message)).c_str(),
                widen(errorReportTitle).c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_TOPMOST | MB_SETFOREGROUND);
    // The state is not released, but no dead icon is left in the notification area.
    removeTrayIcon();
    ExitProcess(static_cast<UINT>(-1));
}

int Win32Runtime::runMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        bool ours = false;
        for (const auto& [name, w] : windows_) {
            ours = ours || w->hwnd == root;
        }
        if (ours && IsDialogMessageW(root, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (exitCleanup_ != nullptr) {
        exitCleanup_();
    }
    return 0;
}

LRESULT CALLBACK Win32Runtime::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* w =
            static_cast<WindowInstance*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        w->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
    }
    auto* w = reinterpret_cast<WindowInstance*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (w == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    Win32Runtime* rt = w->runtime;
    try {
        return rt->handleMessage(*w, message, wParam, lParam);
    } catch (...) {
        rt->reportError(std::nullopt, "内存不足");
    }
}

LRESULT Win32Runtime::handleMessage(WindowInstance& w, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = w.hwnd;
    const WindowHandlers& h = w.design->handlers;
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // The taskbar was re-created (Explorer restarted): the icon must be added again, or a
        // hidden main window could never be reached.
        if (w.design->name == WindowName::main) {
            addTrayIcon();
        }
        return 0;
    }
    switch (message) {
    case WM_ERASEBKGND: {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, w.background);
        return 1;
    }
    case WM_COMMAND:
        onCommand(w, wParam, lParam);
        return 0;
    case WM_NOTIFY:
        return onNotify(w, *reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return onControlColour(w, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                               false);
    case WM_CTLCOLOREDIT:
        return onControlColour(w, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                               true);
    case WM_DRAWITEM:
        onDrawItem(w, *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_TIMER:
        onTimer(w, wParam);
        return 0;
    case WM_TIMECHANGE:
        // The wall clock moved: align the one-second timer to the new seconds.
        for (const ControlInstance& c : w.controls) {
            if (c.design->kind == ControlKind::timer) {
                armTimer(w, *c.design);
            }
        }
        return 0;
    case deferredDestroyMessage:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        onDestroy(w);
        return 0;
    case WM_NCDESTROY: {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        const WindowName name = w.design->name;
        const auto it = windows_.find(name);
        if (it != windows_.end() && it->second.get() == &w) {
            windows_.erase(it); // w is gone from here on
        }
        if (windows_.empty() && !ending_) {
            PostQuitMessage(0);
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        break;
    }
    if (message == trayCallbackMessage && h.trayEvent) {
        if (const auto code = trayActionCode(static_cast<std::uint32_t>(lParam))) {
            guarded([&] { h.trayEvent(*this, *code); });
        }
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32Runtime::onCommand(WindowInstance& w, WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    const WindowHandlers& h = w.design->handlers;
    if (lParam == 0) {
        if (id == IDCANCEL) {
            // Esc, when no control claimed it.
            PostMessageW(w.hwnd, WM_CLOSE, 0, 0);
            return;
        }
        if (w.design->menu && h.menuItemSelected) {
            for (const MenuItemDesign& item : w.design->menu->items) {
                if (item.id == id) {
                    guarded([&] { h.menuItemSelected(*this, item.caption); });
                    return;
                }
            }
        }
        return; // Enter (IDOK) does nothing: there is no default button
    }
    ControlInstance* c = w.control(reinterpret_cast<HWND>(lParam));
    if (c == nullptr) {
        return;
    }
    const ControlKind kind = c->design->kind;
    if ((kind == ControlKind::pushButton || kind == ControlKind::checkBox) && code == BN_CLICKED) {
        if (h.clicked) {
            const std::string_view name = c->design->name;
            guarded([&] { h.clicked(*this, name); });
        }
        return;
    }
    if (kind == ControlKind::editBox && (c->design->flags & integerInput) && code == EN_KILLFOCUS) {
        const Text current = narrow(windowText(c->hwnd));
        if (const auto normalised = normalisedIntegerText(current)) {
            DWORD selectionStart = 0;
            SendMessageW(c->hwnd, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart), 0);
            SetWindowTextW(c->hwnd, widen(*normalised).c_str());
            SendMessageW(c->hwnd, EM_SETSEL, selectionStart, selectionStart);
        }
    }
}

LRESULT Win32Runtime::onNotify(WindowInstance& w, const NMHDR& header) {
    ControlInstance* c = w.control(header.hwndFrom);
    if (c != nullptr && c->design->kind == ControlKind::tabControl &&
        header.code == TCN_SELCHANGE) {
        showPage(w, static_cast<int>(SendMessageW(c->hwnd, TCM_GETCURSEL, 0, 0)));
    }
    return 0;
}

LRESULT Win32Runtime::onControlColour(WindowInstance& w, HDC dc, HWND child, bool edit) {
    ControlInstance* c = w.control(child);
    if (c == nullptr) {
        return reinterpret_cast<LRESULT>(w.background);
    }
    const ControlDesign& d = *c->design;
    SetTextColor(dc, d.textColour ? colourRef(*d.textColour) : GetSysColor(COLOR_WINDOWTEXT));
    if (d.kind == ControlKind::transparentLabel) {
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    }
    if (edit || d.backColour) {
        const COLORREF back = d.backColour ? colourRef(*d.backColour) : RGB(255, 255, 255);
        SetBkColor(dc, back);
        return reinterpret_cast<LRESULT>(brush(back));
    }
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(w.background);
}

void Win32Runtime::onDrawItem(WindowInstance& w, const DRAWITEMSTRUCT& item) {
    ControlInstance* c = w.control(item.hwndItem);
    if (c == nullptr || c->design->kind != ControlKind::pictureBox) {
        return;
    }
    FillRect(item.hDC, &item.rcItem, faceBrush_);
    if (banner_ == nullptr) {
        banner_ = loadBanner(instance_, bannerSize_);
    }
    if (banner_ == nullptr) {
        return;
    }
    HDC memory = CreateCompatibleDC(item.hDC);
    HGDIOBJ old = SelectObject(memory, banner_);
    // Unscaled from the top-left corner, clipped to the box.
    const int width = std::min<int>(bannerSize_.cx, item.rcItem.right - item.rcItem.left);
    const int height = std::min<int>(bannerSize_.cy, item.rcItem.bottom - item.rcItem.top);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void Win32Runtime::onTimer(WindowInstance& w, UINT_PTR id) {
    ControlInstance* c = w.controlById(static_cast<int>(id));
    if (c == nullptr || c->design->kind != ControlKind::timer) {
        return;
    }
    armTimer(w, *c->design);
    const WindowHandlers& h = w.design->handlers;
    if (h.timerElapsed) {
        const std::string_view name = c->design->name;
        guarded([&] { h.timerElapsed(*this, name); });
    }
}

void Win32Runtime::onDestroy(WindowInstance& w) {
    const WindowHandlers& h = w.design->handlers;
    if (!ending_ && h.willBeDestroyed) {
        guarded([&] { h.willBeDestroyed(*this); });
    }
    if (w.design->backgroundMusic && tune_) {
        tune_->stop();
    }
    if (w.design->name == WindowName::main) {
        removeTrayIcon();
    }
    for (ControlInstance& c : w.controls) {
        if (c.design->kind == ControlKind::timer) {
            KillTimer(w.hwnd, static_cast<UINT_PTR>(c.design->id));
        }
        if (c.hwnd != nullptr) {
            RemoveWindowSubclass(c.hwnd, controlProc, static_cast<UINT_PTR>(c.design->id));
        }
        if (c.ownFont != nullptr) {
            // The control goes with its parent; its font may go once it no longer draws.
            SendMessageW(c.hwnd, WM_SETFONT, 0, FALSE);
            DeleteObject(c.ownFont);
            c.ownFont = nullptr;
        }
    }
    if (w.ownsBackground) {
        DeleteObject(w.background);
        w.background = faceBrush_;
        w.ownsBackground = false;
    }
}

LRESULT CALLBACK Win32Runtime::controlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR self) {
    auto* rt = reinterpret_cast<Win32Runtime*>(self);
    HWND parent = GetParent(hwnd);
    auto* w = reinterpret_cast<WindowInstance*>(GetWindowLongPtrW(parent, GWLP_USERDATA));
    ControlInstance* c = w != nullptr ? w->control(hwnd) : nullptr;
    try {
        if (c != nullptr) {
            bool handled = false;
            const LRESULT result =
                rt->handleControlMessage(*w, *c, message, wParam, lParam, handled);
            if (handled) {
                return result;
            }
        }
        return DefSubclassProc(hwnd, message, wParam, lParam);
    } catch (...) {
        rt->reportError(std::nullopt, "内存不足");
    }
}

LRESULT Win32Runtime::handleControlMessage(WindowInstance& w, ControlInstance& c, UINT message,
                                           WPARAM wParam, LPARAM, bool& handled) {
    const ControlDesign& d = *c.design;
    if (message == WM_CHAR && d.kind == ControlKind::editBox && (d.flags & integerInput) &&
        !integerInputAccepts(static_cast<char32_t>(wParam))) {
        handled = true; // dropped without a sound
        return 0;
    }
    if (message == WM_LBUTTONUP && w.design->handlers.leftButtonReleased &&
        (d.kind == ControlKind::label || d.kind == ControlKind::pictureBox)) {
        const std::string_view name = d.name;
        const WindowHandlers& h = w.design->handlers;
        guarded([&] { h.leftButtonReleased(*this, name); });
        return 0;
    }
    if (message == WM_PAINT && d.kind == ControlKind::groupBox) {
        // A group box draws only its frame and caption: its inside is painted here, in the
        // window's colour, and the box then draws itself over it.
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(c.hwnd, &ps);
        RECT r;
        GetClientRect(c.hwnd, &r);
        FillRect(dc, &r, w.background);
        DefSubclassProc(c.hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        EndPaint(c.hwnd, &ps);
        handled = true;
        return 0;
    }
    if (message == WM_ERASEBKGND && d.kind == ControlKind::groupBox) {
        handled = true;
        return TRUE;
    }
    if (message == WM_ERASEBKGND && d.kind == ControlKind::tabControl) {
        // The page is the window's face colour, which the labels on it paint too.
        RECT r;
        GetClientRect(c.hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, w.background);
        handled = true;
        return TRUE;
    }
    if (message == WM_SETCURSOR && d.kind == ControlKind::label && d.font && d.font->underline) {
        // An underlined label is a link: show the hand.
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))); // IDC_HAND
        handled = true;
        return TRUE;
    }
    return 0;
}

} // namespace rudi::win32
