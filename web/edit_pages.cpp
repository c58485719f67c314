#include "web/edit_pages.h"

#include "web/html.h"
#include "web/page_parts.h"
#include "web/text.h"
#include "web/title_edits.h"

namespace zel::web {
namespace {

// What one form of a page needs: the page's edit member and the form's action.
class FormParts {
 public:
  FormParts(const Json& edit, std::string action) : edit_(edit), action_(std::move(action)) {}

  // The opening tag with the hidden fields every post carries.
  std::string Open(const std::string& target, const std::string& label) const {
    return "<form method=\"post\" action=\"" + Escape(target) + "\" aria-label=\"" + Escape(label) +
           "\">\n<input type=\"hidden\" name=\"token\" value=\"" + Escape(Str(edit_, "Token")) +
           "\"><input type=\"hidden\" name=\"action\" value=\"" + Escape(action_) + "\">\n";
  }
  bool Refused() const { return Str(edit_, "Action") == action_; }
  // The value sent with a refused form, so nothing typed is lost; `fallback` otherwise.
  std::string Value(const char* field, const std::string& fallback = {}) const {
    return Refused() ? Str(Member(edit_, "Values"), field) : fallback;
  }
  // The error beside a field, tied to it for screen readers by `id`.
  std::string Error(const char* field) const {
    if (!Refused()) return {};
    const std::string text = Str(Member(edit_, "Errors"), field);
    return text.empty() ? std::string()
                        : "<span class=\"error\" id=\"" + Escape(action_) + "-" + field +
                              "-error\">" + Escape(text) + "</span>";
  }
  std::string Described(const char* field) const {
    return Error(field).empty() ? std::string()
                                : " aria-invalid=\"true\" aria-describedby=\"" + Escape(action_) +
                                      "-" + field + "-error\"";
  }
  // A labelled input.
  std::string Input(const char* label, const char* field, const char* type,
                    const std::string& value, const std::string& extra = {}) const {
    return "<label>" + Escape(label) + " <input type=\"" + type + "\" name=\"" + field +
           "\" value=\"" + Escape(value) + "\"" + extra + Described(field) + "></label>" +
           Error(field) + "\n";
  }

 private:
  const Json& edit_;
  std::string action_;
};

std::string DataList(const char* id, const Json& values) {
  std::string list = "<datalist id=\"" + std::string(id) + "\">";
  for (const Json& value : values)
    list += "<option value=\"" + Escape(value.get<std::string>()) + "\">";
  return list + "</datalist>\n";
}

}  // namespace

std::string EditNote(const Json& page) {
  if (!page.contains("Edit")) return {};
  const Json& edit = page["Edit"];
  std::string html;
  if (!Str(edit, "Note").empty()) {
    html += "<p class=\"note\" role=\"status\">" + Escape(Str(edit, "Note")) + "</p>\n";
  }
  const std::string failure = Str(Member(edit, "Errors"), "");
  if (!failure.empty()) html += "<p class=\"error\" role=\"alert\">" + Escape(failure) + "</p>\n";
  return html;
}

std::string EditForms(const Json& title) {
  if (!title.contains("Edit")) return {};
  const Json& edit = title["Edit"];
  const std::string target = Link("/title/", Str(title, "ProfileID"));
  std::string html =
      DataList("zel-users", Member(edit, "Users")) + DataList("zel-tags", Member(edit, "Tags"));

  const Json& loan = Member(title, "LoanInfo");
  if (loan.is_null()) {
    const FormParts form(edit, "lend");
    html += form.Open(target, "Lend") +
            form.Input("Lend to", "user", "text", form.Value("user"),
                       " list=\"zel-users\" maxlength=\"100\" required") +
            form.Input("Due back", "due", "date", form.Value("due")) +
            "<button type=\"submit\">Lend</button>\n</form>\n";
  } else {
    const FormParts form(edit, "return");
    html += form.Open(target, "Return") + "<p>On loan " + Escape(LoanText(loan)) +
            "</p>\n<button type=\"submit\">Returned</button>\n</form>\n";
  }

  const FormParts tag(edit, "tag");
  html += tag.Open(target, "Add a tag") +
          tag.Input("Tag", "tag", "text", tag.Value("tag"),
                    " list=\"zel-tags\" maxlength=\"100\" required") +
          "<button type=\"submit\">Add tag</button>\n</form>\n";
  for (const Json& item : Member(title, "Tags")) {
    const FormParts untag(edit, "untag");
    const std::string name = TagText(item);
    html += untag.Open(target, "Remove tag " + name) +
            "<input type=\"hidden\" name=\"tag\" value=\"" + Escape(name) +
            "\"><button type=\"submit\">Remove tag " + Escape(name) + "</button>\n</form>\n";
  }

  const FormParts event(edit, "event");
  std::string types;
  for (const std::string& type : EventTypes())
    types += Option(type, event.Value("type", "Watched"));
  html +=
      event.Open(target, "Record an event") + "<label>Event <select name=\"type\"" +
      event.Described("type") + ">" + types + "</select></label>" + event.Error("type") + "\n" +
      event.Input("Date", "date", "date", event.Value("date", Str(edit, "Today")), " required") +
      event.Input("By", "user", "text", event.Value("user"),
                  " list=\"zel-users\" maxlength=\"100\" required") +
      event.Input("Comment", "comment", "text", event.Value("comment"), " maxlength=\"250\"") +
      "<button type=\"submit\">Record</button>\n</form>\n";

  const FormParts collection(edit, "collection");
  const std::string stored = Str(title, "CollectionType");
  const std::string current = stored == "OnOrder" ? "Ordered" : stored == "Other" ? "" : stored;
  std::string choices;
  for (const auto& [value, label] : CollectionChoices()) {
    choices += Option(value, collection.Value("type", current), label);
  }
  html += collection.Open(target, "Collection") + "<label>Collection <select name=\"type\"" +
          collection.Described("type") + ">" + choices + "</select></label>" +
          collection.Error("type") + "\n" +
          collection.Input("Wish-list priority (0: none)", "priority", "number",
                           collection.Value("priority", Str(title, "WishListPriority")),
                           " min=\"0\" max=\"" + std::to_string(kMaxWishListPriority) + "\"") +
          "<button type=\"submit\">Save</button>\n</form>\n";

  const FormParts notes(edit, "notes");
  html += notes.Open(target, "Notes") +
          "<label>Notes <textarea name=\"notes\" rows=\"6\" cols=\"60\" maxlength=\"8000\"" +
          notes.Described("notes") + ">" + Escape(notes.Value("notes", Str(title, "Notes"))) +
          "</textarea></label>" + notes.Error("notes") +
          "\n<button type=\"submit\">Save notes</button>\n</form>\n";
  if (Member(edit, "Logout").is_boolean() && edit["Logout"].get<bool>()) {
    html += FormParts(edit, "logout").Open("/logout", "Log out") +
            "<button type=\"submit\">Log out</button>\n</form>\n";
  }
  return Section("Change", html);
}

std::string LoginPage(const std::string& back, const std::string& message) {
  std::string body;
  if (!message.empty()) body += "<p class=\"error\" role=\"alert\">" + Escape(message) + "</p>\n";
  body +=
      "<form method=\"post\" action=\"/login\">\n<input type=\"hidden\" name=\"back\" value=\"" +
      Escape(back) +
      "\">\n<label>Password <input type=\"password\" name=\"password\" "
      "autocomplete=\"current-password\" required autofocus></label>\n"
      "<button type=\"submit\">Log in</button>\n</form>\n";
  return Page("Log in", body);
}

}  // namespace zel::web
