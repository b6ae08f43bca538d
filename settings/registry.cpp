#include "registry.h"

#include <stdexcept>
#include <unordered_set>

#include "table_check.h"

namespace zyvora {

namespace {

std::string lines(const std::vector<std::string>& problems) {
    std::string text;
    for (const auto& line : problems) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

Registry::Registry(std::vector<Area> areas, std::vector<ChangeHandler> handlers) : handlers_(std::move(handlers)) {
#ifndef NDEBUG
    // Debug builds refuse tables that break their layout at start-up, naming every faulty row.
    if (const auto problems = layout_problems(areas); !problems.empty()) throw std::logic_error(lines(problems));
#endif
    std::unordered_set<std::string> names;
    for (const Area& area : areas) {
        // A row the save pass cannot place would silently drop out of every settings file.
        if (const auto problems = save_order_problems(area); !problems.empty()) throw std::logic_error(lines(problems));
        const int first = static_cast<int>(settings_.size());
        for (const Setting& s : area.settings) {
            if (!names.insert(s.control.name).second) {
                throw std::logic_error("control declared twice: " + s.control.name);
            }
            settings_.push_back(s);
        }
        if (area.after_defaults && !area.settings.empty()) {
            after_defaults_.push_back({settings_.size() - 1, area.after_defaults});
        }
        for (std::size_t i = 0; i < area.settings.size(); ++i) {
            if (area.settings[i].field.codec != Codec::None) encode_rows_.push_back(first + static_cast<int>(i));
        }
        for (std::size_t i : save_order(area)) {
            if (area.settings[i].key) save_rows_.push_back(first + static_cast<int>(i));
        }
    }
    for (const Setting& s : settings_) decls_.push_back(&s.control);
}

ControlStore Registry::make_store() const {
    ControlStore store(decls_);
    apply_defaults(store);
    return store;
}

void Registry::apply_defaults(ControlStore& store) const {
    for (std::size_t i = 0; i < settings_.size(); ++i) {
        const ControlDecl& d = settings_[i].control;
        const int id = static_cast<int>(i);
        switch (d.kind) {
            case ControlKind::Edit: store.set_text(id, d.default_text); break;
            case ControlKind::Choice: store.set_index(id, d.default_index); break;
            case ControlKind::Check: store.set_checked(id, d.default_checked); break;
        }
        for (const auto& steps : after_defaults_) {
            if (steps.after_row == i) steps.run(store);
        }
    }
}

std::vector<std::string> Registry::settle(ControlStore& store) const {
    std::vector<std::string> messages;
    for (const auto& handler : handlers_) {
        if (!handler.settles) continue;
        auto shown = handler.run(store);
        messages.insert(messages.end(), shown.begin(), shown.end());
    }
    return messages;
}

const ChangeHandler* Registry::change_handler(const std::string& control) const {
    for (const auto& handler : handlers_) {
        if (handler.control == control) return &handler;
    }
    return nullptr;
}

namespace {
// The clock option first; then the port interlocks, which settle Bluetooth, port 1, port 2.
std::vector<ChangeHandler> handlers() {
    auto all = time_handlers();
    for (auto& h : external_handlers()) all.push_back(std::move(h));
    return all;
}
}  // namespace

std::vector<Area> product_tables() {
    // Tab order, which every pass follows. The two telemetry module switches live on the external
    // interfaces page, between the serial ports and the thermometer in every pass.
    std::vector<Area> areas;
    for (auto* area : {radio_area, filters_area, beacons_area, network_area, aprsis_area, time_area, remote_area,
                       telemetry_area, weather_area, ports_area, telemetry_modules_area, external_area}) {
        areas.push_back(area());
    }
    return areas;
}

const Registry& Registry::instance() {
    // Handlers settle Bluetooth first, then port 1, then port 2: a later pick may undo an earlier
    // one, so this order decides which port keeps a clashing function.
    static const Registry registry = [] {
        return Registry(product_tables(), handlers());
    }();
    return registry;
}

}  // namespace zyvora
