// The HTML of editing in `zel serve`: the forms of a title page, the note of what a change did, the
// login page. Plain forms that work without scripts; every text escaped.
//
// A page's JSON carries what its forms need as an "Edit" member, which only pages for a browser
// get: {Token, Note, Action (of a refused form), Errors: {field: text, "": about the whole form},
// Values: {field: text as sent}, Users: [text], Tags: [text], Today, Logout (a login to end)}.
// Without it these functions give nothing and a page is as a read-only server shows it.
#pragma once

#include <string>

#include "web/data.h"

namespace zel::web {

// The one-line note of what the last change did, or why the form was refused; empty when none.
std::string EditNote(const Json& page);
// The forms of a title page: loan, tags, event, collection type, notes.
std::string EditForms(const Json& title);
// The login page; `message` says why the last attempt failed.
std::string LoginPage(const std::string& back, const std::string& message);

}  // namespace zel::web
