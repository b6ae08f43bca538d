#pragma once
// Every area table, assembled once, with the orders of the five passes resolved to rows.
#include <functional>
#include <string>
#include <vector>

#include "controls.h"
#include "table.h"

namespace zyvora {

// A change handler that corrects other controls (the port interlocks, the clock option); it
// returns the messages it wants shown. Runs on a user pick of `control` in the window and, when
// it `settles`, in the settle step at start-up and after "Read from file".
struct ChangeHandler {
    std::string control;
    std::function<std::vector<std::string>(ControlStore&)> run;
    bool settles = true;  // false for a second control that shares another entry's handler
};

// The configurator's areas, as Registry::instance() takes them.
std::vector<Area> product_tables();

class Registry {
public:
    // Every area of the device's settings, in the window's tab order.
    static const Registry& instance();

    // `areas` in tab order, which every pass follows. A control declared twice or a row that the
    // save order cannot place throws std::logic_error naming it; debug builds also refuse any
    // layout_problems() of the tables.
    explicit Registry(std::vector<Area> areas, std::vector<ChangeHandler> handlers = {});
    Registry(const Registry&) = delete;  // the stores' declarations point into this object
    Registry& operator=(const Registry&) = delete;

    // Row i is the setting of control i in every store this registry makes.
    const std::vector<Setting>& settings() const { return settings_; }
    const std::vector<int>& encode_rows() const { return encode_rows_; }
    const std::vector<int>& save_rows() const { return save_rows_; }

    ControlStore make_store() const;  // every control at its start-up default
    void apply_defaults(ControlStore& store) const;

    // The settle step of start-up and "Read from file": every settling handler in order;
    // returns the messages to show.
    std::vector<std::string> settle(ControlStore& store) const;
    const ChangeHandler* change_handler(const std::string& control) const;

private:
    std::vector<Setting> settings_;
    std::vector<const ControlDecl*> decls_;
    std::vector<int> encode_rows_;
    std::vector<int> save_rows_;
    std::vector<ChangeHandler> handlers_;
    // An area's start-up steps, run once the default of row `after_row` (its last) is set.
    struct AfterDefaults {
        std::size_t after_row;
        std::function<void(ControlStore&)> run;
    };
    std::vector<AfterDefaults> after_defaults_;
};

// The area tables, one source file each, with the change handlers of their controls.
Area radio_area();
Area filters_area();
Area beacons_area();
Area network_area();
Area aprsis_area();
Area remote_area();
Area weather_area();
Area ports_area();
Area external_area();
std::vector<ChangeHandler> external_handlers();
Area time_area();
std::vector<ChangeHandler> time_handlers();
Area telemetry_area();
Area telemetry_modules_area();

}  // namespace zyvora
