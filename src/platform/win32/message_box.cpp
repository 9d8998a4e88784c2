// Message boxes on Windows.
#include <string>

#include "platform/internal/backend.h"
#include "platform/win32/local.h"

namespace platform {

bool systemCanShowText(const char* text) {
    std::wstring wide;
    return widen(text, wide);
}

bool showSystemMessageBox(const MessageBoxRequest& request) {
    std::wstring text;
    std::wstring title;
    widen(request.text, text);
    widen(request.title, title);
    UINT style = MB_OK | (request.icon == MessageBoxIcon::error ? MB_ICONERROR : 0);
    return MessageBoxW(hwndOf(request.owner), text.c_str(), title.c_str(), style) != 0;
}

}  // namespace platform
