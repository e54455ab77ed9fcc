// Date: the setters (each replacing the fields it is given and keeping the rest, months
// and days carrying over), Date.UTC, the string a date converts to, and local time under
// a calendar with a time zone (without one, local and UTC forms agree).

#include "engine/avm1/Machine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace swf::avm1 {
namespace {

Value dateAt(Machine& m, double time)
{
    const Value args[] = {Value(time)};
    return m.construct(m.getMember(Value(m.global()), "Date"), args);
}

struct SetterCase {
    double start;  // the date's time before the call
    const char* method;
    std::vector<double> args;
    double expected;  // the time after (and the setter's answer); NaN for an invalid date
};

TEST(DateClass, SettersReplaceTheFieldsGivenAndCarryOverflow)
{
    const double nan = std::nan("");
    // 123456 ms is 1970-01-01 00:02:03.456.
    const SetterCase cases[] = {
        {123456, "setFullYear", {2000}, 946684923456},
        {123456, "setFullYear", {2000, 1, 29}, 951782523456},
        {123456, "setMonth", {12}, 31536123456},              // month 12 is January of 1971
        {123456, "setDate", {0}, -86276544},                  // day 0 is the last of December
        {123456, "setHours", {25}, 90123456},                 // one day and one hour on
        {123456, "setMinutes", {0, 0, 0}, 0},
        {123456, "setSeconds", {-1}, 119456},
        {123456, "setMilliseconds", {1000}, 124000},
        {123456, "setUTCHours", {1}, 3723456},
        {123456, "setYear", {99}, 915148923456},              // 99 means 1999
        {123456, "setYear", {2001}, 978307323456},
        {nan, "setHours", {1}, nan},                          // an invalid date stays so
        {nan, "setFullYear", {1971}, 31536000000},            // ...unless its year is set
        {123456, "setFullYear", {1e20}, nan},                 // beyond the range of dates
        {123456, "setTime", {nan}, nan},
    };
    for (const SetterCase& c : cases) {
        Machine m(8);
        const Value date = dateAt(m, c.start);
        std::vector<Value> args;
        for (double a : c.args)
            args.emplace_back(a);
        const Value answer = m.callMethod(date, c.method, args);
        const double time = m.toNumber(m.callMethod(date, "getTime", {}));
        if (std::isnan(c.expected)) {
            EXPECT_TRUE(std::isnan(time)) << c.method;
            EXPECT_TRUE(std::isnan(m.toNumber(answer))) << c.method;
        } else {
            EXPECT_EQ(time, c.expected) << c.method;
            EXPECT_EQ(m.toNumber(answer), c.expected) << c.method;
        }
    }
}

TEST(DateClass, ConvertsToTheReferenceStringAndBuildsTimesFromFields)
{
    Machine m(8);
    EXPECT_EQ(m.toString(dateAt(m, 123456)), "Thu Jan 1 00:02:03 GMT+0000 1970");
    EXPECT_EQ(m.toString(dateAt(m, 1585958400000)), "Sat Apr 4 00:00:00 GMT+0000 2020");
    EXPECT_EQ(m.toString(dateAt(m, std::nan(""))), "Invalid Date");
    EXPECT_EQ(m.toString(dateAt(m, 1e300)), "Invalid Date");
    const Value date = m.getMember(Value(m.global()), "Date");
    const Value fields[] = {Value(2020.0), Value(3.0), Value(4.0), Value(1.0)};
    EXPECT_EQ(m.toNumber(m.callMethod(date, "UTC", fields)), 1585962000000);
    const Value shortYear[] = {Value(70.0), Value(0.0)};
    EXPECT_EQ(m.toNumber(m.callMethod(date, "UTC", shortYear)), 0);
    EXPECT_TRUE(std::isnan(m.toNumber(m.callMethod(date, "UTC", {}))));
    // A date's fields given to the constructor carry over the same way.
    const Value overflow[] = {Value(1970.0), Value(0.0), Value(32.0)};
    EXPECT_EQ(m.toNumber(m.callMethod(m.construct(date, overflow), "getTime", {})), 31 * 86400000.0);
}

// What each form answers for 1970-01-01 00:02:03.456 UTC in a zone ahead of UTC, one
// behind it, and one that changes its offset (as daylight saving does) at 02:00 UTC.
TEST(DateClass, LocalFormsReadAndSetTheCalendarsZone)
{
    struct ZoneCase {
        double offsetBefore, offsetAfter;  // ms ahead of UTC before and after 02:00 UTC
        const char* text;                  // toString
        double timezoneOffset;             // getTimezoneOffset
        double hours, utcHours, date;      // getHours, getUTCHours, getDate
        double afterSetHours;              // getTime after setHours(3): the local hour only
    };
    const double hour = 3600000;
    const ZoneCase cases[] = {
        {5.75 * hour, 5.75 * hour, "Thu Jan 1 05:47:03 GMT+0545 1970", -345, 5, 0, 1, -7076544},  // local 03:47:03.456
        {-5 * hour, -5 * hour, "Wed Dec 31 19:02:03 GMT-0500 1969", 300, 19, 0, 31, -57476544},  // 31 December, local 03:02:03.456
        // Local 03:02 falls after the change: the later offset holds.
        {0, hour, "Thu Jan 1 00:02:03 GMT+0000 1970", 0, 0, 0, 1, 2 * hour + 123456},
    };
    for (const ZoneCase& c : cases) {
        Machine m(8);
        m.setCalendar({0, [c, hour](double utc) { return utc < 2 * hour ? c.offsetBefore : c.offsetAfter; }});
        const Value date = dateAt(m, 123456);
        EXPECT_EQ(m.toString(date), c.text);
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getTimezoneOffset", {})), c.timezoneOffset) << c.text;
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getHours", {})), c.hours) << c.text;
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getUTCHours", {})), c.utcHours) << c.text;
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getDate", {})), c.date) << c.text;
        const Value three[] = {Value(3.0)};
        m.callMethod(date, "setHours", three);
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getTime", {})), c.afterSetHours) << c.text;
        // setUTCHours ignores the zone.
        m.callMethod(date, "setUTCHours", three);
        EXPECT_EQ(m.toNumber(m.callMethod(date, "getUTCHours", {})), 3) << c.text;
    }
    // A new Date() is the calendar's start plus the movie's clock; fields given to the
    // constructor are local.
    Machine m(8);
    m.setCalendar({1585958400000, [hour](double) { return 8 * hour; }});
    m.advanceClock(1500);
    const Value date = m.getMember(Value(m.global()), "Date");
    EXPECT_EQ(m.toNumber(m.callMethod(m.construct(date, {}), "getTime", {})), 1585958401500);
    const Value fields[] = {Value(2020.0), Value(3.0), Value(4.0), Value(8.0)};
    EXPECT_EQ(m.toNumber(m.callMethod(m.construct(date, fields), "getTime", {})), 1585958400000);
}

} // namespace
} // namespace swf::avm1
