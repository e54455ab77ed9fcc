// Date: times in milliseconds since 1970 (UTC), read and set in the local zone of the
// machine's calendar or in UTC.

#include "engine/avm1/Machine.h"
#include "engine/avm1/Native.h"
#include "engine/avm1/BoxedObject.h"

#include <cmath>
#include <cstdio>

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

// The getters read the date's fields in the local zone (the get forms) or in UTC (the
// getUTC forms). On anything but a date they answer undefined.
#define LANFAN_DATE_GETTER(name, local, expression)                        \
    Value date##name(Machine& m, Value self, std::span<const Value>)       \
    {                                                                      \
        if (!dateOf(self))                                                 \
            return Value();                                                \
        double t = timeOf(self);                                           \
        if (std::isnan(t))                                                 \
            return Value(std::nan(""));                                    \
        const Civil c = civilFromTime(local ? m.localFromUtc(t) : t);      \
        return Value(expression);                                          \
    }
LANFAN_DATE_GETTER(GetFullYear, true, c.year)
LANFAN_DATE_GETTER(GetUTCFullYear, false, c.year)
LANFAN_DATE_GETTER(GetMonth, true, c.month)
LANFAN_DATE_GETTER(GetUTCMonth, false, c.month)
LANFAN_DATE_GETTER(GetDate, true, c.day)
LANFAN_DATE_GETTER(GetUTCDate, false, c.day)
LANFAN_DATE_GETTER(GetDay, true, c.weekday)
LANFAN_DATE_GETTER(GetUTCDay, false, c.weekday)
LANFAN_DATE_GETTER(GetHours, true, c.hours)
LANFAN_DATE_GETTER(GetUTCHours, false, c.hours)
LANFAN_DATE_GETTER(GetMinutes, true, c.minutes)
LANFAN_DATE_GETTER(GetUTCMinutes, false, c.minutes)
LANFAN_DATE_GETTER(GetSeconds, true, c.seconds)
LANFAN_DATE_GETTER(GetUTCSeconds, false, c.seconds)
LANFAN_DATE_GETTER(GetMilliseconds, true, c.ms)
LANFAN_DATE_GETTER(GetUTCMilliseconds, false, c.ms)
LANFAN_DATE_GETTER(GetYear, true, c.year - 1900)
#undef LANFAN_DATE_GETTER

Value dateGetTime(Machine&, Value self, std::span<const Value>)
{
    return dateOf(self) ? Value(timeOf(self)) : Value();
}

Value dateValueOf(Machine&, Value self, std::span<const Value>)
{
    return dateOf(self) ? Value(timeOf(self)) : Value();
}

// Minutes the local zone is behind UTC at the date's time (-480 in China).
Value dateGetTimezoneOffset(Machine& m, Value self, std::span<const Value>)
{
    if (!dateOf(self))
        return Value();
    const double t = timeOf(self);
    if (std::isnan(t))
        return Value(std::nan(""));
    return Value((t - m.localFromUtc(t)) / 60000 + 0.0);
}

// The date's own object, or null for anything that is not a date.
DateObject* writableDate(const Value& self)
{
    Object* o = self.asObject();
    return o ? o->as<DateObject>() : nullptr;
}

// A time outside 275,755 years either side of 1970 is no date.
double clipTime(double t)
{
    if (!std::isfinite(t) || std::abs(t) > 8.64e15)
        return std::nan("");
    return std::trunc(t) + 0.0;
}

double timeFromParts(double year, double month, double day, double hours, double minutes, double seconds,
                     double ms)
{
    for (double p : {year, month, day, hours, minutes, seconds, ms}) {
        if (!std::isfinite(p))
            return std::nan("");
    }
    const double days = daysFromCivil(std::trunc(year), std::trunc(month), std::trunc(day));
    return clipTime(days * kMsPerDay + std::trunc(hours) * 3600000 + std::trunc(minutes) * 60000 +
                    std::trunc(seconds) * 1000 + std::trunc(ms));
}

// Which fields a setter takes, in order; the arguments given replace them, the rest
// keep the date's own.
enum class Field { Year, Month, Day, Hours, Minutes, Seconds, Ms };

Value setFields(Machine& m, Value self, std::span<const Value> args, Field first, size_t most, bool local)
{
    DateObject* date = writableDate(self);
    if (!date)
        return Value();
    if (args.empty()) {
        date->setPrimitive(Value(std::nan("")));
        return date->primitive();
    }
    double t = timeOf(self);
    // A year set on an invalid date starts from 1 January 1970; any other field keeps
    // the date invalid.
    if (std::isnan(t)) {
        if (first != Field::Year)
            return Value(std::nan(""));
        t = 0;
    }
    const Civil c = civilFromTime(local ? m.localFromUtc(t) : t);
    double parts[7] = {c.year, c.month, c.day, c.hours, c.minutes, c.seconds, c.ms};
    const auto start = static_cast<size_t>(first);
    for (size_t i = 0; i < std::min(args.size(), most); ++i)
        parts[start + i] = m.toNumber(args[i]);
    const double set = timeFromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
    date->setPrimitive(Value(clipTime(local ? m.utcFromLocal(set) : set)));
    return date->primitive();
}

// The set forms take local fields, the setUTC forms fields in UTC.
#define LANFAN_DATE_SETTER(name, first, most, local)                               \
    Value date##name(Machine& m, Value self, std::span<const Value> args)          \
    {                                                                              \
        return setFields(m, self, args, Field::first, most, local);                \
    }
