#pragma once
// The simulated logger's sensors: analog channels, temperature inputs, input pins, counters and pulse
// periods, each a deterministic function of the simulated time, so that a program reads the same values
// on every run with the same clock.
//
// Defaults: channel n is a sine around 2048 with amplitude 1000 and a 600 s period, shifted by n/8 of a
// period; temperature n a sine around 20 with amplitude 5 and a 3600 s period, shifted likewise; pins
// are low; counters read 0; periods read 1000.
//
// An inputs file replaces any of them, one line each ('#' starts a comment):
//     chan 1 const 1234            temp 0 sine 20 5 600        pin 6 square 0 1 20
//     chan * ramp 0 4095 100       count 0 ramp 0 1000 1000    period 4 const 250
// The sensor is chan, temp, pin, count or period; the number a channel or pin number, or * for all of
// that sensor; the form one of
//     const V                      the value V
//     sine OFFSET AMPLITUDE PERIOD OFFSET + AMPLITUDE * sin(2 pi t / PERIOD)
//     ramp FROM TO PERIOD          FROM rising linearly to TO over PERIOD seconds, then again
//     square LOW HIGH PERIOD       LOW for the first half of every PERIOD seconds, HIGH for the second
// Values are rounded to the nearest integer; a pin reads high when its value is not 0.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace orrery::loggervm {

enum class Sensor { Analog, Temperature, Pin, Counter, Period };

struct Waveform {
    enum class Kind { Constant, Sine, Ramp, Square };
    Kind kind = Kind::Constant;
    double a = 0;       // value, offset, start or low
    double b = 0;       // amplitude, end or high
    double period = 1;  // seconds
    double phase = 0;   // fraction of a period
};

class InputSource {
public:
    // Replaces sources from the text of an inputs file; on a bad line nothing changes and error says
    // which line and why.
    bool parse(std::string_view text, std::string& error);
    bool loadFile(const std::string& path, std::string& error);

    std::int32_t value(Sensor sensor, int number, double seconds) const;

private:
    Waveform waveformFor(Sensor sensor, int number) const;

    static constexpr int kAll = -1;
    std::map<std::pair<Sensor, int>, Waveform> m_sources;
};

}  // namespace orrery::loggervm
