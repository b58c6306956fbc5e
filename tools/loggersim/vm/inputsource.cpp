#include "inputsource.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <vector>

namespace orrery::loggervm {

namespace {

struct SensorName {
    std::string_view word;
    Sensor sensor;
};
constexpr SensorName kSensorNames[] = {{"chan", Sensor::Analog},
                                       {"temp", Sensor::Temperature},
                                       {"pin", Sensor::Pin},
                                       {"count", Sensor::Counter},
                                       {"period", Sensor::Period}};

struct FormName {
    std::string_view word;
    Waveform::Kind kind;
    int values;
};
constexpr FormName kFormNames[] = {{"const", Waveform::Kind::Constant, 1},
                                   {"sine", Waveform::Kind::Sine, 3},
                                   {"ramp", Waveform::Kind::Ramp, 3},
                                   {"square", Waveform::Kind::Square, 3}};

std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

bool toNumber(std::string_view word, double& out) {
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), out);
    return ec == std::errc() && end == word.data() + word.size() && std::isfinite(out);
}

double waveAt(const Waveform& w, double seconds) {
    const double cycles = seconds / w.period + w.phase;
    const double fraction = cycles - std::floor(cycles);
    switch (w.kind) {
        case Waveform::Kind::Constant:
            return w.a;
        case Waveform::Kind::Sine:
            return w.a + w.b * std::sin(2 * std::numbers::pi * cycles);
        case Waveform::Kind::Ramp:
            return w.a + (w.b - w.a) * fraction;
        case Waveform::Kind::Square:
            return fraction < 0.5 ? w.a : w.b;
    }
    return 0;
}

Waveform defaultWaveform(Sensor sensor, int number) {
    const double phase = (number & 7) / 8.0;
    switch (sensor) {
        case Sensor::Analog:
            return {Waveform::Kind::Sine, 2048, 1000, 600, phase};
        case Sensor::Temperature:
            return {Waveform::Kind::Sine, 20, 5, 3600, phase};
        case Sensor::Period:
            return {Waveform::Kind::Constant, 1000, 0, 1, 0};
        case Sensor::Pin:
        case Sensor::Counter:
            break;
    }
    return {};
}

}  // namespace

bool InputSource::parse(std::string_view text, std::string& error) {
    auto sources = m_sources;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const auto words = wordsOf(line);
        if (words.empty()) continue;
        const auto fail = [&](const std::string& why) {
            error = "inputs line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        if (words.size() < 3) return fail("expected SENSOR NUMBER FORM VALUES...");
        const SensorName* sensor = nullptr;
        for (const auto& s : kSensorNames)
            if (s.word == words[0]) sensor = &s;
        if (!sensor) return fail("unknown sensor \"" + std::string(words[0]) + "\" (chan, temp, pin, count, period)");
        int number = kAll;
        if (words[1] != "*") {
            const auto [p, ec] = std::from_chars(words[1].data(), words[1].data() + words[1].size(), number);
            if (ec != std::errc() || p != words[1].data() + words[1].size() || number < 0 || number > 255)
                return fail("number must be 0 to 255 or *");
        }
        const FormName* form = nullptr;
        for (const auto& f : kFormNames)
            if (f.word == words[2]) form = &f;
        if (!form) return fail("unknown form \"" + std::string(words[2]) + "\" (const, sine, ramp, square)");
        if (static_cast<int>(words.size()) != 3 + form->values)
            return fail(std::string(form->word) + " takes " + std::to_string(form->values) + " value(s)");
        double values[3] = {0, 0, 1};
        for (int i = 0; i < form->values; ++i)
            if (!toNumber(words[3 + static_cast<std::size_t>(i)], values[i])) return fail("not a number: " + std::string(words[3 + static_cast<std::size_t>(i)]));
        if (form->values == 3 && !(values[2] > 0)) return fail("the period must be above 0");
        sources[{sensor->sensor, number}] = Waveform{form->kind, values[0], values[1], values[2], 0};
    }
    m_sources = std::move(sources);
    return true;
}

bool InputSource::loadFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str(), error);
}

Waveform InputSource::waveformFor(Sensor sensor, int number) const {
    if (const auto it = m_sources.find({sensor, number}); it != m_sources.end()) return it->second;
    if (const auto it = m_sources.find({sensor, kAll}); it != m_sources.end()) return it->second;
    return defaultWaveform(sensor, number);
}

std::int32_t InputSource::value(Sensor sensor, int number, double seconds) const {
    const double v = std::round(waveAt(waveformFor(sensor, number), seconds));
    if (!(v > -2147483648.0)) return INT32_MIN;
    if (v > 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

}  // namespace orrery::loggervm