LANFAN_DATE_SETTER(SetFullYear, Year, 3, true)
LANFAN_DATE_SETTER(SetMonth, Month, 2, true)
LANFAN_DATE_SETTER(SetDate, Day, 1, true)
LANFAN_DATE_SETTER(SetHours, Hours, 4, true)
LANFAN_DATE_SETTER(SetMinutes, Minutes, 3, true)
LANFAN_DATE_SETTER(SetSeconds, Seconds, 2, true)
LANFAN_DATE_SETTER(SetMilliseconds, Ms, 1, true)
LANFAN_DATE_SETTER(SetUTCFullYear, Year, 3, false)
LANFAN_DATE_SETTER(SetUTCMonth, Month, 2, false)
LANFAN_DATE_SETTER(SetUTCDate, Day, 1, false)
LANFAN_DATE_SETTER(SetUTCHours, Hours, 4, false)
LANFAN_DATE_SETTER(SetUTCMinutes, Minutes, 3, false)
LANFAN_DATE_SETTER(SetUTCSeconds, Seconds, 2, false)
LANFAN_DATE_SETTER(SetUTCMilliseconds, Ms, 1, false)
#undef LANFAN_DATE_SETTER

// setYear: a year from 0 to 99 means 1900 to 1999.
Value dateSetYear(Machine& m, Value self, std::span<const Value> args)
{
    if (args.empty())
        return setFields(m, self, args, Field::Year, 1, true);
    double year = m.toNumber(args[0]);
    if (year >= 0 && year < 100)
        year = std::trunc(year) + 1900;
    const Value adjusted[] = {Value(year)};
    return setFields(m, self, adjusted, Field::Year, 1, true);
}

// "Thu Jan 1 08:02:03 GMT+0800 1970", as the reference player writes a date: the
// local time and the zone's offset from UTC.
Value dateToString(Machine& m, Value self, std::span<const Value>)
{
    if (!dateOf(self))
        return Value("[object Object]");
    const double t = timeOf(self);
    if (std::isnan(t))
        return Value("Invalid Date");
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const double local = m.localFromUtc(t);
    const Civil c = civilFromTime(local);
    // A time too far away for the calendar has no fields to print.
    if (std::isnan(c.weekday) || std::isnan(c.year))
        return Value("Invalid Date");
    const auto offsetMinutes = static_cast<long long>(std::llround((local - t) / 60000));
    const long long zone = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[112];
    std::snprintf(text, sizeof text, "%s %s %d %02d:%02d:%02d GMT%c%02lld%02lld %lld",
                  kDays[static_cast<int>(c.weekday)], kMonths[static_cast<int>(c.month)], static_cast<int>(c.day),
                  static_cast<int>(c.hours), static_cast<int>(c.minutes), static_cast<int>(c.seconds),
                  offsetMinutes < 0 ? '-' : '+', zone / 60, zone % 60, static_cast<long long>(c.year));
    return Value(std::string(text));
}

// Date.UTC(year, month[, day[, hours[, minutes[, seconds[, ms]]]]]): the time those
// fields name, a year from 0 to 99 meaning 1900 to 1999.
Value dateUtc(Machine& m, Value, std::span<const Value> args)
{
    if (args.size() < 2)
        return Value(std::nan(""));
    double parts[7] = {0, 0, 1, 0, 0, 0, 0};
    for (size_t i = 0; i < std::min<size_t>(args.size(), 7); ++i)
        parts[i] = m.toNumber(args[i]);
    if (parts[0] >= 0 && parts[0] < 100)
        parts[0] = std::trunc(parts[0]) + 1900;
    return Value(timeFromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]));
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
    {"setFullYear", dateSetFullYear},
    {"setMonth", dateSetMonth},
    {"setDate", dateSetDate},
    {"setHours", dateSetHours},
    {"setMinutes", dateSetMinutes},
    {"setSeconds", dateSetSeconds},
    {"setMilliseconds", dateSetMilliseconds},
    {"setUTCFullYear", dateSetUTCFullYear},
    {"setUTCMonth", dateSetUTCMonth},
    {"setUTCDate", dateSetUTCDate},
    {"setUTCHours", dateSetUTCHours},
    {"setUTCMinutes", dateSetUTCMinutes},
    {"setUTCSeconds", dateSetUTCSeconds},
    {"setUTCMilliseconds", dateSetUTCMilliseconds},
    {"setYear", dateSetYear},
    {"toString", dateToString},
};

const NativeMethod kDateStatics[] = {
    {"UTC", dateUtc},
};

Value dateConstruct(Machine& m, Value self, std::span<const Value> args)
{
    double t = m.dateNow();
    if (args.size() == 1) {
        t = m.toNumber(args[0]);
    } else if (args.size() >= 2) {
        double parts[7] = {0, 0, 1, 0, 0, 0, 0};
        for (size_t i = 0; i < std::min<size_t>(args.size(), 7); ++i)
            parts[i] = m.toNumber(args[i]);
        if (parts[0] >= 0 && parts[0] < 100)
            parts[0] += 1900;
        t = clipTime(m.utcFromLocal(timeFromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6])));
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
    Object* ctor = m.newClass("Date", proto, dateConstruct, dateConstruct);
    defineMethods(m, proto, kDateMethods);
    defineMethods(m, ctor, kDateStatics);
}

} // namespace swf::avm1
