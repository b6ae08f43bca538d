#include "registry.h"

#include <stdexcept>
#include <unordered_map>

#include "table_check.h"

namespace zyvora {

namespace {

using AreaFirst = std::unordered_map<std::string, std::pair<const Area*, int>>;

// The area of that name and its first row; a name no area has is a table fault, said in the
// words of layout_problems().
const std::pair<const Area*, int>& find_area(const AreaFirst& area_first, const std::string& pass,
                                             const std::string& name) {
    const auto found = area_first.find(name);
    if (found == area_first.end()) throw std::logic_error(pass + " order: unknown area " + name);
    return found->second;
}

// Rows of one area in the named order, or in declaration order when none is given.
void append_rows(std::vector<int>& out, const Area& area, int first, const std::string& pass,
                 const std::vector<std::string>& order, const std::unordered_map<std::string, int>& ids) {
    if (order.empty()) {
        for (std::size_t i = 0; i < area.settings.size(); ++i) out.push_back(first + static_cast<int>(i));
        return;
    }
    for (const auto& name : order) {
        const auto found = ids.find(name);
        if (found == ids.end()) {
            throw std::logic_error(area.name + "/" + name + ": the " + pass + " order names no such control");
        }
        out.push_back(found->second);
    }
}

#ifndef NDEBUG
// Debug builds refuse tables that break their layout at start-up, naming every faulty row.
void check_layout(const std::vector<Area>& areas, const std::vector<std::string>& encode_areas,
                  const std::vector<std::string>& save_areas) {
    const auto problems = layout_problems(areas, encode_areas, save_areas);
    if (problems.empty()) return;
    std::string text;
    for (const auto& line : problems) text += (text.empty() ? "" : "\n") + line;
    throw std::logic_error(text);
}
#endif

}  // namespace

Registry::Registry(std::vector<Area> areas, const std::vector<std::string>& encode_areas,
                   const std::vector<std::string>& save_areas, std::vector<ChangeHandler> handlers)
    : handlers_(std::move(handlers)) {
#ifndef NDEBUG
    check_layout(areas, encode_areas, save_areas);
#endif
    std::unordered_map<std::string, int> ids;
    AreaFirst area_first;
    for (const Area& area : areas) {
        area_first[area.name] = {&area, static_cast<int>(settings_.size())};
        for (const Setting& s : area.settings) {
            if (!ids.emplace(s.control.name, static_cast<int>(settings_.size())).second) {
                throw std::logic_error("control declared twice: " + s.control.name);
            }
            settings_.push_back(s);
        }
        if (area.after_defaults && !area.settings.empty()) {
            after_defaults_.push_back({settings_.size() - 1, area.after_defaults});
        }
    }
    for (const Setting& s : settings_) decls_.push_back(&s.control);
    for (const auto& name : encode_areas) {
        const auto& [area, first] = find_area(area_first, "encode", name);
        append_rows(encode_rows_, *area, first, "encode", area->encode_order, ids);
    }
    for (const auto& name : save_areas) {
        const auto& [area, first] = find_area(area_first, "save", name);
        std::vector<int> rows;
        append_rows(rows, *area, first, "save", area->save_order, ids);
        for (int r : rows) {
            if (settings_[r].key) save_rows_.push_back(r);
        }
    }
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

RegistryTables product_tables() {
    // Tab order; later areas join each list at their place. The two telemetry module switches
    // live on the external interfaces page, between the serial ports and the thermometer in every
    // pass. The encode and save passes take the areas in the same order.
    const std::vector<std::string> pass_order = {"radio",  "filters", "beacons", "network",
                                                 "aprsis", "time",    "remote",  "telemetry",
                                                 "weather", "ports",  "telemetry_modules", "external"};
    return {{radio_area(), filters_area(), beacons_area(), network_area(), aprsis_area(), time_area(), remote_area(),
             telemetry_area(), weather_area(), ports_area(), telemetry_modules_area(), external_area()},
            pass_order,
            pass_order};
}

const Registry& Registry::instance() {
    // Handlers settle Bluetooth first, then port 1, then port 2: a later pick may undo an earlier
    // one, so this order decides which port keeps a clashing function.
    static const Registry registry = [] {
        RegistryTables tables = product_tables();
        return Registry(std::move(tables.areas), tables.encode_areas, tables.save_areas, handlers());
    }();
    return registry;
}

}  // namespace zyvora
