// Level computation, advice paragraphs and payload formatting.
#include "analysis.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace tallyro::service {

namespace {

double cents(double value) {
    return std::round(value * 100.0) / 100.0;
}

bool isSwing(const std::vector<Bar>& bars, size_t i, int reach, bool high) {
    const auto value = [&](size_t k) { return high ? bars[k].high : bars[k].low; };
    const auto beyond = [&](double a, double b) { return high ? a > b : a < b; };
    const size_t r = static_cast<size_t>(reach);
    for (size_t k = i - r; k < i; ++k) {
        if (!beyond(value(i), value(k))) {
            return false;
        }
    }
    for (size_t k = i + 1; k <= i + r; ++k) {
        if (beyond(value(k), value(i))) {
            return false;
        }
    }
    return true;
}

std::vector<size_t> swings(const std::vector<Bar>& bars, int reach, bool high) {
    std::vector<size_t> found;
    if (reach < 1 || bars.size() < static_cast<size_t>(2 * reach + 1)) {
        return found;
    }
    const size_t r = static_cast<size_t>(reach);
    for (size_t i = r; i + r < bars.size(); ++i) {
        if (isSwing(bars, i, reach, high)) {
            found.push_back(i);
        }
    }
    return found;
}

double averageTrueRange(const std::vector<Bar>& bars, int sessions) {
    const size_t n = std::min(bars.size() - 1, static_cast<size_t>(std::max(sessions, 1)));
    if (n == 0) {
        return bars.back().high - bars.back().low;
    }
    double sum = 0;
    for (size_t i = bars.size() - n; i < bars.size(); ++i) {
        const double previous = bars[i - 1].close;
        sum += std::max({bars[i].high - bars[i].low, std::abs(bars[i].high - previous),
                         std::abs(bars[i].low - previous)});
    }
    return sum / static_cast<double>(n);
}

std::string sanitiseField(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '|') {
            out += "｜";
        } else if (c == '?') {
            out += "？";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

std::string joinAdvice(const std::vector<std::string>& paragraphs) {
    std::string out;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) {
            out += kAdviceSeparator;
        }
        out += sanitiseField(paragraphs[i]);
    }
    return out;
}

std::string payload(const Report& report, bool showPressurePercent) {
    const auto& l = report.levels;
    std::string out = sanitiseField(report.name);
    for (const std::string& field :
         {sanitiseField(report.date), sanitiseField(report.time), formatFixed(l.pressure, 2),
          showPressurePercent ? formatFixed(report.pressurePercent, 2) : std::string(),
          formatFixed(l.close, 2), formatFixed(l.support, 2), formatFixed(report.supportPercent, 2),
          joinAdvice(report.advice)}) {
        out += '|';
        out += field;
    }
    return out;
}

std::vector<std::string> adviceFor(const Report& r) {
    const auto& l = r.levels;
    const std::string unit = r.index ? "点" : "元";
    const std::string subject = r.index ? "指数" : "股价";
    const std::string close = formatFixed(l.close, 2) + unit;
    const std::string pressure = formatFixed(l.pressure, 2) + unit;
    const std::string support = formatFixed(l.support, 2) + unit;
    const std::string up = formatFixed(r.pressurePercent, 2) + "％";
    const std::string down = formatFixed(r.supportPercent, 2) + "％";

    std::vector<std::string> advice;
    if (r.suspended) {
        advice.push_back(
            "该股票目前停牌，以上价位根据停牌前最后一个交易日的行情计算，"
            "复牌后请重新查询。");
    }
    if (r.demo) {
        advice.push_back(
            "【演示数据】服务没有该代码的真实行情，以上价位由按代码生成的演示行情"
            "计算，仅供演示，不能作为交易依据。");
    }

    // How far a price went through a level, as a share of the level.
    const std::string below = formatFixed((l.support - l.close) / l.support * 100.0, 2) + "％";
    const std::string above = formatFixed((l.close - l.pressure) / l.pressure * 100.0, 2) + "％";
    switch (positionBetween(l)) {
        case Position::BelowSupport:
            advice.push_back("现价" + close + "已触及支撑位" + support + "，低于支撑" + below +
                             "。盘中跌破支撑时先看收盘：收盘站回支撑位之上可继续持有，"
                             "收盘仍在支撑位下方说明承接失效，应及时止损。");
            break;
        case Position::AbovePressure:
            advice.push_back("现价" + close + "已触及压力位" + pressure + "，高于压力" + above +
                             "。盘中突破压力时先看收盘与成交量：放量收在压力位之上，"
                             "原压力位将转为新的支撑；冲高回落则不宜追涨。");
            break;
        case Position::NearSupport:
            advice.push_back("现价" + close + "靠近下方支撑位" + support + "，距支撑仅" + down +
                             "，距上方压力位" + pressure + "还有" + up +
                             "的空间。支撑位附近往往有承接买盘，回踩不破可轻仓试探；"
                             "一旦收盘跌破支撑位，说明承接失效，应及时止损。");
            break;
        case Position::NearPressure:
            advice.push_back("现价" + close + "逼近上方压力位" + pressure + "，距压力仅" + up +
                             "。压力位附近前期套牢盘集中，冲高遇阻时不宜追涨，"
                             "持有者可考虑分批减仓；若放量突破并站稳压力位，"
                             "原压力位将转为新的支撑。");
            break;
        case Position::Middle:
            advice.push_back("现价" + close + "处于压力位" + pressure + "与支撑位" + support +
                             "之间，上距压力" + up + "，下距支撑" + down + "，方向尚不明朗。" +
                             "宜以观望为主，等" + subject +
                             "回落到支撑位附近或放量突破压力位后再作决定。");
            break;
    }

    const std::string average = "20日均线（" + formatFixed(l.ma20, 2) + unit + "）";
    const double gap = (l.close - l.ma20) / l.ma20;
    if (std::abs(gap) < 0.005) {
        advice.push_back("收盘价与" + average +
                         "基本持平，短期方向有待选择，"
                         "可观察放量的方向再跟进。");
    } else if (gap > 0) {
        advice.push_back("收盘价位于" + average + "上方，短期趋势偏强，回调到均线附近时常获支撑。");
    } else {
        advice.push_back("收盘价位于" + average +
                         "下方，短期趋势偏弱，反弹到均线附近时容易遇到抛压。");
    }

    if (r.index) {
        advice.push_back(
            "指数反映的是市场整体，个股走势可能与之背离。大盘靠近压力位时宜降低"
            "总仓位，靠近支撑位时也应分批建仓，不要一次满仓。");
    } else {
        const std::string stop = formatFixed(cents(l.support * 0.97), 2) + unit;
        advice.push_back("单只股票的仓位不宜超过总资金的两成。止损位可设在支撑位下方约3％（约" +
                         stop + "），触及即离场，不要在亏损时加仓摊低成本。");
    }
    return advice;
}

}  // namespace

