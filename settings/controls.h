#pragma once
// The settings model: every setting is the value of one named control.
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zyvora {

enum class ControlKind { Edit, Choice, Check };

// What a control is, fixed at build time: the window's widgets are made from this.
struct ControlDecl {
    std::string name;  // the name the window, the tests and the settings file know it by, e.g. "Callsign"
    ControlKind kind = ControlKind::Edit;
    std::string page;  // object name of the tab page that shows it
    std::string caption;
    // What a screen reader calls the control where its caption alone does not say what it sets
    // (the "-" before an SSID, the octets of an address); empty: the caption's words.
    std::string spoken;
    // The numbered table row the control is in, as the window names it ("Path rule 3", "Beacon 6");
    // empty: none.
    std::string member;
    std::string hint;
    bool hint_on_hover = true;  // false: the page shows no hint here; it is given on request only
    std::vector<std::string> items;  // choice items, in index order
    int max_length = 0;              // edit: typed length limit (0: none)
    bool secret = false;             // edit: a password, shown only while it is edited
    std::string default_text;        // edit
    int default_index = -1;          // choice
    bool default_checked = false;    // check box
};

// What a caption says, as a name: on one line, without its closing colon, a unit set apart
// ("RF[min]:" reads "RF [min]").
std::string caption_words(std::string_view caption);
// The name a screen reader gives the control.
inline std::string spoken_name(const ControlDecl& decl) {
    return decl.spoken.empty() ? caption_words(decl.caption) : decl.spoken;
}
// The spoken name after its table row ("Path rule 3, Enable if"), for lists of settings outside
// their page.
std::string row_and_name(const ControlDecl& decl);

// What a control holds. Texts are byte strings; the window shows them as Latin-1.
struct ControlState {
    std::string text;
    int index = -1;  // -1: no selection
    bool checked = false;
    bool enabled = true;
};

class ControlStore {
public:
    using Listener = std::function<void(int id)>;

    explicit ControlStore(const std::vector<const ControlDecl*>& decls);

    std::size_t size() const { return states_.size(); }
    int id(std::string_view name) const;  // -1 when there is no such control
    int require(std::string_view name) const;  // throws std::out_of_range
    const ControlDecl& decl(int id) const { return *decls_[id]; }

    const std::string& text(int id) const { return states_[id].text; }
    int index(int id) const { return states_[id].index; }
    bool checked(int id) const { return states_[id].checked; }
    bool enabled(int id) const { return states_[id].enabled; }
    const ControlState& state(int id) const { return states_[id]; }

    void set_text(int id, std::string text);
    // An index outside the item list leaves the choice without a selection.
    void set_index(int id, int index);
    void set_checked(int id, bool checked);
    void set_enabled(int id, bool enabled);

    // By name, for front ends and tests.
    const std::string& text(std::string_view name) const { return text(require(name)); }
    int index(std::string_view name) const { return index(require(name)); }
    bool checked(std::string_view name) const { return checked(require(name)); }
    void set_text(std::string_view name, std::string text) { set_text(require(name), std::move(text)); }
    void set_index(std::string_view name, int index) { set_index(require(name), index); }
    void set_checked(std::string_view name, bool checked) { set_checked(require(name), checked); }

    // Told after every change made through the setters (views refresh from it).
    void set_listener(Listener listener) { listener_ = std::move(listener); }

private:
    void changed(int id) {
        if (listener_) listener_(id);
    }
    std::vector<const ControlDecl*> decls_;
    std::unordered_map<std::string_view, int> ids_;
    std::vector<ControlState> states_;
    Listener listener_;
};

}  // namespace zyvora
