// Date: times in milliseconds since 1970, always read in UTC so that runs repeat
// exactly wherever they happen.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
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

const DateObject* dateOf(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<DateObject>() : nullptr;
}

double timeOf(const Value& self)
{
    const DateObject* date = dateOf(self);
    return date && date->primitive().isNumber() ? date->primitive().asNumber() : std::nan("");
}

// The getters read the date's fields in UTC, the only time zone the engine has; the
// get and getUTC forms answer alike. On anything but a date they answer undefined.
#define LANFAN_DATE_GETTER(name, expression)                               \
    Value date##name(Machine&, Value self, std::span<const Value>)         \
    {                                                                      \
        if (!dateOf(self))                                                 \
            return Value();                                                \
        double t = timeOf(self);                                           \
        if (std::isnan(t))                                                 \
            return Value(std::nan(""));                                    \
        const Civil c = civilFromTime(t);                                  \
        return Value(expression);                                          \
    }
LANFAN_DATE_GETTER(GetFullYear, c.year)
LANFAN_DATE_GETTER(GetUTCFullYear, c.year)
LANFAN_DATE_GETTER(GetMonth, c.month)
LANFAN_DATE_GETTER(GetUTCMonth, c.month)
LANFAN_DATE_GETTER(GetDate, c.day)
LANFAN_DATE_GETTER(GetUTCDate, c.day)
LANFAN_DATE_GETTER(GetDay, c.weekday)
LANFAN_DATE_GETTER(GetUTCDay, c.weekday)
LANFAN_DATE_GETTER(GetHours, c.hours)
LANFAN_DATE_GETTER(GetUTCHours, c.hours)
LANFAN_DATE_GETTER(GetMinutes, c.minutes)
LANFAN_DATE_GETTER(GetUTCMinutes, c.minutes)
LANFAN_DATE_GETTER(GetSeconds, c.seconds)
LANFAN_DATE_GETTER(GetUTCSeconds, c.seconds)
LANFAN_DATE_GETTER(GetMilliseconds, c.ms)
LANFAN_DATE_GETTER(GetUTCMilliseconds, c.ms)
LANFAN_DATE_GETTER(GetYear, c.year - 1900)
#undef LANFAN_DATE_GETTER

Value dateGetTime(Machine&, Value self, std::span<const Value>)
{
    return dateOf(self) ? Value(timeOf(self)) : Value();
}

Value dateValueOf(Machine&, Value self, std::span<const Value>)
{
    return dateOf(self) ? Value(timeOf(self)) : Value();
}

Value dateGetTimezoneOffset(Machine&, Value, std::span<const Value>)
{
    return Value(0.0);
}

Value dateSetTime(Machine& m, Value self, std::span<const Value> args)
{
    Object* o = self.asObject();
    DateObject* date = o ? o->as<DateObject>() : nullptr;
    if (!date)
        return Value();
    date->setPrimitive(Value(m.toNumber(arg(args, 0))));
    return date->primitive();
}

const NativeMethod kDateMethods[] = {
    {"getFullYear", dateGetFullYear},
    {"getMonth", dateGetMonth},
    {"getDate", dateGetDate},
    {"getDay", dateGetDay},
    {"getHours", dateGetHours},
    {"getMinutes", dateGetMinutes},
    {"getSeconds", dateGetSeconds},
    {"getMilliseconds", dateGetMilliseconds},
    {"getUTCFullYear", dateGetUTCFullYear},
    {"getUTCMonth", dateGetUTCMonth},
    {"getUTCDate", dateGetUTCDate},
    {"getUTCDay", dateGetUTCDay},
    {"getUTCHours", dateGetUTCHours},
    {"getUTCMinutes", dateGetUTCMinutes},
    {"getUTCSeconds", dateGetUTCSeconds},
    {"getUTCMilliseconds", dateGetUTCMilliseconds},
    {"getYear", dateGetYear},
    {"getTime", dateGetTime},
    {"valueOf", dateValueOf},
    {"getTimezoneOffset", dateGetTimezoneOffset},
    {"setTime", dateSetTime},
};

Value dateConstruct(Machine& m, Value self, std::span<const Value> args)
{
    double t = m.now();
    if (args.size() == 1) {
        t = m.toNumber(args[0]);
    } else if (args.size() >= 2) {
        double parts[7] = {0, 0, 1, 0, 0, 0, 0};
        for (size_t i = 0; i < std::min<size_t>(args.size(), 7); ++i)
            parts[i] = m.toNumber(args[i]);
        if (parts[0] >= 0 && parts[0] < 100)
            parts[0] += 1900;
        t = daysFromCivil(std::trunc(parts[0]), std::trunc(parts[1]), std::trunc(parts[2])) * kMsPerDay +
            parts[3] * 3600000 + parts[4] * 60000 + parts[5] * 1000 + parts[6];
    }
    // Run on an existing object (a subclass's super(), Date.call(o)), Date makes that
    // object a date in place.
    return adoptState(m, self, m.make<DateObject>(m.protos().date, Value(t)));
}

} // namespace

void installDateClass(Machine& m)
{
    Object* proto = m.newObject();
    m.protos().date = proto;
    m.newClass("Date", proto, dateConstruct, dateConstruct);
    defineMethods(m, proto, kDateMethods);
}

} // namespace swf::avm1
