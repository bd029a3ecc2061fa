// The page's model sheet: the window's text for a model, made by the same code, so that the
// two say the same of sources, units and caveats.

#include "estimation/estimation.h"
#include "form/sheet_text.h"

#include <emscripten/bind.h>
#include <emscripten/val.h>
#include <string>

namespace talvo::web {

namespace {

// {title, text}: the model's list text and its sheet, one line a part, each caveat on a line
// of its own; null for a position with no model.
emscripten::val modelSheet(int position) {
    const estimation::PtfModel* model = estimation::modelAt(position);
    if (model == nullptr) {
        return emscripten::val::null();
    }
    emscripten::val sheet = emscripten::val::object();
    sheet.set("title", std::string(model->listText));
    sheet.set("text", form::sheetText(*model));
    return sheet;
}

} // namespace

} // namespace talvo::web

EMSCRIPTEN_BINDINGS(talvo_sheet) {
    emscripten::function("modelSheet", &talvo::web::modelSheet);
}
