#include "controls.h"

#include <stdexcept>

namespace zyvora {

std::string caption_words(std::string_view caption) {
    std::string words;
    for (char c : caption) {
        if (c == '\n') c = ' ';
        if (c == '[' && !words.empty() && words.back() != ' ') words += ' ';
        if (c == ' ' && (words.empty() || words.back() == ' ')) continue;
        words += c;
    }
    while (!words.empty() && (words.back() == ' ' || words.back() == ':')) words.pop_back();
    return words;
}

std::string row_and_name(const ControlDecl& decl) {
    const std::string name = spoken_name(decl);
    if (decl.member.empty() || name.starts_with(decl.member)) return name;
    return name.empty() ? decl.member : decl.member + ", " + name;
}

ControlStore::ControlStore(const std::vector<const ControlDecl*>& decls)
    : decls_(decls), states_(decls.size()) {
    for (std::size_t i = 0; i < decls_.size(); ++i) ids_.emplace(decls_[i]->name, static_cast<int>(i));
}

int ControlStore::id(std::string_view name) const {
    const auto found = ids_.find(name);
    return found == ids_.end() ? -1 : found->second;
}

int ControlStore::require(std::string_view name) const {
    const int i = id(name);
    if (i < 0) throw std::out_of_range("no control named " + std::string(name));
    return i;
}

void ControlStore::set_text(int id, std::string text) {
    states_[id].text = std::move(text);
    changed(id);
}

void ControlStore::set_index(int id, int index) {
    const int count = static_cast<int>(decls_[id]->items.size());
    states_[id].index = index >= 0 && index < count ? index : -1;
    changed(id);
}

void ControlStore::set_checked(int id, bool checked) {
    states_[id].checked = checked;
    changed(id);
}

void ControlStore::set_enabled(int id, bool enabled) {
    states_[id].enabled = enabled;
    changed(id);
}

}  // namespace zyvora
