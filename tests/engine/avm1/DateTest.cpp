// Date: the setters (each replacing the fields it is given and keeping the rest, months
// and days carrying over), Date.UTC, and the string a date converts to. The engine keeps
// every date in UTC, so local and UTC forms agree.

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

} // namespace
} // namespace swf::avm1