std::vector<size_t> swingHighs(const std::vector<Bar>& bars, int reach) {
    return swings(bars, reach, true);
}

std::vector<size_t> swingLows(const std::vector<Bar>& bars, int reach) {
    return swings(bars, reach, false);
}

std::optional<Levels> computeLevels(const std::vector<Bar>& bars, const LevelRules& rules) {
    if (bars.empty() || bars.size() < static_cast<size_t>(std::max(rules.minSessions, 1))) {
        return std::nullopt;
    }
    const size_t windowSize = std::min(bars.size(), static_cast<size_t>(std::max(rules.window, 1)));
    const std::vector<Bar> window(bars.end() - static_cast<std::ptrdiff_t>(windowSize), bars.end());
    Levels levels;
    levels.close = window.back().close;
    if (!(levels.close > 0)) {
        return std::nullopt;
    }

    std::optional<double> pressure;
    for (const size_t i : swingHighs(window, rules.swingReach)) {
        if (window[i].high > levels.close && (!pressure || window[i].high < *pressure)) {
            pressure = window[i].high;
        }
    }
    std::optional<double> support;
    for (const size_t i : swingLows(window, rules.swingReach)) {
        if (window[i].low < levels.close && (!support || window[i].low > *support)) {
            support = window[i].low;
        }
    }

    const double step = std::max(rules.atrMultiple * averageTrueRange(bars, rules.atrSessions),
                                 0.01 * levels.close);
    if (pressure) {
        levels.pressure = *pressure;
    } else {
        const double highest =
            std::max_element(window.begin(), window.end(), [](const Bar& a, const Bar& b) {
                return a.high < b.high;
            })->high;
        levels.pressureBasis =
            highest > levels.close ? LevelBasis::WindowExtreme : LevelBasis::Volatility;
        levels.pressure = highest > levels.close ? highest : levels.close + step;
    }
    if (support) {
        levels.support = *support;
    } else {
        const double lowest =
            std::min_element(window.begin(), window.end(), [](const Bar& a, const Bar& b) {
                return a.low < b.low;
            })->low;
        levels.supportBasis =
            lowest < levels.close ? LevelBasis::WindowExtreme : LevelBasis::Volatility;
        levels.support = lowest < levels.close ? lowest : levels.close - step;
    }
    // A support that would be published as 0.00 is no level at all.
    if (cents(levels.support) <= 0) {
        return std::nullopt;
    }

    const size_t averaged = std::min<size_t>(20, bars.size());
    double sum = 0;
    for (size_t i = bars.size() - averaged; i < bars.size(); ++i) {
        sum += bars[i].close;
    }
    levels.ma20 = sum / static_cast<double>(averaged);
    return levels;
}

Position positionBetween(const Levels& levels) {
    const double range = levels.pressure - levels.support;
    if (!(range > 0)) {
        return Position::Middle;
    }
    if (levels.close <= levels.support) {
        return Position::BelowSupport;
    }
    if (levels.close >= levels.pressure) {
        return Position::AbovePressure;
    }
    const double where = (levels.close - levels.support) / range;
    if (where <= 0.25) {
        return Position::NearSupport;
    }
    if (where >= 0.75) {
        return Position::NearPressure;
    }
    return Position::Middle;
}

Report buildReport(const std::string& name, const std::string& date, const std::string& time,
                   const Levels& levels, bool index, bool suspended, bool demo) {
    Report r;
    r.name = name;
    r.date = date;
    r.time = time;
    r.index = index;
    r.suspended = suspended;
    r.demo = demo;
    r.levels = levels;
    // Publish what was computed from the published (rounded) numbers, so that a
    // reader can check every percentage against the prices shown beside it.
    r.levels.close = cents(levels.close);
    r.levels.pressure = cents(levels.pressure);
    r.levels.support = cents(levels.support);
    r.levels.ma20 = cents(levels.ma20);
    r.pressurePercent = (r.levels.pressure - r.levels.close) / r.levels.close * 100.0;
    r.supportPercent = (r.levels.close - r.levels.support) / r.levels.close * 100.0;
    r.advice = adviceFor(r);
    return r;
}

std::string stockPayload(const Report& report) {
    return payload(report, !report.suspended);
}

std::string indexPayload(const Report& report) {
    return payload(report, true);
}

std::string formatFixed(double value, int decimals) {
    char buffer[64];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        return "0";
    }
    std::string text(buffer, end);
    // A value that rounds to zero from below would read "-0.00".
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
        text.erase(0, 1);
    }
    return text;
}

}  // namespace tallyro::service
