// SPDX-License-Identifier: GPL-3.0-or-later
#include "SeriesFile.h"

#include "Files.h"
#include "NumberText.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

namespace SeriesFile {

namespace {

std::vector<std::string_view> Split(std::string_view line)
{
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool ParseNumber(std::string_view text, double& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end && std::isfinite(value);
}

bool IsResultRow(std::string_view object)
{
    return object == "result" || object == "result1" || object == "result2";
}

Series Refused(Fault what, int line, std::string_view detail = {})
{
    Series series;
    series.What = what;
    series.Line = line;
    series.Detail = detail;
    return series;
}

} // namespace

bool ParseTime(std::string_view text, double& seconds)
{
    bool hasSeconds = false;
    double value = 0;
    if (!NumberText::TextToClock(text, value, &hasSeconds) || !hasSeconds)
        return false;
    seconds = value;
    return true;
}

Series Parse(std::string_view content)
{
    enum Column { Measurement, Object, X, Y, SigmaX, SigmaY, Ut, ColumnCount };
    static constexpr std::array<const char*, ColumnCount> Names { "measurement", "object", "x", "y",
        "sigma_x", "sigma_y", "ut" };
    std::array<std::size_t, ColumnCount> index {};
    std::size_t pictureIndex = std::string_view::npos;

    Series series;
    std::map<int, double> lastTime; // of each measurement
    int lineNumber = 0;
    bool headerSeen = false;
    for (std::size_t start = 0; start < content.size();) {
        std::size_t end = content.find('\n', start);
        if (end == std::string_view::npos)
            end = content.size();
        std::string_view line = content.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> fields = Split(line);
        if (!headerSeen) {
            for (std::size_t c = 0; c < ColumnCount; ++c) {
                index[c] = std::string_view::npos;
                for (std::size_t f = 0; f < fields.size(); ++f)
                    if (fields[f] == Names[c] && index[c] == std::string_view::npos)
                        index[c] = f;
                if (index[c] == std::string_view::npos)
                    return Refused(Fault::MissingColumn, lineNumber, Names[c]);
            }
            for (std::size_t f = 0; f < fields.size(); ++f)
                if (fields[f] == "picture")
                    pictureIndex = f;
            headerSeen = true;
            continue;
        }
        if (line.empty())
            continue;
        auto field = [&](std::size_t column) {
            return column < fields.size() ? fields[column] : std::string_view();
        };
        if (index[Object] >= fields.size())
            return Refused(Fault::UnreadableValue, lineNumber, Names[Object]);
        if (!IsResultRow(field(index[Object])))
            continue;
        Position p;
        p.Line = lineNumber;
        double measurement = 0;
        if (!ParseNumber(field(index[Measurement]), measurement)
            || measurement != std::floor(measurement) || std::fabs(measurement) > 1e9)
            return Refused(Fault::UnreadableValue, lineNumber, Names[Measurement]);
        p.Measurement = static_cast<int>(measurement);
        if (!ParseNumber(field(index[X]), p.X))
            return Refused(Fault::UnreadableValue, lineNumber, Names[X]);
        if (!ParseNumber(field(index[Y]), p.Y))
            return Refused(Fault::UnreadableValue, lineNumber, Names[Y]);
        for (const Column c : { SigmaX, SigmaY }) {
            double& sigma = c == SigmaX ? p.SigmaX : p.SigmaY;
            const std::string_view text = field(index[c]);
            if (text.empty())
                return Refused(Fault::NoUncertainty, lineNumber, Names[c]);
            if (!ParseNumber(text, sigma))
                return Refused(Fault::UnreadableValue, lineNumber, Names[c]);
            if (sigma <= 0)
                return Refused(Fault::NoUncertainty, lineNumber, Names[c]);
        }
        if (!ParseTime(field(index[Ut]), p.Seconds))
            return Refused(Fault::UnreadableValue, lineNumber, Names[Ut]);
        if (pictureIndex != std::string_view::npos)
            p.Picture = field(pictureIndex);
        const auto last = lastTime.find(p.Measurement);
        if (last != lastTime.end() && p.Seconds < last->second)
            return Refused(Fault::TimesOutOfOrder, lineNumber);
        lastTime[p.Measurement] = p.Seconds;
        series.Positions.push_back(std::move(p));
    }
    if (!headerSeen)
        return Refused(Fault::NoHeader, 0);
    if (series.Positions.size() < FewestPositions)
        return Refused(Fault::TooFewPositions, 0, std::to_string(series.Positions.size()));
    return series;
}

Series Read(const std::string& name)
{
    int error = 0;
    std::int64_t bytes = 0;
    const int fd = Files::OpenRegularFile(name, error, bytes);
    if (fd < 0)
        return Refused(Fault::NotReadable, 0, error > 0 ? std::strerror(error) : "");
    if (bytes > LargestFile) {
        ::close(fd);
        return Refused(Fault::TooLarge, 0, std::to_string(bytes));
    }
    std::string content;
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int reason = errno;
            ::close(fd);
            return Refused(Fault::NotReadable, 0, std::strerror(reason));
        }
        if (got == 0)
            break;
        // The file may have grown since its size was taken.
        if (content.size() + static_cast<std::size_t>(got) > LargestFile) {
            ::close(fd);
            return Refused(Fault::TooLarge, 0, std::to_string(content.size() + got));
        }
        content.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(fd);
    return Parse(content);
}

} // namespace SeriesFile
