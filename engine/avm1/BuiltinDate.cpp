// Date: times in milliseconds since 1970, always read in UTC so that runs repeat
// exactly wherever they happen.

#include "engine/avm1/Machine.h"
#include "engine/avm1/BoxedObject.h"

#include <cmath>

namespace swf::avm1 {

namespace {

constexpr double kMsPerDay = 86400000.0;

double daysFromCivil(double y, double m, double d)
{
    // No date lies a billion years away; beyond that (or not finite) the integer casts
    // below would be undefined, and the date is invalid anyway.
    if (!std::isfinite(y) || !std::isfinite(m) || !std::isfinite(d) || std::abs(y) > 1e9 || std::abs(m) > 1e9)
        return std::nan("");
    // Months outside 0..11 carry into the year.
    y += std::floor(m / 12);
    m = std::fmod(m, 12);
    if (m < 0)
        m += 12;
    auto yy = static_cast<int64_t>(y) - (m < 2 ? 1 : 0);
    int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    int64_t yoe = yy - era * 400;
    auto mm = static_cast<int64_t>(m) + 1;
    int64_t doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<double>(era * 146097 + doe - 719468) + d - 1;
}

struct Civil {
    double year, month, day, weekday, hours, minutes, seconds, ms;
};

Civil civilFromTime(double t)
{
    double days = std::floor(t / kMsPerDay);
    if (!std::isfinite(days) || std::abs(days) > 1e12) {
        double nan = std::nan("");
        return {nan, nan, nan, nan, nan, nan, nan, nan};
    }
    double msInDay = t - days * kMsPerDay;
    auto z = static_cast<int64_t>(days) + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    Civil c{};
    c.year = static_cast<double>(y + (m <= 2 ? 1 : 0));
    c.month = static_cast<double>(m - 1);
    c.day = static_cast<double>(d);
    c.weekday = std::fmod(std::fmod(days + 4, 7) + 7, 7);
    c.hours = std::floor(msInDay / 3600000);
    c.minutes = std::fmod(std::floor(msInDay / 60000), 60);
    c.seconds = std::fmod(std::floor(msInDay / 1000), 60);
    c.ms = std::fmod(msInDay, 1000);
    return c;
}

double timeOf(const Value& self)
{
    Object* o = self.asObject();
    const DateObject* date = o ? o->as<DateObject>() : nullptr;
    return date && date->primitive().isNumber() ? date->primitive().asNumber() : std::nan("");
}

} // namespace

void installDateClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().date = proto;
    auto build = [](Machine& mm, Value, std::span<const Value> args) -> Value {
        double t = mm.now();
        if (args.size() == 1) {
            t = mm.toNumber(args[0]);
        } else if (args.size() >= 2) {
            double parts[7] = {0, 0, 1, 0, 0, 0, 0};
            for (size_t i = 0; i < std::min<size_t>(args.size(), 7); ++i)
                parts[i] = mm.toNumber(args[i]);
            if (parts[0] >= 0 && parts[0] < 100)
                parts[0] += 1900;
            t = daysFromCivil(std::trunc(parts[0]), std::trunc(parts[1]), std::trunc(parts[2])) * kMsPerDay +
                parts[3] * 3600000 + parts[4] * 60000 + parts[5] * 1000 + parts[6];
        }
        return Value(mm.make<DateObject>(mm.protos().date, Value(t)));
    };
    m.newClass("Date", proto, build, build);
    auto getter = [&m, proto](const char* name, double (*field)(const Civil&)) {
        m.defineMethod(proto, name, [field](Machine&, Value self, std::span<const Value>) -> Value {
            double t = timeOf(self);
            if (std::isnan(t))
                return Value(std::nan(""));
            return Value(field(civilFromTime(t)));
        });
    };
    for (const char* prefix : {"get", "getUTC"}) {
        std::string p(prefix);
        getter((p + "FullYear").c_str(), [](const Civil& c) { return c.year; });
        getter((p + "Month").c_str(), [](const Civil& c) { return c.month; });
        getter((p + "Date").c_str(), [](const Civil& c) { return c.day; });
        getter((p + "Day").c_str(), [](const Civil& c) { return c.weekday; });
        getter((p + "Hours").c_str(), [](const Civil& c) { return c.hours; });
        getter((p + "Minutes").c_str(), [](const Civil& c) { return c.minutes; });
        getter((p + "Seconds").c_str(), [](const Civil& c) { return c.seconds; });
        getter((p + "Milliseconds").c_str(), [](const Civil& c) { return c.ms; });
    }
    getter("getYear", [](const Civil& c) { return c.year - 1900; });
    m.defineMethod(proto, "getTime", [](Machine&, Value self, std::span<const Value>) -> Value { return Value(timeOf(self)); });
    m.defineMethod(proto, "valueOf", [](Machine&, Value self, std::span<const Value>) -> Value { return Value(timeOf(self)); });
    m.defineMethod(proto, "getTimezoneOffset", [](Machine&, Value, std::span<const Value>) -> Value { return Value(0.0); });
    m.defineMethod(proto, "setTime", [](Machine& mm, Value self, std::span<const Value> args) -> Value {
        Object* o = self.asObject();
        DateObject* date = o ? o->as<DateObject>() : nullptr;
        if (!date)
            return Value();
        date->setPrimitive(Value(mm.toNumber(arg(args, 0))));
        return date->primitive();
    });
}

} // namespace swf::avm1
