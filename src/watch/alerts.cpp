#include "watch/alerts.h"

namespace tallyro::watch {

std::vector<Level> reachedLevels(const Reading& r, double margin) {
    std::vector<Level> reached;
    if (r.pressure > 0 && r.price >= r.pressure * (1 - margin))
        reached.push_back(Level::Pressure);
    if (r.support > 0 && r.price <= r.support * (1 + margin))
        reached.push_back(Level::Support);
    return reached;
}

const char* levelName(Level level) {
    return level == Level::Pressure ? "压力位" : "支撑位";
}

std::string alertText(const Reading& r, Level level) {
    return r.name + " " + r.priceText + " 触及" + levelName(level) + " " +
           (level == Level::Pressure ? r.pressureText : r.supportText);
}

}  // namespace tallyro::watch
