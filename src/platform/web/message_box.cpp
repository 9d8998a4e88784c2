// Message boxes in a web page: a modal overlay over the page with the box's title, text and
// one OK button. The show waits until it is dismissed (asyncify: the browser runs on
// meanwhile, and so does the sound), by a click on OK or by Enter, Space or Escape, which
// the box takes for itself. Where there is no page (Node) no box can be shown.
#include <emscripten.h>

#include "platform/internal/backend.h"

namespace platform {
namespace {

// The overlay is built from text nodes only, so a box's text never becomes markup. It is
// put into the element the page shows fullscreen, if any, so that it is seen there too.

// JavaScript, which clang-format would break (=== becomes == =).
// clang-format off
EM_ASYNC_JS(int, showPageBox, (const char* titleText, const char* bodyText, int error), {
    if (typeof document === "undefined" || !document.body)
        return 0;
    var title = UTF8ToString(titleText);
    var text = UTF8ToString(bodyText);
    var parent = Module["hopsasaFullscreenElement"] || document.body;
    await new Promise(function(resolve) {
        var shade = document.createElement("div");
        shade.className = "hopsasa-box-shade";
        var box = document.createElement("div");
        box.className = "hopsasa-box" + (error ? " hopsasa-box-error" : "");
        box.setAttribute("role", "alertdialog");
        box.setAttribute("aria-modal", "true");
        var heading = document.createElement("h2");
        heading.textContent = title;
        var body = document.createElement("p");
        body.textContent = text;
        var ok = document.createElement("button");
        ok.type = "button";
        ok.textContent = "OK";
        box.appendChild(heading);
        box.appendChild(body);
        box.appendChild(ok);
        shade.appendChild(box);
        var onKey = function(e) {
            if (e.key === "Enter" || e.key === " " || e.key === "Escape") {
                e.preventDefault();
                e.stopPropagation();
                close();
            }
        };
        var close = function() {
            window.removeEventListener("keydown", onKey, true);
            shade.remove();
            Module["hopsasaBoxOpen"] = false;
            resolve();
        };
        ok.addEventListener("click", close);
        window.addEventListener("keydown", onKey, true);
        Module["hopsasaBoxOpen"] = true;
        parent.appendChild(shade);
        ok.focus({preventScroll: true});
        if (Module["hopsasaBoxShown"])
            Module["hopsasaBoxShown"](title, text);
    });
    return 1;
});
// clang-format on

}  // namespace

bool systemCanShowText(const char* text) {
    return isUtf8(text);
}

bool showSystemMessageBox(const MessageBoxRequest& request) {
    return showPageBox(request.title, request.text, request.icon == MessageBoxIcon::error) != 0;
}

}  // namespace platform
